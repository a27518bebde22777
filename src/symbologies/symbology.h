// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace strixa {

// What a result was read as. UPC-A is an EAN-13 symbol with a leading zero and EAN-128 a Code
// 128 symbol that starts with FNC1, but each is printed, selected and identified on its own, so
// each is a value of its own. None marks a candidate that read nothing.
enum class Symbology : std::uint8_t {
  None,
  Ean13,
  UpcA,
  Ean8,
  Code128,
  Ean128,
  Code39,
  TwoOfFive,
  InterleavedTwoOfFive,
};

// The label a result line starts with ("EAN13", "2/5i", ...); "" for None. It views a literal,
// so its data() ends in a NUL.
std::string_view SymbologyLabel(Symbology symbology);

// The result line as printed and returned: label, tab, text.
std::string ResultLine(Symbology symbology, std::string_view text);

// What a read needs beyond both ends of its line: light of quietNarrows narrow elements (the
// pixels' middle run length), and whether the picture's edge may stand in for it: at either end,
// after any light; only where the bars run into the edge at both ends at once, or where light a
// narrow element wider than the line's widest space lies before it; or only where both of the
// bars that run into it there are as wide as the widest bar inside. A light gap inside the line
// gapNarrows wide may be where the decoder found its quiet zone, so the lines beside must be
// light there too; no space inside the symbol is as wide.
enum class EdgeRule { neither, either, both, bothWideBars };
struct QuietRule {
  int quietNarrows = 5;
  EdgeRule edge = EdgeRule::either;
  int gapNarrows = 5;
};

// How the dispatcher accepts a decoder's read; each decoder's header declares its own.
struct ReadingRules {
  // 0 narrows: the line's ends are not looked at.
  QuietRule quiet{0, EdgeRule::neither};
  // Reads of one threshold needed before one is accepted. Every read of a symbology that asks for
  // more than one counts, so the counted symbologies add up their reads together.
  int hitsNeeded = 1;
  // The same read must also come from another line of the same threshold.
  bool mustRepeat = false;
  // A shorter read counts for nothing, and the next decoder is offered the line.
  std::size_t minimumLength = 1;
  // A read shorter than this must come from lines spread over at least 1/spreadShare of the
  // candidate's extent across the bars.
  std::size_t spreadBelowLength = 0;
  int spreadShare = 1;
  // A shorter read needs light beyond both ends: the picture's edge stands in for none.
  std::size_t edgeFromLength = 0;
  // A read that takes the picture's edge for a quiet zone must come from lines spread as a short
  // read's must.
  bool edgeNeedsSpread = false;
};

}  // namespace strixa
