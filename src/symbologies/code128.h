// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>

#include "symbologies/symbology.h"

namespace strixa {

// What leads the transcript of a symbol that starts with FNC1 in code set C, an EAN-128 symbol.
inline constexpr std::string_view ean128Marker = "<EAN128>";

// Reads one Code 128 symbol from the first pixel on: the transcript of its values (control and
// function characters as bracketed names, code-set changes leave no text), led by "<EAN128>" when
// FNC1 follows Start C. "" unless every symbol reads and the check character matches.
std::string DecodeCode128(std::string_view pixels);

// DecodeCode128's transcript, then a NUL and what a reader transmits for the symbol: its
// symbology identifier ("]C0"; "]C1" with FNC1 first, "]C2" with FNC1 after one letter or digit
// pair) and the data bytes as encoded, FNC1 elsewhere as GS (0x1D). "" when it does not read.
std::string DecodeCode128Transmission(std::string_view pixels);

// Start, stop and check character refuse a piece of a longer symbol, so the picture's edge may
// stand in for light at either end; the light only tells the symbol from a neighbour's bars.
// Elements are one to four modules, so the middle run is often two, and two of them are about
// four modules.
inline constexpr ReadingRules code128Rules = {.quiet = {2, EdgeRule::either}};

}  // namespace strixa
