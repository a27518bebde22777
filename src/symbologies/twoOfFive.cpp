#include "symbologies/twoOfFive.h"

#include <cstddef>

#include "symbologies/elements.h"

namespace strixa {

namespace {

// Wide bar, narrow space, wide bar, narrow space, narrow bar, narrow space at a ratio of 2.
constexpr std::string_view twoOfFiveStart = "11011010";

}  // namespace

std::string RunsToTwoOfFiveWidths(std::string_view pixels) {
  const std::size_t unit = pixels.size() / 14;
  std::string letters;
  for (std::size_t i = 0; i < pixels.size();) {
    std::size_t end = i + 1;
    while (end < pixels.size() && pixels[end] == pixels[i]) {
      ++end;
    }
    // Inner runs get two pixels of slack over the unit; the closing gap gets none.
    const std::size_t limit = end == pixels.size() ? unit : unit + 2;
    letters += end - i > limit ? 'W' : 'N';
    i = end;
  }
  return letters;
}

char WidthsToTwoOfFiveDigit(std::string_view widths, std::size_t first) {
  std::string picked;
  for (std::size_t i = first; i < widths.size(); i += 2) {
    picked += widths[i];
  }
  const int digit = FindPattern(twoOfFivePatterns, picked);
  return digit < 0 ? '?' : static_cast<char>('0' + digit);
}

std::string DecodeTwoOfFiveGroups(std::string_view pixels, int startRuns,
                                  std::string_view startModules, bool interleaved) {
  if (pixels.size() < 22) {
    return {};
  }
  int position = 1;
  const std::string_view start = TakeRuns(position, pixels, startRuns);
  if (RunsToModules(start, static_cast<int>(startModules.size())) != startModules) {
    return {};
  }
  position += static_cast<int>(start.size());

  // Five bars and the spaces after them make a group; the stop has fewer runs, so reading ends
  // before it.
  std::string digits;
  for (std::string_view group = TakeRuns(position, pixels, 10); !group.empty();
       group = TakeRuns(position, pixels, 10)) {
    position += static_cast<int>(group.size());
    const std::string letters = RunsToTwoOfFiveWidths(group);
    digits += WidthsToTwoOfFiveDigit(letters, 0);
    if (interleaved) {
      digits += WidthsToTwoOfFiveDigit(letters, 1);
    }
  }
  if (digits.find('?') != std::string::npos || digits.size() < 2) {
    return {};
  }
  return digits;
}

std::string DecodeTwoOfFive(std::string_view pixels) {
  return DecodeTwoOfFiveGroups(pixels, 6, twoOfFiveStart, false);
}

}  // namespace strixa
