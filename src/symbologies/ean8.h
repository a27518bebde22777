// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>

#include "symbologies/symbology.h"

namespace strixa {

std::string DecodeEan8(std::string_view pixels);

// Its guards, one set on the left and a check digit refuse a piece of a longer symbol, so the
// picture's edge may stand in for light at either end; three narrow elements tell it from a
// neighbour's bars.
inline constexpr ReadingRules ean8Rules = {.quiet = {3, EdgeRule::either}};

}  // namespace strixa
