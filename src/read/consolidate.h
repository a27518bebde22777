// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <vector>

namespace strixa {

struct Candidate;
struct DecoderChain;
struct Image;
struct Reading;

// Two decodings with the same text are one barcode when their positions across the reading
// direction differ by less than this.
inline constexpr int mergeDistance = 50;

// Rebuilds resultList from the decoded candidates (text already set), in list order: a candidate
// joins the first result with its text that lies within mergeDistance, or starts a new one.
void ConsolidateResults(const std::vector<Candidate>& candidateList,
                        std::vector<Candidate>& resultList);

// Appends to resultList each result of more that is not a barcode resultList already holds, in
// order; a result kept keeps its line and rectangle. Two results with the same text are one
// barcode when they would merge as candidates do; when read on different axes, where their
// rectangles overlap or touch; when read on one axis, where they lie less than the longer one's
// length apart and either one beside the other along the bars with bars between them, or on
// shared lines with no quiet zone between them (a symbol the locator split at a wide space).
// Distinct symbols with the same text side by side stay apart. Then two 2 of 5 results lying as
// one barcode, one text beginning or ending the other, are both removed: pieces of a symbol
// without a check character, no telling which is whole.
void AppendNewBarcodes(const Image& image, std::vector<Candidate>& resultList,
                       const std::vector<Candidate>& more);

// Decodes every candidate of reading's candidateList in list order, each starting from the line
// threshold the one before left, and merges decodings of the same barcode into its resultList
// (ConsolidateResults, then AppendNewBarcodes).
void DecodeResults(const Image& image, const DecoderChain& chain, Reading& reading);

}  // namespace strixa
