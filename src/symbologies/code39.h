// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>

namespace strixa {

// Reads one Code 39 symbol that starts with "*" at the first pixel and ends in a whole "*" stop
// followed by the end of the line or a quiet zone: the data characters between them. "" when
// any character is unreadable, the stop is missing or cut, or fewer than two characters remain.
std::string DecodeCode39(std::string_view pixels);

// "N" or "W" for every run but the last: wide when longer than the unit, which is the whole
// length divided by 9 (nine elements and the gap after them).
std::string RunsToCode39Widths(std::string_view runs);

}  // namespace strixa
