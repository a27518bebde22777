// SPDX-License-Identifier: Apache-2.0
// Random symbols of every symbology and random pages of text, drawn for the benchmarks from a
// Random alone, so a picture follows from its seed.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/canvas.h"

namespace strixa {

enum SymbolKind {
  ean13Kind,
  upcAKind,
  ean8Kind,
  code128AKind,
  code128BKind,
  code128CKind,
  ean128Kind,
  code39Ratio2Kind,
  code39Ratio3Kind,
  twoOfFiveKind,
  interleavedKind,
  textPageKind,
  kindCount,
};

constexpr std::array<std::string_view, kindCount> kindNames = {
    "EAN-13",  "UPC-A",     "EAN-8",     "Code128 A", "Code128 B", "Code128 C",
    "EAN-128", "Code39 r2", "Code39 r3", "2 of 5",    "2 of 5 i",  "text page",
};

struct Symbol {
  std::string pixels;    // along the reading direction, one character per pixel, "1" dark
  std::string expected;  // the line the tool must print
  std::string caption;   // the text printed under the bars, when drawn
};

std::string RandomDigits(Random& random, int count);

// Appends the EAN check digit: weights 3 and 1 from the rightmost data digit leftwards.
std::string WithEanCheck(std::string digits);

// Printed text of a Code 128 data value 0-99 in code set 0 (A), 1 (B) or 2 (C).
std::string Code128Text(int set, int value);

// A random Code 128 symbol starting in the given set, with the odd change of code set on the way:
// its values (start code first, no check or stop) and its printed text.
std::pair<std::vector<int>, std::string> RandomCode128(Random& random, int set);

// Two to ten Code 39 characters, without start, stop or check character.
std::string RandomCode39Text(Random& random);

// Wide elements of the 2 of 5 codes at a ratio of 2, 2.5 or 3, always wider than narrow.
int TwoOfFiveWide(Random& random, int narrow);

Symbol MakeSymbol(SymbolKind kind, int modulePixels, Random& random);

// A word of a printed page: lower case, capitalised, capitals, numbers or bar-like tokens.
std::string RandomWord(Random& random);

// A page of plain printed text: lines of words at one size, with the odd heading and blank line.
Canvas DrawTextPage(Random& random, float paper, float ink, int& scale);

}  // namespace strixa
