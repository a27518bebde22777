// SPDX-License-Identifier: Apache-2.0
#include "robust/activity.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <vector>

namespace strixa {

namespace {

// Follows the grey along rows or columns and counts each confirmed turn: a maximum once the grey
// falls below it by the step, a minimum once it rises above it by as much. An extreme older than
// any element is forgotten (looked at every staleCheck pixels): in noise the oldest extreme drifts
// out to the rarest sample, from which any sample turns.
// Lines are followed side by side, each part of their state in an array of its own: the steps of
// one line wait for one another, but a few vector instructions on bytes take a step of all. While
// a line seeks a minimum, its extreme and greys are kept with their bits flipped, so that every
// line seeks a maximum.
struct Turns {
  static constexpr std::size_t lanes = 16;
  using Lanes = std::array<std::uint8_t, lanes>;

  explicit Turns(const Lanes& grey) : extremes(grey) {}

  // Counts where the grey turned, in each lane; step is positive. Without branches on the grey,
  // which in bars and noise would be guessed wrong at every turn: yes and no are bytes of all bits
  // or none, which compilers keep in vector registers, where selects became branches. With
  // `check`, at the first pixel of a stretch, old extremes are forgotten first. Greys by value,
  // not by reference: they cannot then alias the state, and the loop vectorises.
  template <bool check>
  void Next(Lanes grey, std::uint8_t step) {
    for (std::size_t i = 0; i < lanes; ++i) {
      const auto seen = static_cast<std::uint8_t>(grey[i] ^ flipped[i]);
      std::uint8_t extreme = extremes[i];
      if constexpr (check) {
        // Old: set nowhere in the last three stretches, the pixels from staleAfter back.
        const auto old = static_cast<std::uint8_t>(still[i] & stillBefore[i] & stillBefore2[i]);
        extreme = static_cast<std::uint8_t>((seen & old) | (extreme & ~old));
        stillBefore2[i] = stillBefore[i];
        stillBefore[i] = still[i];
        still[i] = static_cast<std::uint8_t>(~old);
      }
      // The grey went on beyond the extreme, or back from it by the step at least.
      const std::uint8_t high = std::max(extreme, seen);
      const auto back = static_cast<std::uint8_t>(high - seen);
      const auto turns = static_cast<std::uint8_t>(-static_cast<int>(back >= step));
      const auto stays = static_cast<std::uint8_t>(-static_cast<int>(high == extreme) & ~turns);
      // A turn makes the grey the extreme sought the other way, so flipped.
      extremes[i] = static_cast<std::uint8_t>((high & ~turns) | (~seen & turns));
      flipped[i] = static_cast<std::uint8_t>(flipped[i] ^ turns);
      still[i] = static_cast<std::uint8_t>(still[i] & stays);
      count[i] = static_cast<std::uint8_t>(count[i] - turns);
    }
  }

  static constexpr int staleCheck = 8;
  static constexpr int staleAfter = 24;
  static_assert(staleAfter == 3 * staleCheck, "three stretches are kept");

  Lanes extremes{};
  Lanes flipped{};  // every bit set while a minimum is sought, none while a maximum is
  Lanes count{};    // turns since they were last added to the cells: a cell's pixels at most
  // Every bit set where the extreme stayed (was neither moved nor forgotten) through this stretch
  // of staleCheck pixels so far, the last one and the one before; none at first, as the first
  // pixel set it.
  Lanes still{};
  Lanes stillBefore{};
  Lanes stillBefore2{};
};

// Turns a cell needs to be active: a single edge (a label's border, a shadow) makes one.
constexpr int turnsNeeded = 2;

// Noise turns at smallestStep everywhere, which would leave no cell quiet: the step grows with
// the typical difference of neighbouring pixels (in noise about its deviation), to six of them,
// and never beyond what bars of low contrast still make.
constexpr int noiseSteps = 6;
constexpr int largestStep = 40;

// Rows and columns this far apart are followed at every other pixel.
constexpr int sparseFrom = 6;

// The edges around a cell run one way where their gradients lie along one direction by at least
// this share of their sum beyond across it ((l1 - l2) / (l1 + l2) of their structure tensor),
// the cell's and its eight neighbours' together: bars nearly wholly, even blurred or at an angle;
// under the heaviest noise of a photo, 0.1 to 0.3 of bars of good contrast, enough in some of
// their cells, and a line reads a stretch where one cell is enough. Noise alone makes about 0.05
// over the nine cells, and text, whose strokes run every way, mostly 0.2 and less: many of its
// cells count for no line. Where only the ends of bars reach into a cell, beside a label's border
// or a line of digits, the neighbours' bars still hold.
constexpr float oneWayShare = 0.2F;

// Over points of the cell from (left, top) on diagonals `apart` pixels apart, each gradient from
// the square of four pixels it is the top-left corner of: every row and every column of the cell
// has points, so that edges of bars a pixel or two wide, upright or lying, show at any phase.
// Each weighs by its size, not its square: a label's high border then never outweighs the many
// edges of fainter bars beside it.
ActivityMap::Gradients CellGradients(const std::uint8_t* bytes, int width, int height,
                                     std::ptrdiff_t rowPitch, int pixelStep, int apart, int left,
                                     int top) {
  ActivityMap::Gradients sums;
  const int right = std::min(width - 1, left + ActivityMap::cellSize);
  const int bottom = std::min(height - 1, top + ActivityMap::cellSize);
  for (int y = top; y < bottom; ++y) {
    const std::uint8_t* row = bytes + y * rowPitch;
    for (int x = left + (y - top) % apart; x < right; x += apart) {
      const std::uint8_t* pixel = row + static_cast<std::ptrdiff_t>(x) * pixelStep;
      const int a = pixel[0];
      const int b = pixel[pixelStep];
      const int c = pixel[rowPitch];
      const int d = pixel[rowPitch + pixelStep];
      const auto gx = static_cast<float>(b + d - a - c);
      const auto gy = static_cast<float>(c + d - a - b);
      const float size = std::sqrt(gx * gx + gy * gy);
      const float weight = size > 0 ? 1 / size : 0;
      sums.xx += weight * gx * gx;
      sums.yy += weight * gy * gy;
      sums.xy += weight * gx * gy;
    }
  }
  return sums;
}

int TurnStep(const std::uint8_t* bytes, int width, int height, std::ptrdiff_t rowPitch,
             int pixelStep, int every) {
  // Four histograms, neighbouring pixels in turn: on flat rows every difference falls in one
  // entry, and each addition to it would wait for the last.
  constexpr std::size_t ways = 4;
  std::array<std::array<long long, 256>, ways> differences{};
  long long count = 0;
  const auto difference = [pixelStep](const std::uint8_t* row, int x) {
    return static_cast<std::size_t>(std::abs(row[static_cast<std::ptrdiff_t>(x) * pixelStep] -
                                             row[static_cast<std::ptrdiff_t>(x - 1) * pixelStep]));
  };
  for (int y = every / 2; y < height; y += 4 * every) {
    const std::uint8_t* row = bytes + y * rowPitch;
    int x = 1;
    for (; x + 3 < width; x += 4) {
      ++differences[0][difference(row, x)];
      ++differences[1][difference(row, x + 1)];
      ++differences[2][difference(row, x + 2)];
      ++differences[3][difference(row, x + 3)];
    }
    for (; x < width; ++x) {
      ++differences[0][difference(row, x)];
    }
    count += width - 1;
  }
  long long below = 0;
  int median = 0;
  const auto counted = [&](int size) {
    long long sum = 0;
    for (const auto& way : differences) {
      sum += way[static_cast<std::size_t>(size)];
    }
    return sum;
  };
  while (median < 255 && 2 * (below + counted(median)) <= count) {
    below += counted(median);
    ++median;
  }
  return std::clamp(noiseSteps * median, smallestStep, largestStep);
}

// Lines of the picture: line i starts at bytes + start[i], and its turns count in the cells from
// cell[i] on (see Follow).
struct Lines {
  std::vector<std::ptrdiff_t> start;
  std::vector<std::size_t> cell;
};

// Follows every stride-th of the lines' first `length` pixels, `along` bytes apart (one where
// `adjacent`), lanes lines at a time; a turn at position p along line i counts in
// cells[cell[i] + p / cellSize * cellStep]. A cell's length at a time: the greys of all its
// positions are gathered first, so that the steps read them long after they were stored.
template <int stride, bool adjacent>
void Follow(const std::uint8_t* bytes, const Lines& lines, std::ptrdiff_t along, int length,
            int step, int* cells, std::size_t cellStep) {
  constexpr int cellSize = ActivityMap::cellSize;
  constexpr std::size_t lanes = Turns::lanes;
  // Positions in a cell: stride divides cellSize, and staleCheck.
  constexpr std::size_t whole = cellSize / stride;
  static_assert(whole * stride == cellSize && Turns::staleCheck % stride == 0);
  if constexpr (adjacent) {
    along = 1;
  }
  const std::ptrdiff_t apart = stride * along;
  const std::size_t count = lines.start.size();
  const std::size_t groups = (count + lanes - 1) / lanes;
  // Lanes past the last line follow the first of their group again; their turns are never added.
  std::vector<std::ptrdiff_t> start(groups * lanes);
  for (std::size_t i = 0; i < start.size(); ++i) {
    start[i] = lines.start[i < count ? i : i - i % lanes];
  }
  std::vector<Turns> turns;
  turns.reserve(groups);
  for (std::size_t group = 0; group < groups; ++group) {
    Turns::Lanes grey;
    for (std::size_t i = 0; i < lanes; ++i) {
      grey[i] = bytes[start[group * lanes + i]];
    }
    turns.emplace_back(grey);
  }
  const auto least = static_cast<std::uint8_t>(step);
  std::array<Turns::Lanes, whole> greys;
  for (int from = 0; from < length; from += cellSize) {
    // The first pixel only starts the lines.
    const int first = std::max(from, stride);
    const auto positions =
        static_cast<std::size_t>((std::min(length, from + cellSize) - first + stride - 1) / stride);
    if (positions == 0) {
      continue;
    }
    for (std::size_t group = 0; group < groups; ++group) {
      for (std::size_t i = 0; i < lanes; ++i) {
        const std::uint8_t* line = bytes + start[group * lanes + i] + first * along;
        if (positions == whole) {
          for (std::size_t k = 0; k < whole; k += 4) {
            greys[k][i] = line[0];
            greys[k + 1][i] = line[apart];
            greys[k + 2][i] = line[2 * apart];
            greys[k + 3][i] = line[3 * apart];
            line += 4 * apart;
          }
        } else {
          for (std::size_t k = 0; k < positions; ++k) {
            greys[k][i] = line[static_cast<std::ptrdiff_t>(k) * apart];
          }
        }
      }
      Turns here = turns[group];
      for (std::size_t k = 0; k < positions; ++k) {
        // Every staleCheck pixels from the first followed.
        if ((first + static_cast<int>(k) * stride - stride) % Turns::staleCheck == 0) {
          here.Next<true>(greys[k], least);
        } else {
          here.Next<false>(greys[k], least);
        }
      }
      turns[group] = here;
    }
    // Each line's turns go to its cell, summed first over the lines side by side in one cell, as
    // adding each to memory would wait for the last addition.
    int* const to = cells + static_cast<std::size_t>(from / cellSize) * cellStep;
    std::size_t cell = lines.cell[0];
    int sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
      if (lines.cell[i] != cell) {
        to[cell] += sum;
        sum = 0;
        cell = lines.cell[i];
      }
      std::uint8_t& turned = turns[i / lanes].count[i % lanes];
      sum += turned;
      turned = 0;
    }
    to[cell] += sum;
  }
}

// Follows the lines at a stride known while compiling.
template <bool adjacent>
void Follow(const std::uint8_t* bytes, const Lines& lines, std::ptrdiff_t along, int length,
            int stride, int step, int* cells, std::size_t cellStep) {
  if (lines.start.empty()) {
    return;
  }
  if (stride == 1) {
    Follow<1, adjacent>(bytes, lines, along, length, step, cells, cellStep);
  } else {
    Follow<2, adjacent>(bytes, lines, along, length, step, cells, cellStep);
  }
}

}  // namespace

ActivityMap::ActivityMap(const std::uint8_t* bytes, int width, int height, std::ptrdiff_t rowPitch,
                         int pixelStep, int every) {
  columns_ = (width + cellSize - 1) / cellSize;
  rows_ = (height + cellSize - 1) / cellSize;
  const auto cells = static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_);
  turns_.assign(cells, 0);
  const int step = TurnStep(bytes, width, height, rowPitch, pixelStep, every);
  // Every other pixel along the rows and columns where they lie far apart, on large pictures:
  // half the cost, and a symbol's elements two modules wide and more still turn the grey at its
  // smallest module the lines read, a pixel and a half.
  const int stride = every >= sparseFrom ? 2 : 1;
  // Rows, each in a row of cells, and columns, each in a column of cells; x and y are never
  // negative.
  Lines rows;
  for (int y = every / 2; y < height; y += every) {
    rows.start.push_back(y * rowPitch);
    rows.cell.push_back(static_cast<std::size_t>(y / cellSize) *
                        static_cast<std::size_t>(columns_));
  }
  Lines down;
  for (int x = every / 2; x < width; x += every) {
    down.start.push_back(static_cast<std::ptrdiff_t>(x) * pixelStep);
    down.cell.push_back(static_cast<std::size_t>(x / cellSize));
  }
  // Pixels side by side are read without a multiplication.
  if (pixelStep == 1) {
    Follow<true>(bytes, rows, pixelStep, width, stride, step, turns_.data(), 1);
  } else {
    Follow<false>(bytes, rows, pixelStep, width, stride, step, turns_.data(), 1);
  }
  Follow<false>(bytes, down, rowPitch, height, stride, step, turns_.data(),
                static_cast<std::size_t>(columns_));
  gradients_.assign(cells, Gradients{});
  for (int cy = 0; cy < rows_; ++cy) {
    for (int cx = 0; cx < columns_; ++cx) {
      const auto cell = static_cast<std::size_t>(cy) * static_cast<std::size_t>(columns_) +
                        static_cast<std::size_t>(cx);
      if (turns_[cell] >= turnsNeeded) {
        gradients_[cell] = CellGradients(bytes, width, height, rowPitch, pixelStep, 2 * every,
                                         cx * cellSize, cy * cellSize);
      }
    }
  }
  LeaveOut({});
}

namespace {

// Whether the quadrilateral reaches into the cell from (left, top): no edge of either has the
// other wholly on its outer side. The cell's edges are its box's; touching is not reaching.
bool Reaches(const ActivityMap::Quad& quad, double left, double top, double size) {
  const auto [xLow, xHigh] = std::minmax_element(quad.x.begin(), quad.x.end());
  const auto [yLow, yHigh] = std::minmax_element(quad.y.begin(), quad.y.end());
  if (*xHigh <= left || *xLow >= left + size || *yHigh <= top || *yLow >= top + size) {
    return false;
  }
  // The quadrilateral's area, signed: its corners go round it one way or the other.
  double area = 0;
  for (std::size_t e = 0; e < 4; ++e) {
    const std::size_t f = (e + 1) % 4;
    area += quad.x[e] * quad.y[f] - quad.x[f] * quad.y[e];
  }
  for (std::size_t e = 0; e < 4; ++e) {
    const std::size_t f = (e + 1) % 4;
    // The edge's normal, pointing inwards.
    const double nx = (area > 0 ? -1 : 1) * (quad.y[f] - quad.y[e]);
    const double ny = (area > 0 ? -1 : 1) * (quad.x[e] - quad.x[f]);
    double most = -1e300;
    for (int corner = 0; corner < 4; ++corner) {
      const double px = left + (corner & 1) * size;
      const double py = top + (corner >> 1) * size;
      most = std::max(most, nx * (px - quad.x[e]) + ny * (py - quad.y[e]));
    }
    if (most <= 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

void ActivityMap::LeaveOut(const std::vector<Box>& readAlready, const std::vector<Quad>& places) {
  counted_ = turns_;
  for (const Box& box : readAlready) {
    const int left = std::max(0, static_cast<int>(std::floor(box.left / cellSize)));
    const int top = std::max(0, static_cast<int>(std::floor(box.top / cellSize)));
    const int right = std::min(columns_, static_cast<int>(std::ceil(box.right / cellSize)));
    const int bottom = std::min(rows_, static_cast<int>(std::ceil(box.bottom / cellSize)));
    for (int cy = top; cy < bottom; ++cy) {
      for (int cx = left; cx < right; ++cx) {
        counted_[static_cast<std::size_t>(cy) * static_cast<std::size_t>(columns_) +
                 static_cast<std::size_t>(cx)] = 0;
      }
    }
  }
  active_.assign(turns_.size(), 0);
  directions_.assign(turns_.size(), CellDirections{});
  quietCells_ = active_.size();
  blockColumns_ = (columns_ + blockCells - 1) / blockCells;
  blockRows_ = (rows_ + blockCells - 1) / blockCells;
  const auto blocks =
      static_cast<std::size_t>(blockColumns_) * static_cast<std::size_t>(blockRows_);
  busy_.assign(blocks, 0);
  clear_.assign(blocks, 1);
  CountNoTurns(places);
  Recount(0, 0, columns_, rows_);
  ListBarCells();
}

void ActivityMap::LeaveOutMore(const std::vector<Quad>& places) {
  const std::array<int, 4> changed = CountNoTurns(places);
  // A cell's directions come from the cells around it, and theirs from the cells around those.
  if (changed[2] >= 0) {
    Recount(std::max(0, changed[0] - 2), std::max(0, changed[1] - 2),
            std::min(columns_, changed[2] + 3), std::min(rows_, changed[3] + 3));
    ListBarCells();
  }
}

void ActivityMap::ListBarCells() {
  barCells_.clear();
  for (std::size_t cell = 0; cell < directions_.size(); ++cell) {
    if ((directions_[cell].counted & directions_[cell].bars) != 0) {
      barCells_.push_back(static_cast<int>(cell));
    }
  }
}

std::array<int, 4> ActivityMap::CountNoTurns(const std::vector<Quad>& places) {
  int left = columns_;
  int top = rows_;
  int right = -1;
  int bottom = -1;
  for (const Quad& quad : places) {
    const auto [xLow, xHigh] = std::minmax_element(quad.x.begin(), quad.x.end());
    const auto [yLow, yHigh] = std::minmax_element(quad.y.begin(), quad.y.end());
    const int fromX = std::max(0, static_cast<int>(std::floor(*xLow / cellSize)));
    const int fromY = std::max(0, static_cast<int>(std::floor(*yLow / cellSize)));
    const int toX = std::min(columns_, static_cast<int>(std::ceil(*xHigh / cellSize)));
    const int toY = std::min(rows_, static_cast<int>(std::ceil(*yHigh / cellSize)));
    for (int cy = fromY; cy < toY; ++cy) {
      for (int cx = fromX; cx < toX; ++cx) {
        int& turns = counted_[static_cast<std::size_t>(cy) * static_cast<std::size_t>(columns_) +
                              static_cast<std::size_t>(cx)];
        if (turns == 0 || !Reaches(quad, cx * cellSize, cy * cellSize, cellSize)) {
          continue;
        }
        if (turns >= turnsNeeded) {
          left = std::min(left, cx);
          top = std::min(top, cy);
          right = std::max(right, cx);
          bottom = std::max(bottom, cy);
        }
        turns = 0;
      }
    }
  }
  return {left, top, right, bottom};
}

void ActivityMap::Recount(int left, int top, int right, int bottom) {
  const auto at = [this](int cx, int cy) {
    return static_cast<std::size_t>(cy) * static_cast<std::size_t>(columns_) +
           static_cast<std::size_t>(cx);
  };
  for (int cy = top; cy < bottom; ++cy) {
    for (int cx = left; cx < right; ++cx) {
      quietCells_ += active_[at(cx, cy)] != 0 ? 1 : 0;
      active_[at(cx, cy)] = 0;
      directions_[at(cx, cy)] = CellDirections{};
    }
  }
  // Every cell that counts and reaches into the region, by its own and its neighbours' gradients.
  for (int cy = std::max(0, top - 1); cy < std::min(rows_, bottom + 1); ++cy) {
    for (int cx = std::max(0, left - 1); cx < std::min(columns_, right + 1); ++cx) {
      if (counted_[at(cx, cy)] < turnsNeeded) {
        continue;
      }
      Gradients around;
      for (int ny = std::max(0, cy - 1); ny <= std::min(rows_ - 1, cy + 1); ++ny) {
        for (int nx = std::max(0, cx - 1); nx <= std::min(columns_ - 1, cx + 1); ++nx) {
          if (counted_[at(nx, ny)] >= turnsNeeded) {
            around.xx += gradients_[at(nx, ny)].xx;
            around.yy += gradients_[at(nx, ny)].yy;
            around.xy += gradients_[at(nx, ny)].xy;
          }
        }
      }
      const Directions counting = DirectionsAcross(around, countingTurn);
      const Directions reading = DirectionsAcross(around, readingTurn);
      for (int ny = std::max(top, cy - 1); ny <= std::min(bottom - 1, cy + 1); ++ny) {
        for (int nx = std::max(left, cx - 1); nx <= std::min(right - 1, cx + 1); ++nx) {
          active_[at(nx, ny)] = 1;
          directions_[at(nx, ny)].counted |= counting != 0 ? counting : allDirections;
          directions_[at(nx, ny)].bars |= reading;
        }
      }
    }
  }
  for (int cy = top; cy < bottom; ++cy) {
    for (int cx = left; cx < right; ++cx) {
      quietCells_ -= active_[at(cx, cy)] != 0 ? 1 : 0;
    }
  }
  // The blocks the region reaches into, and whether those around them are clear.
  const auto block = [this](int bx, int by) {
    return static_cast<std::size_t>(by) * static_cast<std::size_t>(blockColumns_) +
           static_cast<std::size_t>(bx);
  };
  const int fromX = left / blockCells;
  const int fromY = top / blockCells;
  const int toX = (right - 1) / blockCells;
  const int toY = (bottom - 1) / blockCells;
  for (int by = fromY; by <= toY; ++by) {
    for (int bx = fromX; bx <= toX; ++bx) {
      std::uint8_t busy = 0;
      for (int cy = by * blockCells; cy < std::min(rows_, (by + 1) * blockCells); ++cy) {
        for (int cx = bx * blockCells; cx < std::min(columns_, (bx + 1) * blockCells); ++cx) {
          busy |= active_[at(cx, cy)];
        }
      }
      busy_[block(bx, by)] = busy;
    }
  }
  for (int by = std::max(0, fromY - 1); by <= std::min(blockRows_ - 1, toY + 1); ++by) {
    for (int bx = std::max(0, fromX - 1); bx <= std::min(blockColumns_ - 1, toX + 1); ++bx) {
      std::uint8_t near = 0;
      for (int ny = std::max(0, by - 1); ny <= std::min(blockRows_ - 1, by + 1); ++ny) {
        for (int nx = std::max(0, bx - 1); nx <= std::min(blockColumns_ - 1, bx + 1); ++nx) {
          near |= busy_[block(nx, ny)];
        }
      }
      clear_[block(bx, by)] = near != 0 ? 0 : 1;
    }
  }
}

ActivityMap::Directions ActivityMap::DirectionsAcross(const Gradients& gradients, double turn) {
  const float sum = gradients.xx + gradients.yy;
  const float apart = gradients.xx - gradients.yy;
  if (sum <= 0 || std::hypot(apart, 2 * gradients.xy) < oneWayShare * sum) {
    return 0;
  }
  // The bins from across - turn to across + turn, each taken modulo 180 degrees.
  const double across = std::atan2(2 * gradients.xy, apart) * 90 / std::numbers::pi;
  const auto first = static_cast<int>(std::ceil((across - turn) / directionBin));
  const auto last = static_cast<int>(std::floor((across + turn) / directionBin));
  Directions directions = 0;
  for (int bin = first; bin <= last; ++bin) {
    directions |= Directions{1} << ((bin + directionBins) % directionBins);
  }
  return directions;
}

bool ActivityMap::Active(double x, double y) const {
  return active_[static_cast<std::size_t>(CellRow(y)) * static_cast<std::size_t>(columns_) +
                 static_cast<std::size_t>(CellColumn(x))] != 0;
}

ActivityMap::Directions ActivityMap::DirectionOf(double directionX, double directionY) {
  const double degrees = std::atan2(directionY, directionX) * 180 / std::numbers::pi;
  const auto bin =
      static_cast<int>(std::lround(degrees / directionBin) + directionBins) % directionBins;
  return Directions{1} << bin;
}

void ActivityMap::LinesNearBars(double centreX, double centreY, double directionX,
                                double directionY, double first, double spacing,
                                std::vector<std::uint8_t>& near) const {
  std::fill(near.begin(), near.end(), 0);
  if (near.empty() || spacing <= 0) {
    return;
  }
  const Directions direction = DirectionOf(directionX, directionY);
  const double size = std::hypot(directionX, directionY);
  const double upX = directionY / size;
  const double upY = -directionX / size;
  // Every point of a cell lies within this of its centre across the lines; Spans reads only cells
  // its line passes through, and a pixel more leaves room for rounding.
  const double reach = 0.5 * cellSize * (std::abs(upX) + std::abs(upY)) + 1;
  const auto last = static_cast<double>(near.size() - 1);
  for (const int at : barCells_) {
    const CellDirections& cell = directions_[static_cast<std::size_t>(at)];
    if ((cell.counted & cell.bars & direction) == 0) {
      continue;
    }
    const int cx = at % columns_;
    const int cy = at / columns_;
    const double across =
        (cellSize * (cx + 0.5) - centreX) * upX + (cellSize * (cy + 0.5) - centreY) * upY - first;
    const double from = std::max(0.0, std::ceil((across - reach) / spacing));
    const double to = std::min(last, std::floor((across + reach) / spacing));
    for (double i = from; i <= to; ++i) {
      near[static_cast<std::size_t>(i)] = 1;
    }
  }
}

void ActivityMap::Spans(double originX, double originY, double directionX, double directionY,
                        double length, double margin,
                        std::vector<std::pair<double, double>>& spans) const {
  spans.clear();
  // A cell at a time: a line through an active cell crosses the widened cells around it for two
  // cells' length at least, and so meets them.
  const double step = cellSize / std::sqrt(directionX * directionX + directionY * directionY);
  const Directions direction = DirectionOf(directionX, directionY);
  const auto add = [&](double from, double to) {
    from = std::max(0.0, from - margin - step);
    to = std::min(length, to + margin + step);
    if (!spans.empty() && from <= spans.back().second) {
      spans.back().second = to;
    } else {
      spans.emplace_back(from, to);
    }
  };
  double runFrom = -1;
  double lastActive = 0;
  bool runHoldsBars = false;
  const int steps = static_cast<int>(length / step) + 1;
  // From a point in a clear block, the next blockCells points, a cell apart, move by as many
  // cells at most along each axis (clamped, no more), so by a block: into its neighbours, whose
  // cells are all quiet.
  constexpr int passed = blockCells;
  for (int k = 0; k <= steps; ++k) {
    const double at = std::min(k * step, length);
    const int cx = CellColumn(originX + at * directionX);
    const int cy = CellRow(originY + at * directionY);
    const auto cell = static_cast<std::size_t>(cy) * static_cast<std::size_t>(columns_) +
                      static_cast<std::size_t>(cx);
    const CellDirections& here = directions_[cell];
    if ((here.counted & direction) != 0) {
      if (runFrom < 0) {
        runFrom = at;
        runHoldsBars = false;
      }
      runHoldsBars = runHoldsBars || (here.bars & direction) != 0;
      lastActive = at;
      continue;
    }
    if (runFrom >= 0 && runHoldsBars) {
      add(runFrom, lastActive);
    }
    runFrom = -1;
    if (clear_[static_cast<std::size_t>(cy / blockCells) * static_cast<std::size_t>(blockColumns_) +
               static_cast<std::size_t>(cx / blockCells)] != 0) {
      k += passed;
    }
  }
  if (runFrom >= 0 && runHoldsBars) {
    add(runFrom, lastActive);
  }
}

}  // namespace strixa
