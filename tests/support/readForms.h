// SPDX-License-Identifier: Apache-2.0
// One normal form for what any reader reports, so readers that label and format their results
// differently can be scored against the drawn symbol alike.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "symbologies/symbology.h"

namespace strixa {

// Symbologies as the benchmarks tell them apart: UPC-A is EAN-13 with a leading 0, and EAN-128
// is Code 128 with a leading FNC1, which the data leave out.
enum class Family { none, ean13, ean8, code128, code39, twoOfFive, interleaved };

std::string_view FamilyName(Family family);

struct Found {
  Family family = Family::none;
  std::string text;
  bool operator==(const Found&) const = default;
};

// The normal form of a read: EAN and UPC texts as digits alone, UPC-A's twelve led by a 0 as
// EAN-13 carries them; other texts as given.
Found NormalForm(Family family, std::string_view text);

// The normal form of a read given as the library's own symbology and result text (a Code 128
// text carries its transmission after a NUL: its identifier, then the data bytes).
Found NormalFormOfResult(Symbology symbology, std::string_view text);

// The bytes a Code 128 symbol's values carry, from its start value on (no check or stop): code
// sets resolved, FNC1 after the first data position as GS (0x1D), a leading FNC1 left out.
std::string Code128Data(const std::vector<int>& values);

// The modulo-43 check character of Code 39 data.
char Code39Check(std::string_view text);

// A drawn symbol: its family and every normal-form text that reads it right.
struct Drawn {
  Family family = Family::none;
  std::vector<std::string> texts;
  bool Matches(const Found& found) const;
};

}  // namespace strixa
