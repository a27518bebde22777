// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "symbologies/symbology.h"

namespace strixa {

// Width pattern of each digit's five elements, "N" narrow and "W" wide; both 2 of 5 decoders
// read it, the interleaved one for bars and spaces alike.
inline constexpr std::array<std::string_view, 10> twoOfFivePatterns = {
    "NNWWN", "WNNNW", "NWNNW", "WWNNN", "NNWNW",  // 0-4
    "WNWNN", "NWWNN", "NNNWW", "WNNWN", "NWNWN",  // 5-9
};
static_assert(std::ranges::all_of(twoOfFivePatterns, [](std::string_view p) {
  return p.size() == 5 && std::ranges::count(p, 'W') == 2;
}));

// One "N" or "W" per run of pixels. The unit is the length / 14; inner runs are wide above the
// unit + 2, the last run already above the unit.
std::string RunsToTwoOfFiveWidths(std::string_view pixels);

// The lowest digit whose pattern equals every second letter of widths from 0-based first, as a
// character, or '?' when none does.
char WidthsToTwoOfFiveDigit(std::string_view widths, std::size_t first);

// The digits of a symbol whose start is startRuns runs spelling startModules (2 of 5: its wide
// and narrow elements, at any ratio), followed by groups of ten runs up to the stop: each group
// gives its bars' digit and, interleaved, its spaces' digit too. "" unless the start matches
// (interleaved: four narrow elements), every digit reads (2 of 5: with narrow spaces;
// interleaved: each wide element wider than the narrow ones of its colour), there are at least two,
// and a whole stop follows the last group with nothing after it but the end of the line or a quiet
// zone.
std::string DecodeTwoOfFiveGroups(std::string_view pixels, int startRuns,
                                  std::string_view startModules, bool interleaved);

// The digits of a 2 of 5 symbol (data in the bars only) at the start of pixels, or "".
std::string DecodeTwoOfFive(std::string_view pixels);

// Start and stop are made of elements the digits also spell: the picture's edge stands in for
// light only where the bars run into it at both ends (see interleavedTwoOfFiveRules); light
// before the edge at one end could be one of the symbol's own spaces. Such bars must moreover be
// whole: the edge cuts a piece at any place, mostly through a bar, and the short stop (wide bar,
// narrow space, narrow bar) is how the digits 1, 5 and 8 begin, so a line cut there reads all but
// the last digit. The start and the long stop end in a whole wide bar, which a cut leaves as wide
// as the others only where it falls at the bar's very end.
//
// The decoder accepts noise easily, so one threshold must give three reads (counted with those of
// interleaved 2 of 5), repeated on another line. Its digits are spelt by its bars alone, its
// spaces all narrow: two digits are ten bars, as few as one interleaved pair holds, which a small
// symbol of another kind, whose bars at one or two pixels a module come out in two widths, spells
// by chance; a read under three digits counts for nothing. There is no check character either: a
// line turned steeply to the bars enters them across their tops and leaves across their bottoms,
// and the few digits between may read as a whole symbol. The lines beside it enter elsewhere and
// read something else, so such a piece repeats only on lines close together: a read under six
// digits needs the same spread as a short interleaved one. Where such a line leaves the bars, a
// digit that begins like the short stop ends the read at the light below them, and the line goes
// on into whatever lies there (a caption): the spaces inside are all narrow, so any gap as wide as
// the quiet zone must be light on the lines beside too, as it is after a real stop.
inline constexpr ReadingRules twoOfFiveRules = {.quiet = {3, EdgeRule::bothWideBars, 3},
                                                .hitsNeeded = 3,
                                                .mustRepeat = true,
                                                .minimumLength = 3,
                                                .spreadBelowLength = 6,
                                                .spreadShare = 3};

}  // namespace strixa
