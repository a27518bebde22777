// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <string_view>

#include "symbologies/symbology.h"

namespace strixa {

// Modules of one Code 128 symbol value, bars and spaces together.
inline constexpr int code128SymbolModules = 11;
constexpr bool Code128HasModules(std::string_view pattern) {
  return pattern.size() == code128SymbolModules;
}

// Index is the code set the start character selects.
inline constexpr std::array<std::string_view, 4> code128StartPatterns = {
    "", "11010000100", "11010010000", "11010011100"};
static_assert(std::all_of(code128StartPatterns.begin() + 1, code128StartPatterns.end(),
                          Code128HasModules));

// Symbol values 0-102; "1" is a bar module.
inline constexpr std::array<std::string_view, 103> code128Patterns = {
    "11011001100", "11001101100", "11001100110", "10010011000", "10010001100",  // 0-4
    "10001001100", "10011001000", "10011000100", "10001100100", "11001001000",  // 5-9
    "11001000100", "11000100100", "10110011100", "10011011100", "10011001110",  // 10-14
    "10111001100", "10011101100", "10011100110", "11001110010", "11001011100",  // 15-19
    "11001001110", "11011100100", "11001110100", "11101101110", "11101001100",  // 20-24
    "11100101100", "11100100110", "11101100100", "11100110100", "11100110010",  // 25-29
    "11011011000", "11011000110", "11000110110", "10100011000", "10001011000",  // 30-34
    "10001000110", "10110001000", "10001101000", "10001100010", "11010001000",  // 35-39
    "11000101000", "11000100010", "10110111000", "10110001110", "10001101110",  // 40-44
    "10111011000", "10111000110", "10001110110", "11101110110", "11010001110",  // 45-49
    "11000101110", "11011101000", "11011100010", "11011101110", "11101011000",  // 50-54
    "11101000110", "11100010110", "11101101000", "11101100010", "11100011010",  // 55-59
    "11101111010", "11001000010", "11110001010", "10100110000", "10100001100",  // 60-64
    "10010110000", "10010000110", "10000101100", "10000100110", "10110010000",  // 65-69
    "10110000100", "10011010000", "10011000010", "10000110100", "10000110010",  // 70-74
    "11000010010", "11001010000", "11110111010", "11000010100", "10001111010",  // 75-79
    "10100111100", "10010111100", "10010011110", "10111100100", "10011110100",  // 80-84
    "10011110010", "11110100100", "11110010100", "11110010010", "11011011110",  // 85-89
    "11011110110", "11110110110", "10101111000", "10100011110", "10001011110",  // 90-94
    "10111101000", "10111100010", "11110101000", "11110100010", "10111011110",  // 95-99
    "10111101110", "11101011110", "11110101110",                                // 100-102
};
static_assert(std::ranges::all_of(code128Patterns, Code128HasModules));

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

// What DecodeCode128Transmission gives for a symbol of start code set startSet (1 = A, 2 = B,
// 3 = C) and the values between its start and its check character, for readers that find the
// values themselves and have checked the check character; "" when the transcript is empty.
std::string Code128TextOfValues(int startSet, std::span<const int> values);

// Start, stop and check character refuse a piece of a longer symbol, so the picture's edge may
// stand in for light at either end; the light only tells the symbol from a neighbour's bars.
// Elements are one to four modules, so the middle run is often two, and two of them are about
// four modules.
inline constexpr ReadingRules code128Rules = {.quiet = {2, EdgeRule::either}};

}  // namespace strixa
