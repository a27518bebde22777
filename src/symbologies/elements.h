#pragma once

#include <iterator>
#include <string>
#include <string_view>

namespace strixa {

// The piece of pixels that begins at 1-based start and holds exactly runCount runs (maximal
// stretches of equal characters), followed by at least one pixel of a further run; "" when
// no such piece exists. The result views into pixels.
std::string_view TakeRuns(int start, std::string_view pixels, int runCount);

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
