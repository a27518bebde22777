// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace strixa {

// Pixels ("1" dark) of a 2 of 5 symbol that carries its digits in the bars: start (wide bar,
// narrow space, wide bar, narrow space, narrow bar, narrow space), five bars per digit with
// narrow spaces, stop (wide bar, narrow space, narrow bar). No quiet zones. "" when digits
// holds anything but digits or a width is not positive.
std::string TwoOfFivePixels(std::string_view digits, int narrow, int wide);

// Pixels of an interleaved 2 of 5 symbol: start (narrow bar, space, bar, space), each pair's
// first digit in five bars interleaved with its second in five spaces, stop (wide bar, narrow
// space, narrow bar). No quiet zones. "" for an odd count, a non-digit or a width not positive.
std::string InterleavedTwoOfFivePixels(std::string_view digits, int narrow, int wide);

// Alternating runs of the given widths, the first a bar, the groups joined in order:
// {{2, 1}, {3}} gives "110111". A width below 1 adds nothing.
std::string AlternatingRuns(std::initializer_list<std::vector<int>> groups);

}  // namespace strixa
