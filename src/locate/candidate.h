#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace strixa {

// Along which axis a candidate is read; the reversed values mean the line was read backwards.
enum Orientation : std::int8_t {
  Horizontal = 0,
  Vertical = 1,
  HorizontalReversed = 2,
  VerticalReversed = 3,
};

// A rectangle covers columns x..x+width and rows y..y+height, both ends included.
struct Box {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// One possible barcode: where it lies, how it was read, and its result line once decoded.
struct Candidate {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  std::int8_t orientation = Horizontal;
  std::string text;
};

// True when the rectangles share at least one pixel; touching edges and corners count.
bool RectanglesOverlap(const Box& a, const Box& b);

// True when rectangle overlaps any candidate of the list.
bool OverlapsCandidate(const Box& rectangle, const std::vector<Candidate>& candidateList);

}  // namespace strixa
