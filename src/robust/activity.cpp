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

  bool Next(int grey, int step, int position) {
    if (rising) {
      if (grey > extreme) {
        extreme = grey;
        at = position;
      } else if (extreme - grey >= step) {
        rising = false;
        extreme = grey;
        at = position;
        return true;
      }
    } else if (grey < extreme) {
      extreme = grey;
      at = position;
    } else if (grey - extreme >= step) {
      rising = true;
      extreme = grey;
      at = position;
      return true;
    }
    return false;
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
  std::vector<int> turns(cells, 0);
  const int step = TurnStep(bytes, width, height, rowPitch, pixelStep, every);
  const auto cellOf = [this](int x, int y) {
    return static_cast<std::size_t>(y / cellSize) * static_cast<std::size_t>(columns_) +
           static_cast<std::size_t>(x / cellSize);
  };
  for (int y = every / 2; y < height; y += every) {
    const std::uint8_t* row = bytes + y * rowPitch;
    Turns along{row[0]};
    for (int x = 1; x < width;) {
      along.ForgetOld(row[static_cast<std::ptrdiff_t>(x) * pixelStep], x);
      for (const int end = std::min(width, x + Turns::staleCheck); x < end; ++x) {
        if (along.Next(row[static_cast<std::ptrdiff_t>(x) * pixelStep], step, x)) {
          ++turns[cellOf(x, y)];
        }
      }
    }
  }
  // Columns are followed together, row after row, so that the bytes are read in their order.
  std::vector<Turns> down;
  for (int x = every / 2; x < width; x += every) {
    down.push_back({bytes[static_cast<std::ptrdiff_t>(x) * pixelStep]});
  }
  for (int y = 1; y < height; ++y) {
    const std::uint8_t* row = bytes + y * rowPitch;
    if (y % Turns::staleCheck == 1) {
      int x = every / 2;
      for (Turns& column : down) {
        column.ForgetOld(row[static_cast<std::ptrdiff_t>(x) * pixelStep], y);
        x += every;
      }
    }
    int x = every / 2;
    for (Turns& column : down) {
      if (column.Next(row[static_cast<std::ptrdiff_t>(x) * pixelStep], step, y)) {
        ++turns[cellOf(x, y)];
      }
      x += every;
    }
  }
  active_.assign(cells, 0);
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
}

bool ActivityMap::Active(double x, double y) const {
  // Truncation is the floor for x, y >= 0; points a rounding off the picture clamp to its edge.
  const int cx = std::clamp(static_cast<int>(x) / cellSize, 0, columns_ - 1);
  const int cy = std::clamp(static_cast<int>(y) / cellSize, 0, rows_ - 1);
  return active_[static_cast<std::size_t>(cy) * static_cast<std::size_t>(columns_) +
                 static_cast<std::size_t>(cx)] != 0;
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
  for (int k = 0; k <= steps; ++k) {
    const double at = std::min(k * step, length);
    if (Active(originX + at * directionX, originY + at * directionY)) {
      if (runFrom < 0) {
        runFrom = at;
      }
      lastActive = at;
    } else if (runFrom >= 0) {
      add(runFrom, lastActive);
      runFrom = -1;
    }
  }
  if (runFrom >= 0) {
    add(runFrom, lastActive);
  }
}

}  // namespace strixa
