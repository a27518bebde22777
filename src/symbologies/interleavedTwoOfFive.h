// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>

#include "symbologies/symbology.h"

namespace strixa {

// The digits of an interleaved 2 of 5 symbol at the start of pixels, two per group of five bars
// and five spaces, or "".
std::string DecodeInterleavedTwoOfFive(std::string_view pixels);

// Start and stop are made of elements the digits also spell, so a line that enters a symbol at
// the picture's edge often reads its tail as a shorter symbol: the edge stands in for light only
// where the bars run into it at both ends, as in a symbol cropped to its bars. The quiet zone is
// ten narrow elements: a pair that begins like the stop (wide bar, narrow space, narrow bar) is
// followed by at most two wide spaces and three narrow elements (nine narrow at the widest ratio
// of 3) before its next wide bar, and where blur has erased the narrow bars between them, that
// light passes for a shorter quiet zone.
//
// The decoder accepts noise easily, so one threshold must give three reads (counted with those of
// 2 of 5), repeated on another line. A single pair is seventeen elements, which letters and other
// symbols spell by chance even past every other test: a read under four digits counts for
// nothing. There is no check character, and a run of a few pairs is what other symbols, pieces
// of longer ones and noise spell most easily, while common uses carry six digits or more: a
// shorter read must come from lines spread over a third of the bars' height, which a whole
// upright symbol gives and a piece seen through one band of the picture does not. Such a read
// needs light beyond both ends, too: both ends are narrow bars, so where the edge cuts a symbol
// its piece begins with whatever bar the cut leaves, and with no check character and few pairs
// that piece cannot be told from a whole short symbol at the edge. Symbols of six digits and more
// are often drawn without margins and keep the edge as their quiet zone, but only from lines as
// spread as a short read's: where the edge cuts a turned symbol, the cut moves along the bars from
// line to line, so a pair that begins like the stop ends in a narrow bar at the edge only on a
// band of lines, while a whole symbol drawn to the edge reads across its height.
inline constexpr ReadingRules interleavedTwoOfFiveRules = {.quiet = {10, EdgeRule::both},
                                                           .hitsNeeded = 3,
                                                           .mustRepeat = true,
                                                           .minimumLength = 4,
                                                           .spreadBelowLength = 6,
                                                           .spreadShare = 3,
                                                           .edgeFromLength = 6,
                                                           .edgeNeedsSpread = true};

}  // namespace strixa
