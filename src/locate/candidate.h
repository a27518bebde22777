// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "symbologies/symbology.h"

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

// A result line may go on, after this byte, with what a reader transmits for the symbol (its
// symbology identifier and data bytes) where the printed text cannot show it unambiguously:
// Code 128 names control characters and FNC1 in brackets, which its data may spell as well.
// Only the part before it is printed.
inline constexpr char lineDataSeparator = '\0';

// The part of a result line that is printed.
constexpr std::string_view PrintedPart(std::string_view line) {
  return line.substr(0, line.find(lineDataSeparator));
}

// One possible barcode: where it lies, how it was read, and once decoded what as and its text
// (the result line without its label, which ResultLine adds where a line is printed).
struct Candidate {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  Orientation orientation = Orientation::Horizontal;
  std::string text;
  Symbology symbology = Symbology::None;
};

// True when the rectangles share at least one pixel; touching edges and corners count.
bool RectanglesOverlap(const Box& a, const Box& b);

// True when rectangle overlaps any candidate of the list.
bool OverlapsCandidate(const Box& rectangle, const std::vector<Candidate>& candidateList);

// Gives OverlapsCandidate's answer for a list that only grows, at a cost set by the size of the
// rectangle and the candidates near it rather than by the length of the list: each rectangle is
// filed under the square cells it covers, and a query tests only the rectangles filed under its
// own cells. A page of many small bar groups makes thousands of candidates, and the passes ask
// once per run.
class OverlapIndex {
 public:
  // Cells cover columns 0..width and rows 0..height; rectangles reaching beyond are filed in the
  // edge cells, which stays exact, only slower.
  OverlapIndex(int width, int height);
  void Add(const Box& rectangle);
  bool Overlaps(const Box& rectangle) const;

 private:
  struct CellRange {
    int firstColumn, lastColumn, firstRow, lastRow;
  };
  struct Entry {
    int rectangle;  // into rectangles_
    int next;       // the entry filed before it in the same cell, or -1
  };
  CellRange CellsOf(const Box& rectangle) const;

  int columns_;
  int rows_;
  std::vector<Box> rectangles_;
  std::vector<Entry> entries_;
  std::vector<int> cellHeads_;  // per cell, its latest entry or -1
};

}  // namespace strixa
