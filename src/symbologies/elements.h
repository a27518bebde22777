// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace strixa {

// The piece of pixels that begins at 1-based start and holds exactly runCount runs (maximal
// stretches of equal characters), followed by at least one pixel of a further run; "" when
// no such piece exists. The result views into pixels.
std::string_view TakeRuns(int start, std::string_view pixels, int runCount);

// The lengths of the first count runs of pixels from 0-based first on, all of them by default;
// fewer when the pixels end sooner.
std::vector<std::size_t> RunLengths(std::string_view pixels, std::size_t count = SIZE_MAX,
                                    std::size_t first = 0);

// The middle one of values once sorted (the upper middle of an even count); 0 for none.
std::size_t MedianOf(std::vector<std::size_t> values);

// Resamples a piece of pixels into moduleCount modules by voting in equal windows: a window is
// "1" as soon as at least half its pixels (rounded down) are "1".
std::string RunsToModules(std::string_view pixels, int moduleCount);

// Index of the first entry equal to key, or -1.
template <typename Table>
int FindPattern(const Table& table, std::string_view key) {
  for (int i = 0; i < static_cast<int>(std::size(table)); ++i) {
    if (table[i] == key) {
      return i;
    }
  }
  return -1;
}

}  // namespace strixa
