// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// The accepted result line (label, tab, text) of one pixel string, or "". hitCount counts the
// reads of the two 2 of 5 decoders; such a read is accepted only once it makes the count exceed 2.
// Each of those reads, as a result line, is added to twoOfFiveReads when given.
std::string RunDecoderChain(std::string_view pixels, int& hitCount,
                            const DecoderChain& chain = symbologyDecoders,
                            std::vector<std::string>* twoOfFiveReads = nullptr);

// What a read needs beyond both ends of its line: light of quietNarrows narrow elements (the
// pixels' middle run length), and whether the picture's edge may stand in for it: at either end,
// after any light, or only where the bars run into the edge at both ends at once.
enum class EdgeRule { neither, either, both };
struct QuietRule {
  int quietNarrows = 5;
  EdgeRule edge = EdgeRule::either;
};

// Whether the ends of pixels, the dark part of the line at across that begins at along position
// firstDark, meet the rule on that line and on the lines beside it, and whether the end bars go
// on across those lines, as they do at a symbol's ends and not where a line enters bars across
// their tops.
bool HasQuietEnds(const AxisView& view, int lineThreshold, int across, long long firstDark,
                  std::string_view pixels, QuietRule rule = {});

// The base of the threshold ladder from the three mean lines.
int BaseThreshold(int firstMean, int secondMean, int thirdMean);

// The candidate's result line (label, tab, text) or "" when nothing reads. Sets lineThreshold for
// every sampled line and marks the candidate's orientation reversed on a reversed read.
std::string DecodeCandidate(const Image& image, Candidate& candidate, int& lineThreshold);
std::string DecodeCandidate(const Image& image, Candidate& candidate, int& lineThreshold,
                            const DecoderChain& chain);

}  // namespace strixa
