// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "symbologies/symbology.h"

namespace strixa {

struct AxisView;
struct Candidate;
struct Image;

// The six symbology decoders in the order a line is offered to them. Each returns its text, or
// "" when it cannot read the pixel string.
struct DecoderChain {
  using Decoder = std::string (*)(std::string_view pixels);
  Decoder code128;
  Decoder code39;
  Decoder ean13;
  Decoder ean8;
  Decoder interleavedTwoOfFive;
  Decoder twoOfFive;
};

// The program's own decoders.
extern const DecoderChain symbologyDecoders;

// What the decoder chain read from a line: its symbology and text, or None and "".
struct SymbolRead {
  Symbology symbology = Symbology::None;
  std::string text;
};

// What a decoder's text stands for: the Code 128 decoder marks an EAN-128 symbol, and UPC-A is
// EAN-13 with a leading zero, which the UPC-A form does not print. Other readers of the decoders'
// texts go through here too, so a symbol gives the same result whoever reads it.
SymbolRead ClassifyRead(Symbology decoder, std::string_view read);

// The rules the dispatcher reads a symbology's reads by (see ReadingRules), from its decoder.
const ReadingRules& RulesFor(Symbology symbology);

// The accepted read of one pixel string, or None. hitCount counts the reads of the symbologies
// that need more than one hit (the two 2 of 5 decoders); such a read is accepted only once the
// count reaches its hitsNeeded. Each read of a symbology that must repeat on another line is
// added to repeatedReads when given.
SymbolRead RunDecoderChain(std::string_view pixels, int& hitCount,
                           const DecoderChain& chain = symbologyDecoders,
                           std::vector<SymbolRead>* repeatedReads = nullptr);

// Whether the ends of pixels, the dark part of the line at across that begins at along position
// firstDark, meet the rule on that line and on the lines beside it, and whether the end bars go
// on across those lines, as they do at a symbol's ends and not where a line enters bars across
// their tops.
bool HasQuietEnds(const AxisView& view, int lineThreshold, int across, long long firstDark,
                  std::string_view pixels, QuietRule rule = {});

// The base of the threshold ladder from the three mean lines.
int BaseThreshold(int firstMean, int secondMean, int thirdMean);

// The candidate's read, None when nothing reads. Sets lineThreshold for every sampled line and
// marks the candidate's orientation reversed on a reversed read.
SymbolRead DecodeCandidate(const Image& image, Candidate& candidate, int& lineThreshold);
SymbolRead DecodeCandidate(const Image& image, Candidate& candidate, int& lineThreshold,
                           const DecoderChain& chain);

}  // namespace strixa
