// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <algorithm>
#include <array>
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
// Active cells are widened by one on every side, for cells a line only grazes. Cells the place of
// a symbol read already reaches into (an upright box, or a turned one) count no turns: the lines
// need not read it again. Other bars
// that reach a cell into such a box are still read, as a line keeps more than a cell beyond the
// last active cell it crosses.
// Where the edges around an active cell run one way, as a symbol's bars make them, a line counts
// the cell only within countingTurn degrees of across them. A line turned by an angle from across
// a symbol crosses it end to end only where the angle's tangent is below the bars' height over
// the symbol's length, and bars stand at most about as tall as the symbol is long (an EAN-8's,
// about 40 degrees): lines turned further, and lines along the bars, leave through the bars' ends
// and read nothing there. Cells whose edges run no one way count for every line, but a line
// reads a stretch of the cells it counts only where one of them has edges that run within
// readingTurn degrees of across it: text, clutter and noise alone turn the grey as often as bars,
// but their edges run every way. The lines' families lie 15 degrees apart, so one of them crosses
// each symbol within 7.5 degrees of across, end to end however short its bars; readingTurn leaves
// more again for the bars' direction under noise and for a perspective that turns a symbol's bars
// from one another. Lines turned further cross end to end only tall symbols, which the nearer
// families read too: on photos they read next to nothing. Stretches that cross bars are read
// whole, with the ends of bars that a picture's edge cuts short, digits and noise beside them.
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

  // A convex quadrilateral in picture coordinates, its corners in order round it.
  struct Quad {
    std::array<double, 4> x;
    std::array<double, 4> y;
  };

  // Counts no turns in the cells these boxes and quadrilaterals reach into, and again all others'
  // (none: every cell's).
  void LeaveOut(const std::vector<Box>& readAlready, const std::vector<Quad>& places = {});
  // Counts no turns in the cells these quadrilaterals reach into either, besides those left out
  // already: the same map as leaving all out at once, worked out again only around them.
  void LeaveOutMore(const std::vector<Quad>& places);

  bool Active(double x, double y) const;
  // The share of the picture's cells that are active.
  double ActiveShare() const {
    return active_.empty()
               ? 0.0
               : 1.0 - static_cast<double>(quietCells_) / static_cast<double>(active_.size());
  }

  // The parts of the line origin + t * direction, t in [0, length] (picture pixels per t, from
  // the picture's top-left corner), within margin of a cell that counts for its direction, in
  // order and apart.
  void Spans(double originX, double originY, double directionX, double directionY, double length,
             double margin, std::vector<std::pair<double, double>>& spans) const;

  // Marks the lines along (directionX, directionY) that pass within a pixel of a cell where Spans
  // may find bars for them; it finds none on the others. Line i lies at first + i * spacing across
  // (centreX, centreY), towards (directionY, -directionX) from it; near holds a mark for each line.
  void LinesNearBars(double centreX, double centreY, double directionX, double directionY,
                     double first, double spacing, std::vector<std::uint8_t>& near) const;

  static constexpr int cellSize = 16;
  static constexpr double countingTurn = 40;
  static constexpr double readingTurn = 20;

  // Sums of products of a cell's gradients (x and y components), each gradient weighed.
  struct Gradients {
    float xx = 0;
    float yy = 0;
    float xy = 0;
  };

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
  // Directions of lines in bins of directionBin degrees, bin b centred on b * directionBin from
  // the rows (clockwise on the screen, as y grows downwards), one bit each.
  static constexpr int directionBin = 5;
  static constexpr int directionBins = 180 / directionBin;
  using Directions = std::uint64_t;
  static_assert(directionBins <= 64);
  static constexpr Directions allDirections = (Directions{1} << directionBins) - 1;

  // The bin of lines along (directionX, directionY): the nearest multiple of directionBin degrees.
  static Directions DirectionOf(double directionX, double directionY);
  // The directions of lines within turn degrees of across the edges whose gradients these are,
  // where they run one way; else none.
  static Directions DirectionsAcross(const Gradients& gradients, double turn);

  // Counts no turns in the cells these quadrilaterals reach into; the first and last column and
  // row of those whose turns counted before (none: the last below the first).
  std::array<int, 4> CountNoTurns(const std::vector<Quad>& places);
  // Works out again the cells from (left, top) to (right, bottom), not included, from counted_:
  // whether each is active, its directions, and the blocks they lie in.
  void Recount(int left, int top, int right, int bottom);
  // Lists the cells where lines of some direction may read bars.
  void ListBarCells();

  std::vector<int> turns_;            // per cell
  std::vector<int> counted_;          // per cell, turns_ but nought where left out
  std::vector<Gradients> gradients_;  // per cell that turns enough
  std::vector<std::uint8_t> active_;
  // Per active cell, the directions of lines that count it, and of those that may read bars
  // there: each the cells' that made it active (every direction where edges run no one way, for
  // the first; none, for the second). Side by side, as a line looks at both.
  struct CellDirections {
    Directions counted = 0;
    Directions bars = 0;
  };
  std::vector<CellDirections> directions_;
  std::vector<int> barCells_;  // those with bars a line that counts them may read
  int blockColumns_ = 0;
  int blockRows_ = 0;
  std::vector<std::uint8_t> busy_;  // per block, whether it holds an active cell
  std::vector<std::uint8_t> clear_;
};

}  // namespace strixa
