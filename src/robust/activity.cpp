// SPDX-License-Identifier: Apache-2.0
#include "robust/activity.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace strixa {

namespace {

// Follows the grey along one row or column and counts each confirmed turn: a maximum once the
// grey falls below it by the step, a minimum once it rises above it by as much. An extreme older
// than any element is forgotten (looked at every staleCheck pixels): in noise the oldest extreme
// drifts out to the rarest sample, from which any sample turns.
struct Turns {
  int extreme = 0;
  int at = 0;
  bool rising = true;

  void ForgetOld(int grey, int position) {
    if (position - at > staleAfter) {
      extreme = grey;
      at = position;
    }
  }

  // Whether the grey turned here; step is positive. Without branches on the grey, which in bars
  // and noise would be guessed wrong at every turn.
  bool Next(int grey, int step, int position) {
    // How far the grey went back against the direction sought: below nought it went on.
    const int back = rising ? extreme - grey : grey - extreme;
    const bool turns = back >= step;
    const bool moves = back < 0 || turns;
    extreme = moves ? grey : extreme;
    at = moves ? position : at;
    rising = rising != turns;
    return turns;
  }

  static constexpr int staleAfter = 24;
  static constexpr int staleCheck = 8;
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

int TurnStep(const std::uint8_t* bytes, int width, int height, std::ptrdiff_t rowPitch,
             int pixelStep, int every) {
  std::array<long long, 256> differences{};
  long long count = 0;
  for (int y = every / 2; y < height; y += 4 * every) {
    const std::uint8_t* row = bytes + y * rowPitch;
    for (int x = 1; x < width; ++x) {
      ++differences[static_cast<std::size_t>(
          std::abs(row[static_cast<std::ptrdiff_t>(x) * pixelStep] -
                   row[static_cast<std::ptrdiff_t>(x - 1) * pixelStep]))];
      ++count;
    }
  }
  long long below = 0;
  int median = 0;
  while (median < 255 && 2 * (below + differences[static_cast<std::size_t>(median)]) <= count) {
    below += differences[static_cast<std::size_t>(median)];
    ++median;
  }
  return std::clamp(noiseSteps * median, smallestStep, largestStep);
}

}  // namespace

ActivityMap::ActivityMap(const std::uint8_t* bytes, int width, int height, std::ptrdiff_t rowPitch,
                         int pixelStep, int every) {
  columns_ = (width + cellSize - 1) / cellSize;
  rows_ = (height + cellSize - 1) / cellSize;
  const auto cells = static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_);
  turns_.assign(cells, 0);
  const int step = TurnStep(bytes, width, height, rowPitch, pixelStep, every);
  // The turns of a row of cells, and a cell's column: x and y are never negative.
  const auto rowOfCells = [this](int y) {
    return turns_.data() + static_cast<std::size_t>(static_cast<unsigned>(y) / cellSize) *
                               static_cast<std::size_t>(columns_);
  };
  const auto cellColumn = [](int x) { return static_cast<unsigned>(x) / cellSize; };
  // Every other pixel along the rows and columns where they lie far apart, on large pictures:
  // half the cost, and a symbol's elements two modules wide and more still turn the grey at its
  // smallest module the lines read, a pixel and a half.
  const int stride = every >= sparseFrom ? 2 : 1;
  for (int y = every / 2; y < height; y += every) {
    const std::uint8_t* row = bytes + y * rowPitch;
    int* cells = rowOfCells(y);
    Turns along{row[0]};
    for (int x = stride; x < width;) {
      along.ForgetOld(row[static_cast<std::ptrdiff_t>(x) * pixelStep], x);
      for (const int end = std::min(width, x + Turns::staleCheck); x < end; x += stride) {
        cells[cellColumn(x)] +=
            along.Next(row[static_cast<std::ptrdiff_t>(x) * pixelStep], step, x) ? 1 : 0;
      }
    }
  }
  // Columns are followed together, row after row, so that the bytes are read in their order.
  std::vector<Turns> down;
  for (int x = every / 2; x < width; x += every) {
    down.push_back({bytes[static_cast<std::ptrdiff_t>(x) * pixelStep]});
  }
  for (int y = stride; y < height; y += stride) {
    const std::uint8_t* row = bytes + y * rowPitch;
    if ((y - stride) % Turns::staleCheck < stride) {
      int x = every / 2;
      for (Turns& column : down) {
        column.ForgetOld(row[static_cast<std::ptrdiff_t>(x) * pixelStep], y);
        x += every;
      }
    }
    int* cells = rowOfCells(y);
    int x = every / 2;
    for (Turns& column : down) {
      cells[cellColumn(x)] +=
          column.Next(row[static_cast<std::ptrdiff_t>(x) * pixelStep], step, y) ? 1 : 0;
      x += every;
    }
  }
  LeaveOut({});
}

void ActivityMap::LeaveOut(const std::vector<Box>& readAlready) {
  std::vector<int> turns = turns_;
  for (const Box& box : readAlready) {
    const int left = std::max(0, static_cast<int>(std::floor(box.left / cellSize)));
    const int top = std::max(0, static_cast<int>(std::floor(box.top / cellSize)));
    const int right = std::min(columns_, static_cast<int>(std::ceil(box.right / cellSize)));
    const int bottom = std::min(rows_, static_cast<int>(std::ceil(box.bottom / cellSize)));
    for (int cy = top; cy < bottom; ++cy) {
      for (int cx = left; cx < right; ++cx) {
        turns[static_cast<std::size_t>(cy) * static_cast<std::size_t>(columns_) +
              static_cast<std::size_t>(cx)] = 0;
      }
    }
  }
  active_.assign(turns.size(), 0);
  for (int cy = 0; cy < rows_; ++cy) {
    for (int cx = 0; cx < columns_; ++cx) {
      if (turns[static_cast<std::size_t>(cy) * static_cast<std::size_t>(columns_) +
                static_cast<std::size_t>(cx)] < turnsNeeded) {
        continue;
      }
      for (int ny = std::max(0, cy - 1); ny <= std::min(rows_ - 1, cy + 1); ++ny) {
        for (int nx = std::max(0, cx - 1); nx <= std::min(columns_ - 1, cx + 1); ++nx) {
          active_[static_cast<std::size_t>(ny) * static_cast<std::size_t>(columns_) +
                  static_cast<std::size_t>(nx)] = 1;
        }
      }
    }
  }
  quietCells_ = static_cast<std::size_t>(std::count(active_.begin(), active_.end(), 0));
  blockColumns_ = (columns_ + blockCells - 1) / blockCells;
  const int blockRows = (rows_ + blockCells - 1) / blockCells;
  std::vector<std::uint8_t> busy(
      static_cast<std::size_t>(blockColumns_) * static_cast<std::size_t>(blockRows), 0);
  for (int cy = 0; cy < rows_; ++cy) {
    for (int cx = 0; cx < columns_; ++cx) {
      if (active_[static_cast<std::size_t>(cy) * static_cast<std::size_t>(columns_) +
                  static_cast<std::size_t>(cx)] != 0) {
        busy[static_cast<std::size_t>(cy / blockCells) * static_cast<std::size_t>(blockColumns_) +
             static_cast<std::size_t>(cx / blockCells)] = 1;
      }
    }
  }
  clear_.assign(busy.size(), 1);
  for (int by = 0; by < blockRows; ++by) {
    for (int bx = 0; bx < blockColumns_; ++bx) {
      if (busy[static_cast<std::size_t>(by) * static_cast<std::size_t>(blockColumns_) +
               static_cast<std::size_t>(bx)] == 0) {
        continue;
      }
      for (int ny = std::max(0, by - 1); ny <= std::min(blockRows - 1, by + 1); ++ny) {
        for (int nx = std::max(0, bx - 1); nx <= std::min(blockColumns_ - 1, bx + 1); ++nx) {
          clear_[static_cast<std::size_t>(ny) * static_cast<std::size_t>(blockColumns_) +
                 static_cast<std::size_t>(nx)] = 0;
        }
      }
    }
  }
}

bool ActivityMap::Active(double x, double y) const {
  return active_[static_cast<std::size_t>(CellRow(y)) * static_cast<std::size_t>(columns_) +
                 static_cast<std::size_t>(CellColumn(x))] != 0;
}

void ActivityMap::Spans(double originX, double originY, double directionX, double directionY,
                        double length, double margin,
                        std::vector<std::pair<double, double>>& spans) const {
  spans.clear();
  // A cell at a time: a line through an active cell crosses the widened cells around it for two
  // cells' length at least, and so meets them.
  const double step = cellSize / std::sqrt(directionX * directionX + directionY * directionY);
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
  const int steps = static_cast<int>(length / step) + 1;
  // From a point in a clear block, the next blockCells points, a cell apart, move by as many
  // cells at most along each axis (clamped, no more), so by a block: into its neighbours, whose
  // cells are all quiet.
  constexpr int passed = blockCells;
  for (int k = 0; k <= steps; ++k) {
    const double at = std::min(k * step, length);
    const int cx = CellColumn(originX + at * directionX);
    const int cy = CellRow(originY + at * directionY);
    if (active_[static_cast<std::size_t>(cy) * static_cast<std::size_t>(columns_) +
                static_cast<std::size_t>(cx)] != 0) {
      if (runFrom < 0) {
        runFrom = at;
      }
      lastActive = at;
      continue;
    }
    if (runFrom >= 0) {
      add(runFrom, lastActive);
      runFrom = -1;
    }
    if (clear_[static_cast<std::size_t>(cy / blockCells) * static_cast<std::size_t>(blockColumns_) +
               static_cast<std::size_t>(cx / blockCells)] != 0) {
      k += passed;
    }
  }
  if (runFrom >= 0) {
    add(runFrom, lastActive);
  }
}

}  // namespace strixa
