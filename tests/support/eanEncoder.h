// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>

namespace strixa {

// Module strings ("1" = bar) of EAN symbols from start guard to end guard, for drawing test
// lines and pictures. The digits are encoded as given, check digit included, so a wrong check
// digit can be drawn on purpose. Anything but the right number of decimal digits gives "".

// 95 modules: the first digit chooses the sets of the left half.
std::string EncodeEan13(std::string_view thirteenDigits);

// 67 modules; leftSetB draws the left half with set B instead of set A.
std::string EncodeEan8(std::string_view eightDigits, bool leftSetB = false);

}  // namespace strixa
