// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "symbologies/symbology.h"

namespace strixa {

// Bar first, bars and spaces alternating; "W" wide, "N" narrow, three wide in each.
inline constexpr std::array<std::string_view, 44> code39WidthPatterns = {
    "NNNWWNWNN", "WNNWNNNNW", "NNWWNNNNW", "WNWWNNNNN", "NNNWWNNNW",  // 0-4
    "WNNWWNNNN", "NNWWWNNNN", "NNNWNNWNW", "WNNWNNWNN", "NNWWNNWNN",  // 5-9
    "WNNNNWNNW", "NNWNNWNNW", "WNWNNWNNN", "NNNNWWNNW", "WNNNWWNNN",  // A-E
    "NNWNWWNNN", "NNNNNWWNW", "WNNNNWWNN", "NNWNNWWNN", "NNNNWWWNN",  // F-J
    "WNNNNNNWW", "NNWNNNNWW", "WNWNNNNWN", "NNNNWNNWW", "WNNNWNNWN",  // K-O
    "NNWNWNNWN", "NNNNNNWWW", "WNNNNNWWN", "NNWNNNWWN", "NNNNWNWWN",  // P-T
    "WWNNNNNNW", "NWWNNNNNW", "WWWNNNNNN", "NWNNWNNNW", "WWNNWNNNN",  // U-Y
    "NWWNWNNNN", "NWNNNNWNW", "WWNNNNWNN", "NWWNNNWNN", "NWNWNWNNN",  // Z - . space $
    "NWNWNNNWN", "NWNNNWNWN", "NNNWNWNWN", "NWNNWNWNN",               // / + % *
};
static_assert(std::ranges::all_of(code39WidthPatterns, [](std::string_view p) {
  return p.size() == 9 && std::ranges::count(p, 'W') == 3;
}));

inline constexpr std::string_view code39Chars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*";
static_assert(code39Chars.size() == code39WidthPatterns.size());

// The start and stop character, "*".
inline constexpr int code39StartIndex = 43;

// Reads one Code 39 symbol that starts with "*" at the first pixel and ends in a whole "*" stop
// followed by the end of the line or a quiet zone: the data characters between them. "" when
// any character is unreadable, the stop is missing or cut, or fewer than two characters remain.
std::string DecodeCode39(std::string_view pixels);

// "N" or "W" for every run but the last: wide when longer than the unit, which is the whole
// length divided by 9 (nine elements and the gap after them).
std::string RunsToCode39Widths(std::string_view runs);

// Start and stop are characters no data character equals, so the picture's edge may stand in
// for light at either end; three narrow elements are about the margin tightly cropped labels
// keep. Noise turns one character into another with no check character to notice, so a read
// must repeat on another line.
inline constexpr ReadingRules code39Rules = {.quiet = {3, EdgeRule::either}, .mustRepeat = true};

}  // namespace strixa
