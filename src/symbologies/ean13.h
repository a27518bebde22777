// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "symbologies/symbology.h"

namespace strixa {

// Left-half digits, number set A (odd parity); "1" is a bar module.
inline constexpr std::array<std::string_view, 10> eanPatternsL = {
    "0001101", "0011001", "0010011", "0111101", "0100011",  // 0-4
    "0110001", "0101111", "0111011", "0110111", "0001011",  // 5-9
};
static_assert(std::ranges::all_of(eanPatternsL, [](std::string_view p) { return p.size() == 7; }));

// Left-half digits, number set B (even parity).
inline constexpr std::array<std::string_view, 10> eanPatternsG = {
    "0100111", "0110011", "0011011", "0100001", "0011101",  // 0-4
    "0111001", "0000101", "0010001", "0001001", "0010111",  // 5-9
};
static_assert(std::ranges::all_of(eanPatternsG, [](std::string_view p) { return p.size() == 7; }));

// Right-half digits, number set C.
inline constexpr std::array<std::string_view, 10> eanPatternsR = {
    "1110010", "1100110", "1101100", "1000010", "1011100",  // 0-4
    "1001110", "1010000", "1000100", "1001000", "1110100",  // 5-9
};
static_assert(std::ranges::all_of(eanPatternsR, [](std::string_view p) { return p.size() == 7; }));

// The sets of the six left-half digits that encode the leading digit of an EAN-13 symbol.
inline constexpr std::array<std::string_view, 10> eanParityPatterns = {
    "AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",  // 0-4
    "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA",  // 5-9
};
static_assert(std::ranges::all_of(eanParityPatterns,
                                  [](std::string_view p) { return p.size() == 6; }));

// What one left-to-right pass over an EAN line gathered.
struct EanReading {
  std::string text;      // the digits read, a space between the halves
  std::string parity;    // "A" or "B" per left-half digit read
  int sum = 0;           // 3 for odd places, 1 for even, the last right-half place left out
  bool complete = true;  // false once any place matched no pattern
  int endPosition = 1;   // 1-based position just past the last right-half digit
};

// Reads start guard, digitsPerHalf left-half digits (set A or B), middle guard and digitsPerHalf
// right-half digits (set C) from a pixel line, strictly from its first pixel on. Returns false
// at a line shorter than 22 pixels or a broken guard; a digit that matches nothing only marks
// the reading incomplete, so both halves are always walked to the end.
bool ReadEanSymbol(std::string_view pixels, int digitsPerHalf, EanReading& reading);

// Whether the last character of text is the check digit for the weighted sum of the others.
bool HasEanCheckDigit(std::string_view text, int sum);

// Whether a line read by ReadEanSymbol (endPosition from its reading) holds the whole symbol:
// the start and middle guards are single modules wide, every digit spans seven modules, and the
// line ends, or meets a quiet zone, within the end guard or right after it.
bool IsWholeEanSymbol(std::string_view pixels, int digitsPerHalf, int endPosition);

// The thirteen digits of an EAN-13 (or UPC-A) symbol as "2712345 678902", or "".
std::string DecodeEan13(std::string_view pixels);

// Guards, end and check digit already refuse a piece of a longer symbol: the line's ends are not
// looked at. UPC-A reads by the same rules.
inline constexpr ReadingRules ean13Rules = {};

}  // namespace strixa
