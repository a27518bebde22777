// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace strixa {

// The smallest grey step an edge of the lines has, and the map counts.
constexpr int smallestStep = 10;

// Where a picture may hold bars, found cheaply before any line is sampled: every few rows and
// columns of the picture itself are followed for alternating grey steps as large as the smallest
// edge the lines accept, and a square cell is active where they alternate at least twice. Bars at
// any angle cross the rows or the columns at 45 degrees or more, so every symbol's cells are
// active, at every module size the lines read; flat paper, flat ground and single edges are not.
// Active cells are widened by one on every side, for cells a line only grazes. Cells a box of a
// symbol read already reaches into count no turns: the lines need not read it again. Other bars
// that reach a cell into such a box are still read, as a line keeps more than a cell beyond the
// last active cell it crosses.
// Cells are cellSize picture pixels square.
class ActivityMap {
 public:
  // An upright box in picture coordinates, from the top-left corner of the top-left pixel.
  struct Box {
    double left, top, right, bottom;
  };

  // Rows and columns every `every` pixels.
  ActivityMap(const std::uint8_t* bytes, int width, int height, std::ptrdiff_t rowPitch,
              int pixelStep, int every);

  // Counts no turns in the cells these boxes reach into, and again all others' (none: every
  // cell's).
  void LeaveOut(const std::vector<Box>& readAlready);

  bool Active(double x, double y) const;
  // Whether no cell is quiet: every line is then read whole.
  bool AllActive() const { return quietCells_ == 0; }
  // The share of the picture's cells that are active.
  double ActiveShare() const {
    return active_.empty()
               ? 0.0
               : 1.0 - static_cast<double>(quietCells_) / static_cast<double>(active_.size());
  }

  // The parts of the line origin + t * direction, t in [0, length] (picture pixels per t, from
  // the picture's top-left corner), within margin of an active cell, in order and apart.
  void Spans(double originX, double originY, double directionX, double directionY, double length,
             double margin, std::vector<std::pair<double, double>>& spans) const;

  static constexpr int cellSize = 16;

 private:
  // Blocks of blockCells x blockCells cells; a block is clear when neither it nor any block
  // around it holds an active cell, so that Spans passes over it a few cells at a time.
  static constexpr int blockCells = 4;

  // The cell of a point: truncation is the floor for x, y >= 0; points a rounding off the
  // picture clamp to its edge.
  int CellColumn(double x) const {
    return std::clamp(static_cast<int>(x) / cellSize, 0, columns_ - 1);
  }
  int CellRow(double y) const { return std::clamp(static_cast<int>(y) / cellSize, 0, rows_ - 1); }

  int columns_ = 0;
  int rows_ = 0;
  std::size_t quietCells_ = 0;
  std::vector<int> turns_;  // per cell
  std::vector<std::uint8_t> active_;
  int blockColumns_ = 0;
  std::vector<std::uint8_t> clear_;
};

}  // namespace strixa
