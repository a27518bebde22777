// SPDX-License-Identifier: Apache-2.0
#include "locate/candidate.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace strixa {

bool RectanglesOverlap(const Box& a, const Box& b) {
  return !(a.x + a.width < b.x || a.x > b.x + b.width || a.y + a.height < b.y ||
           a.y > b.y + b.height);
}

bool OverlapsCandidate(const Box& rectangle, const std::vector<Candidate>& candidateList) {
  return std::ranges::any_of(candidateList, [&](const Candidate& c) {
    return RectanglesOverlap(rectangle, {c.x, c.y, c.width, c.height});
  });
}

namespace {

// 64 pixels: the smallest run rectangle of the fine settings spans one or two cells each way.
constexpr int cellShift = 6;

int CellOf(std::int64_t coordinate, int cellCount) {
  return static_cast<int>(std::clamp<std::int64_t>(coordinate >> cellShift, 0, cellCount - 1));
}

}  // namespace

OverlapIndex::OverlapIndex(int width, int height)
    : columns_(std::max(width, 0) / (1 << cellShift) + 1),
      rows_(std::max(height, 0) / (1 << cellShift) + 1),
      cellHeads_(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_), -1) {}

// RectanglesOverlap reads a negative width or height as an interval from x + width to x, so a
// rectangle is filed under the cells between its two edges, in whichever order they come.
OverlapIndex::CellRange OverlapIndex::CellsOf(const Box& rectangle) const {
  const std::int64_t right = std::int64_t{rectangle.x} + rectangle.width;
  const std::int64_t bottom = std::int64_t{rectangle.y} + rectangle.height;
  return {CellOf(std::min<std::int64_t>(rectangle.x, right), columns_),
          CellOf(std::max<std::int64_t>(rectangle.x, right), columns_),
          CellOf(std::min<std::int64_t>(rectangle.y, bottom), rows_),
          CellOf(std::max<std::int64_t>(rectangle.y, bottom), rows_)};
}

void OverlapIndex::Add(const Box& rectangle) {
  const int index = static_cast<int>(rectangles_.size());
  rectangles_.push_back(rectangle);
  const CellRange cells = CellsOf(rectangle);
  for (int row = cells.firstRow; row <= cells.lastRow; ++row) {
    for (int column = cells.firstColumn; column <= cells.lastColumn; ++column) {
      int& head = cellHeads_[static_cast<std::size_t>(row) * columns_ + column];
      entries_.push_back({index, head});
      head = static_cast<int>(entries_.size()) - 1;
    }
  }
}

// Two overlapping rectangles share a point, so they share the cell holding it. A rectangle filed
// under several of the query's cells is tested only in the first cell both cover.
bool OverlapIndex::Overlaps(const Box& rectangle) const {
  const CellRange cells = CellsOf(rectangle);
  for (int row = cells.firstRow; row <= cells.lastRow; ++row) {
    for (int column = cells.firstColumn; column <= cells.lastColumn; ++column) {
      for (int e = cellHeads_[static_cast<std::size_t>(row) * columns_ + column]; e >= 0;
           e = entries_[e].next) {
        const Box& filed = rectangles_[entries_[e].rectangle];
        const CellRange filedCells = CellsOf(filed);
        if (std::max(filedCells.firstColumn, cells.firstColumn) == column &&
            std::max(filedCells.firstRow, cells.firstRow) == row &&
            RectanglesOverlap(rectangle, filed)) {
          return true;
        }
      }
    }
  }
  return false;
}

}  // namespace strixa
