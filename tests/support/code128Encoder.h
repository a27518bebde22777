// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

namespace strixa {

// Module string ("1" a bar module) of a whole Code 128 symbol: the start value (103 A, 104 B,
// 105 C) and the data values as given, then the modulo-103 check character and the 13-module stop.
std::string EncodeCode128(const std::vector<int>& values);

// Modules of one symbol: values 0-105 give 11 modules, 106 the 13-module stop; "" otherwise.
std::string Code128Modules(int value);

}  // namespace strixa
