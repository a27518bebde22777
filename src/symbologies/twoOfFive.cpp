// SPDX-License-Identifier: Apache-2.0
#include "symbologies/twoOfFive.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "symbologies/elements.h"

namespace strixa {

namespace {

// Wide bar, narrow space, wide bar, narrow space, narrow bar, narrow space at a ratio of 2.
constexpr std::string_view twoOfFiveStart = "11011010";

// Stops as wide ("W") and narrow ("N") elements, bar first. Interleaved symbols end in a wide
// bar, a narrow space and a narrow bar; 2 of 5 symbols in a wide, a narrow and a wide bar with
// narrow spaces, or, as some print it, like the interleaved stop.
constexpr std::array<std::string_view, 1> interleavedStops = {"WNN"};
constexpr std::array<std::string_view, 2> twoOfFiveStops = {"WNN", "WNNNW"};

// Spaces within a symbol are at most three narrow elements wide; a quiet zone is about ten.
constexpr std::size_t quietZoneUnits = 6;

// Inner elements are narrow up to the unit + 2, as RunsToTwoOfFiveWidths has it.
bool IsWide(std::size_t length, std::size_t unit) { return length > unit + 2; }

bool AllNarrow(const std::vector<std::size_t>& lengths, std::size_t unit) {
  return std::ranges::none_of(lengths, [unit](std::size_t length) { return IsWide(length, unit); });
}

// Whether the spaces of a group of ten runs (bar first) are all narrow.
bool HasNarrowSpaces(const std::vector<std::size_t>& group, std::size_t unit) {
  for (std::size_t i = 1; i < group.size(); i += 2) {
    if (IsWide(group[i], unit)) {
      return false;
    }
  }
  return true;
}

// Whether the six runs of a 2 of 5 start are wide bar, narrow space, wide bar, then three narrow
// elements, measured against the unit of the first digit.
bool HasTwoOfFiveStart(const std::vector<std::size_t>& runs, std::size_t unit) {
  constexpr std::string_view widths = "WNWNNN";
  if (runs.size() != widths.size()) {
    return false;
  }
  for (std::size_t i = 0; i < widths.size(); ++i) {
    if (IsWide(runs[i], unit) != (widths[i] == 'W')) {
      return false;
    }
  }
  return true;
}

// The longest bar and the longest space still narrow, in pixels.
struct NarrowLimits {
  std::size_t bar = 0;
  std::size_t space = 0;
};

// Below this many pixels an element is as much sampling as print, and the split below is refused.
constexpr std::size_t splitLeastNarrow = 2;

// Letters for a pair's ten runs (bar first) from each colour's own widths: of its five bars two
// are wide, and of its five spaces. The unit of RunsToTwoOfFiveWidths assumes a ratio of 2 and
// adds two pixels of slack, which at two pixels a narrow element leaves a 2:1 wide one (four
// pixels) narrow. The split holds only where the build shows in the widths: both wide elements
// of a colour more than 1.5 times its widest narrow one (the ratio is 2 to 3), at most 4 times,
// and no narrow one under two pixels. "" otherwise; limits gets each colour's narrow bound.
std::string SplitPairWidths(std::string_view group, NarrowLimits& limits) {
  const std::vector<std::size_t> runs = RunLengths(group);
  if (runs.size() != 10) {
    return {};
  }
  std::string letters(10, 'N');
  for (std::size_t colour = 0; colour < 2; ++colour) {
    std::array<std::size_t, 5> sorted{};
    for (std::size_t k = 0; k < 5; ++k) {
      sorted[k] = runs[colour + 2 * k];
    }
    std::ranges::sort(sorted);
    const std::size_t widestNarrow = sorted[2];
    const std::size_t narrowestWide = sorted[3];
    if (sorted[0] < splitLeastNarrow || 2 * narrowestWide <= 3 * widestNarrow ||
        sorted[4] > 4 * widestNarrow) {
      return {};
    }
    // Midway between the colour's narrow and wide elements, for the stop after the pair.
    (colour == 0 ? limits.bar : limits.space) = (widestNarrow + narrowestWide) / 2;
    for (std::size_t k = colour; k < 10; k += 2) {
      if (runs[k] >= narrowestWide) {
        letters[k] = 'W';
      }
    }
  }
  return letters;
}

// Whether letters spell a digit in the bars and one in the spaces.
bool SpellsPair(std::string_view letters) {
  return WidthsToTwoOfFiveDigit(letters, 0) != '?' && WidthsToTwoOfFiveDigit(letters, 1) != '?';
}

// Whether a whole stop begins at 1-based position, measured against the unit of the group before
// it, and nothing but the end of the line or a quiet zone follows it. Its last bar ends the line
// and may be worn thin, so where a wide one is due any width will do. A line that ends inside the
// stop may have left a cut symbol, so it is refused.
//
// An interleaved pair that begins like the stop (wide bar, narrow space, narrow bar) goes on with
// two wide and three narrow elements before its next wide bar: half the pair, whatever the ratio.
// Where blur has erased the narrow bars among them, that half passes for a quiet zone, and the
// read ends one pair short. The quiet zone, ten narrow elements, is longer than half a pair at
// every ratio up to 3, so light after an interleaved stop must be.
bool IsStopAt(std::string_view pixels, int position, std::size_t groupPixels, bool interleaved,
              const NarrowLimits& limits) {
  const std::vector<std::size_t> runs =
      RunLengths(pixels, 6, static_cast<std::size_t>(position) - 1);
  const std::size_t unit = groupPixels / 14;
  const std::size_t quiet = interleaved ? groupPixels / 2 + 1 : quietZoneUnits * unit;
  const auto matches = [&](std::string_view stop) {
    if (runs.size() < stop.size() || (runs.size() > stop.size() && runs[stop.size()] < quiet)) {
      return false;
    }
    for (std::size_t i = 0; i < stop.size(); ++i) {
      const bool wide = stop[i] == 'W';
      const std::size_t limit = i % 2 == 0 ? limits.bar : limits.space;
      if ((runs[i] > limit) != wide && !(wide && i + 1 == stop.size())) {
        return false;
      }
    }
    return true;
  };
  return interleaved ? std::ranges::any_of(interleavedStops, matches)
                     : std::ranges::any_of(twoOfFiveStops, matches);
}

// Whether every run of group called wide in letters is longer than every run of its colour called
// narrow, as in any printed pair. The closing run is called wide at less length than the inner
// ones, so a narrow closing space as wide as the narrow spaces before it would pass for wide: a
// Code 39 character (three wide elements) and its narrow gap then spell a pair (four).
bool HasConsistentWidths(std::string_view group, std::string_view letters) {
  const std::vector<std::size_t> runs = RunLengths(group);
  for (std::size_t colour = 0; colour < 2; ++colour) {
    std::size_t widestNarrow = 0;
    std::size_t narrowestWide = SIZE_MAX;
    for (std::size_t i = colour; i < runs.size() && i < letters.size(); i += 2) {
      std::size_t& bound = letters[i] == 'W' ? narrowestWide : widestNarrow;
      bound = letters[i] == 'W' ? std::min(bound, runs[i]) : std::max(bound, runs[i]);
    }
    if (narrowestWide <= widestNarrow) {
      return false;
    }
  }
  return true;
}

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
  // Resampled at a wide-to-narrow ratio of 2, a 2 of 5 start drawn at 3 loses its second space;
  // its widths are checked against the first digit's instead.
  if (start.empty() ||
      (interleaved &&
       RunsToModules(start, static_cast<int>(startModules.size())) != startModules)) {
    return {};
  }
  position += static_cast<int>(start.size());

  // Five bars and the spaces after them make a group, up to the stop.
  std::string digits;
  std::size_t unit = 0;
  std::size_t groupPixels = 0;
  NarrowLimits limits;
  while (digits.empty() || !IsStopAt(pixels, position, groupPixels, interleaved, limits)) {
    const std::string_view group = TakeRuns(position, pixels, 10);
    if (group.empty()) {
      // The line ended without a stop: it left the symbol early.
      return {};
    }
    position += static_cast<int>(group.size());
    groupPixels = group.size();
    unit = groupPixels / 14;
    limits = {unit + 2, unit + 2};
    if (!interleaved && !HasNarrowSpaces(RunLengths(group, 10), unit)) {
      // Only bars carry data here and every space is narrow; a wide one means this is not 2 of 5,
      // as when a line through Code 39 happens to begin like its start.
      return {};
    }
    if (interleaved && digits.empty() && !AllNarrow(RunLengths(start, 4), unit)) {
      // A stop read backwards also resamples to the four start modules, but its bar is wide.
      return {};
    }
    if (!interleaved && digits.empty() && !HasTwoOfFiveStart(RunLengths(start), unit)) {
      return {};
    }
    std::string letters = RunsToTwoOfFiveWidths(group);
    if (interleaved && !SpellsPair(letters)) {
      // Read by the unit, a pair at a ratio of 2 and two pixels a narrow element spells nothing.
      if (std::string split = SplitPairWidths(group, limits); !split.empty()) {
        letters = std::move(split);
      }
    }
    if (interleaved && !HasConsistentWidths(group, letters)) {
      return {};
    }
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
