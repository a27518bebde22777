// SPDX-License-Identifier: Apache-2.0
#include "symbologies/interleavedTwoOfFive.h"

#include "symbologies/twoOfFive.h"

namespace strixa {

namespace {

// Narrow bar, narrow space, narrow bar, narrow space.
constexpr std::string_view interleavedStart = "1010";

}  // namespace

// Each group of ten runs carries a pair: the bars spell the first digit, the spaces the second.
std::string DecodeInterleavedTwoOfFive(std::string_view pixels) {
  return DecodeTwoOfFiveGroups(pixels, 4, interleavedStart, true);
}

}  // namespace strixa
