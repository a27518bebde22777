#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace strixa {

// How a candidate is read. Horizontal reads along a row (bars upright), Vertical down a column
// (bars flat); the reversed values say the line read backwards, right to left or bottom to top.
// The values are part of the library's interface, so they stay 0 to 3.
enum class Orientation : std::int8_t {
  Horizontal = 0,
  Vertical = 1,
  HorizontalReversed = 2,
  VerticalReversed = 3,
};

// The lowest bit carries the axis, the next one the reading direction.
constexpr bool IsVertical(Orientation orientation) {
  return (static_cast<int>(orientation) & 1) != 0;
}
constexpr bool IsReversed(Orientation orientation) {
  return (static_cast<int>(orientation) & 2) != 0;
}

// The same axis read backwards; an orientation already reversed stays as it is.
constexpr Orientation Reversed(Orientation orientation) {
  return IsVertical(orientation) ? Orientation::VerticalReversed : Orientation::HorizontalReversed;
}

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
  Orientation orientation = Orientation::Horizontal;
  std::string text;
};

// True when the rectangles share at least one pixel; touching edges and corners count.
bool RectanglesOverlap(const Box& a, const Box& b);

// True when rectangle overlaps any candidate of the list.
bool OverlapsCandidate(const Box& rectangle, const std::vector<Candidate>& candidateList);

}  // namespace strixa
