// SPDX-License-Identifier: Apache-2.0
#include "symbologies/code39.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "symbologies/elements.h"

namespace strixa {

namespace {

constexpr int startIndex = code39StartIndex;
constexpr std::size_t maxDataChars = 1000;

// A gap of at least half its character (six to eight narrow elements) ends the symbol: gaps
// between characters stay well below that, while a quiet zone is ten narrow elements or more.
bool IsQuietZone(std::string_view elements, std::size_t gap) { return gap * 2 >= elements.size(); }

// Whether elements (the runs after the last character, up to the end of the line or a quiet
// zone) spell the whole stop, each measured against the unit of the character before it. A line
// that stops short of the stop's last bar may have left a cut symbol, so it is refused.
bool IsStop(std::string_view elements, std::size_t unit) {
  const std::string_view stop = code39WidthPatterns[startIndex];
  const std::vector<std::size_t> runs = RunLengths(elements);
  if (runs.size() != stop.size()) {
    return false;
  }
  for (std::size_t i = 0; i < runs.size(); ++i) {
    if ((runs[i] > unit) != (stop[i] == 'W')) {
      return false;
    }
  }
  return true;
}

// Whether every character, start and stop included, is about as wide as their median. All have
// the same number of modules, so one twice as wide is two characters whose narrow spaces closed
// up and happened to spell a third, which would print a wrong text.
bool HasEvenCharacters(const std::vector<std::size_t>& widths) {
  const std::size_t median = MedianOf(widths);
  return std::ranges::all_of(widths, [median](std::size_t width) {
    return width * 4 >= median * 3 && width * 4 <= median * 5;
  });
}

}  // namespace

std::string RunsToCode39Widths(std::string_view runs) {
  const std::size_t unit = runs.size() / 9;
  std::vector<std::size_t> lengths = RunLengths(runs);
  // The last run is the gap after the character, and has no width of its own here.
  if (!lengths.empty()) {
    lengths.pop_back();
  }
  std::string widths;
  for (const std::size_t length : lengths) {
    widths += length > unit ? 'W' : 'N';
  }
  return widths;
}

std::string DecodeCode39(std::string_view pixels) {
  if (pixels.size() < 22) {
    return {};
  }
  std::string text;
  bool started = false;
  int position = 1;
  std::size_t lastUnit = 0;
  // Of each character's nine elements, without the gap after them.
  std::vector<std::size_t> characterWidths;
  for (;;) {
    const std::string_view runs = TakeRuns(position, pixels, 10);
    if (runs.empty()) {
      // The line ends inside the symbol's last nine elements: they must be the stop, or the line
      // left the symbol early.
      const std::string_view stop = pixels.substr(static_cast<std::size_t>(position) - 1);
      if (!started || !IsStop(stop, lastUnit)) {
        return {};
      }
      characterWidths.push_back(stop.size());
      break;
    }
    const std::size_t gap = runs.size() - runs.find_last_not_of(runs.back()) - 1;
    const std::string_view elements = runs.substr(0, runs.size() - gap);
    characterWidths.push_back(elements.size());
    if (started && IsQuietZone(elements, gap)) {
      // Whatever lies beyond a quiet zone belongs to something else.
      if (!IsStop(elements, lastUnit)) {
        return {};
      }
      break;
    }
    position += static_cast<int>(runs.size());
    lastUnit = runs.size() / 9;
    const int index = FindPattern(code39WidthPatterns, RunsToCode39Widths(runs));
    if (!started) {
      // Only the first ten runs may hold the start; no other offset is tried.
      if (index != startIndex) {
        return {};
      }
      started = true;
    } else if (index < 0) {
      return {};
    } else {
      text += code39Chars[static_cast<std::size_t>(index)];
    }
  }
  if (!HasEvenCharacters(characterWidths)) {
    return {};
  }
  if (text.size() > maxDataChars) {
    text.resize(maxDataChars);
  }
  // A star just before the stop is dropped as well.
  if (!text.empty() && text.back() == '*') {
    text.pop_back();
  }
  if (text.size() < 2) {
    return {};
  }
  return text;
}

}  // namespace strixa
