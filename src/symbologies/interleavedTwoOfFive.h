// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>

namespace strixa {

// The digits of an interleaved 2 of 5 symbol at the start of pixels, two per group of five bars
// and five spaces, or "".
std::string DecodeInterleavedTwoOfFive(std::string_view pixels);

}  // namespace strixa
