// SPDX-License-Identifier: Apache-2.0
#include "read/consolidate.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "decode/dispatcher.h"
#include "decode/sampling.h"
#include "image/axisView.h"
#include "locate/candidate.h"
#include "read/pipeline.h"
#include "symbologies/symbology.h"

namespace strixa {

namespace {

// Whether a candidate lies close enough to the result to join it. The compared coordinate follows
// the candidate's axis: one read along rows sits beside the result on x, one read along columns
// on y.
bool WithinMergeDistance(const Candidate& result, const Candidate& candidate) {
  return IsVertical(candidate.orientation) ? std::abs(candidate.y - result.y) < mergeDistance
                                           : std::abs(candidate.x - result.x) < mergeDistance;
}

// Grows the result towards the candidate: one read along rows extends its height, one read along
// columns its width. The result's own corner never moves.
bool MergeInto(Candidate& result, const Candidate& candidate) {
  if (!WithinMergeDistance(result, candidate)) {
    return false;
  }
  if (!IsVertical(candidate.orientation)) {
    result.height = std::abs(result.y - candidate.y) + candidate.height;
  } else {
    result.width = std::abs(result.x - candidate.x) + candidate.width;
  }
  return true;
}

// Equal texts under different symbologies are different barcodes.
bool SameRead(const Candidate& a, const Candidate& b) {
  return a.symbology == b.symbology && a.text == b.text;
}

// Pixels first to last, both included.
struct Span {
  int first;
  int last;
};

// Pixels between two spans; 0 or less when they share a pixel.
int Gap(Span a, Span b) { return std::max(a.first, b.first) - std::min(a.last, b.last); }

// The threshold the decoder starts from in the box x, y, width, height.
int BoxThreshold(const AxisView& view, int x, int y, int width, int height) {
  return BaseThreshold(LineMean(view, x, y, width, height, 40),
                       LineMean(view, x, y, width, height, 60),
                       LineMean(view, x, y, width, height, 50));
}

// How many bars the line at across crosses from along position span.first to span.last.
int BarsOn(const AxisView& view, int threshold, int across, Span span) {
  std::string pixels;
  if (view.vertical) {
    SampleLine(view, threshold, across, span.first, 0, span.last - span.first, 50, pixels);
  } else {
    SampleLine(view, threshold, span.first, across, span.last - span.first, 0, 50, pixels);
  }
  int bars = 0;
  char previous = '0';
  for (char c : pixels) {
    bars += c == '1' && previous == '0' ? 1 : 0;
    previous = c;
  }
  return bars;
}

// Whether the middle line of the box over two results along spans a and b, on the lines they
// share, holds between their middles a light stretch more than twice as wide as the widest space
// elsewhere: a quiet zone, which parts two symbols and which no symbol holds. A line whose bars
// do not reach both middles counts as parted, unless they all lie inside both spans: then both
// results stand for the same bars, only one box is wider than the symbol.
bool QuietBetween(const Image& image, bool vertical, Span a, Span b, Span shared) {
  const AxisView view{image, vertical};
  const Span whole{std::min(a.first, b.first), std::max(a.last, b.last)};
  const Span middles{std::min(a.first + a.last, b.first + b.last) / 2,
                     std::max(a.first + a.last, b.first + b.last) / 2};
  const int x = vertical ? shared.first : whole.first;
  const int y = vertical ? whole.first : shared.first;
  const int width = vertical ? shared.last - shared.first : whole.last - whole.first;
  const int height = vertical ? whole.last - whole.first : shared.last - shared.first;
  const int threshold = BoxThreshold(view, x, y, width, height);
  std::string pixels;
  const long long firstDark = SampleLine(view, threshold, x, y, width, height, 50, pixels);
  if (pixels.empty()) {
    return true;
  }
  const long long lastDark = firstDark + static_cast<long long>(pixels.size()) - 1;
  if (firstDark > middles.first || lastDark < middles.last) {
    return firstDark < std::max(a.first, b.first) || lastDark > std::min(a.last, b.last);
  }
  long long widestElsewhere = 0;
  long long widestBetween = 0;
  for (std::size_t start = 0; start < pixels.size();) {
    std::size_t end = start;
    while (end < pixels.size() && pixels[end] == pixels[start]) {
      ++end;
    }
    const long long from = firstDark + static_cast<long long>(start);
    const long long to = firstDark + static_cast<long long>(end) - 1;
    if (pixels[start] == '0') {
      long long& widest =
          (to < middles.first || from > middles.last) ? widestElsewhere : widestBetween;
      widest = std::max(widest, to - from + 1);
    }
    start = end;
  }
  return widestBetween > 2 * widestElsewhere;
}

// Whether result lies on the symbol kept was read from (see AppendNewBarcodes), whatever they
// read.
bool OnOneSymbol(const Image& image, const Candidate& kept, const Candidate& result) {
  if (WithinMergeDistance(kept, result)) {
    return true;
  }
  const bool vertical = IsVertical(kept.orientation);
  if (vertical != IsVertical(result.orientation)) {
    return RectanglesOverlap({kept.x, kept.y, kept.width, kept.height},
                             {result.x, result.y, result.width, result.height});
  }
  // Along the read lines, and across them: along the bars.
  const auto along = [&](const Candidate& c) {
    return vertical ? Span{c.y, c.y + c.height} : Span{c.x, c.x + c.width};
  };
  const auto across = [&](const Candidate& c) {
    return vertical ? Span{c.x, c.x + c.width} : Span{c.y, c.y + c.height};
  };
  const int length =
      std::max(along(kept).last - along(kept).first, along(result).last - along(result).first);
  if (Gap(along(kept), along(result)) >= length) {
    return false;
  }
  // One beside the other along the bars: a turned symbol's lines cross its bars at different
  // places, and its bars go on between them, where distinct symbols leave light.
  const int acrossGap = Gap(across(kept), across(result));
  if (acrossGap > 0) {
    if (acrossGap >= length || Gap(along(kept), along(result)) > 0) {
      return false;
    }
    const AxisView view{image, vertical};
    const int threshold = BoxThreshold(view, kept.x, kept.y, kept.width, kept.height);
    const Span whole{std::min(along(kept).first, along(result).first),
                     std::max(along(kept).last, along(result).last)};
    const int gapMiddle = std::min(across(kept).last, across(result).last) + (acrossGap + 1) / 2;
    const int bars = BarsOn(view, threshold, (across(kept).first + across(kept).last) / 2, whole);
    return bars > 0 && 2 * BarsOn(view, threshold, gapMiddle, whole) >= bars;
  }
  // On shared lines: the locator may split a symbol at a wide space, and each piece reads out to
  // the quiet zones, but turned symbols side by side have boxes that overlap too.
  return !QuietBetween(image, vertical, along(kept), along(result),
                       {std::max(across(kept).first, across(result).first),
                        std::min(across(kept).last, across(result).last)});
}

// Whether result is a barcode that kept already stands for (see AppendNewBarcodes).
bool SameBarcode(const Image& image, const Candidate& kept, const Candidate& result) {
  return SameRead(kept, result) && OnOneSymbol(image, kept, result);
}

// 2 of 5 symbols carry no check character, and glare that washes out part of the bars leaves a
// piece that reads as a whole symbol: the last bars of a 0 spell the start, and 1, 5 and 8 begin
// like the short stop. Two reads of one symbol, one of which begins or ends the other, disagree
// on where it starts or stops, and nothing tells which is whole.
bool DisagreeingPieces(const Candidate& a, const Candidate& b) {
  if (a.symbology != b.symbology || a.text == b.text ||
      (a.symbology != Symbology::TwoOfFive && a.symbology != Symbology::InterleavedTwoOfFive)) {
    return false;
  }
  const std::string& shorter = a.text.size() < b.text.size() ? a.text : b.text;
  const std::string& longer = a.text.size() < b.text.size() ? b.text : a.text;
  return longer.starts_with(shorter) || longer.ends_with(shorter);
}

// Removes every result that disagrees with another on the same symbol; both go.
void DropDisagreeingPieces(const Image& image, std::vector<Candidate>& resultList) {
  std::vector<bool> drop(resultList.size(), false);
  for (std::size_t i = 0; i < resultList.size(); ++i) {
    for (std::size_t j = i + 1; j < resultList.size(); ++j) {
      if (DisagreeingPieces(resultList[i], resultList[j]) &&
          OnOneSymbol(image, resultList[i], resultList[j])) {
        drop[i] = true;
        drop[j] = true;
      }
    }
  }
  std::vector<Candidate> kept;
  for (std::size_t i = 0; i < resultList.size(); ++i) {
    if (!drop[i]) {
      kept.push_back(std::move(resultList[i]));
    }
  }
  resultList = std::move(kept);
}

}  // namespace

void ConsolidateResults(const std::vector<Candidate>& candidateList,
                        std::vector<Candidate>& resultList) {
  resultList.clear();
  for (const Candidate& candidate : candidateList) {
    if (candidate.symbology == Symbology::None) {
      continue;
    }
    bool merged = false;
    for (Candidate& result : resultList) {
      if (SameRead(result, candidate) && MergeInto(result, candidate)) {
        merged = true;
        break;
      }
    }
    if (!merged) {
      resultList.push_back(candidate);
    }
  }
}

void AppendNewBarcodes(const Image& image, std::vector<Candidate>& resultList,
                       const std::vector<Candidate>& more) {
  for (const Candidate& result : more) {
    // Only the results kept so far count, so the cost stays one comparison per pair.
    const bool repeated = std::ranges::any_of(
        resultList, [&](const Candidate& kept) { return SameBarcode(image, kept, result); });
    if (!repeated) {
      resultList.push_back(result);
    }
  }
  DropDisagreeingPieces(image, resultList);
}

void DecodeResults(const Image& image, const DecoderChain& chain, Reading& reading) {
  for (Candidate& candidate : reading.candidateList) {
    SymbolRead read = DecodeCandidate(image, candidate, reading.lineThreshold, chain);
    candidate.symbology = read.symbology;
    candidate.text = std::move(read.text);
  }
  std::vector<Candidate> merged;
  ConsolidateResults(reading.candidateList, merged);
  reading.resultList.clear();
  AppendNewBarcodes(image, reading.resultList, merged);
}

}  // namespace strixa
