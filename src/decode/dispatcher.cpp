// SPDX-License-Identifier: Apache-2.0
#include "decode/dispatcher.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <unordered_set>
#include <utility>
#include <vector>

#include "decode/sampling.h"
#include "image/axisView.h"
#include "image/image.h"
#include "locate/candidate.h"
#include "symbologies/code128.h"
#include "symbologies/code39.h"
#include "symbologies/ean13.h"
#include "symbologies/ean8.h"
#include "symbologies/elements.h"
#include "symbologies/interleavedTwoOfFive.h"
#include "symbologies/twoOfFive.h"

namespace strixa {

constexpr DecoderChain symbologyDecoders = {
    DecodeCode128Transmission,  DecodeCode39,    DecodeEan13, DecodeEan8,
    DecodeInterleavedTwoOfFive, DecodeTwoOfFive,
};

namespace {

// Percent of the extent across the bars: the middle first, then ever closer around it, so a
// clean symbol is usually read on the first line.
constexpr std::array<int, 17> scanPositions = {
    50, 40, 60, 20, 80,  // 0-4
    30, 70, 45, 55, 47,  // 5-9
    53, 43, 57, 52, 48,  // 10-14
    35, 65,              // 15-16
};

// Darker and lighter retries around the estimate; never clamped, since a value out of 0..255
// merely turns the whole line light or dark.
constexpr std::array<int, 5> ladderSteps = {0, -13, 13, -25, 25};

constexpr std::string_view ean128Marker = "<EAN128>";

// The 2 of 5 decoders accept noise easily, so one threshold must give three reads.
constexpr int hitsBeforeAccept = 2;

constexpr std::size_t minimumInterleavedDigits = 4;

// Interleaved 2 of 5 has no check character, and a run of a few pairs is what other symbols,
// pieces of longer ones and noise spell most easily; its common uses carry six digits or more.
// A shorter read must therefore come from lines spread over a third of the bars' height, which a
// whole upright symbol gives and a piece seen through one band of the picture does not.
constexpr std::size_t shortInterleavedDigits = 6;
constexpr int shortInterleavedSpreadShare = 3;

// A base outside this range means the means saw no usable contrast.
constexpr int lowestBase = 20;
constexpr int highestBase = 245;
constexpr int fallbackBase = 160;

// A light gap inside a line this many narrow elements wide may end a read; the lines beside it
// must then be light for the second number of them, starting one narrow element in.
constexpr int internalGapNarrows = 5;
constexpr int gapLightNarrows = 3;

// The widest bar, in narrow elements.
constexpr int endBarNarrows = 3;

// How far across, at least, the lines beside a read line lie that must see the same quiet zones.
constexpr int neighbourDistance = 2;

constexpr std::string_view twoOfFiveLabelStart = "2/5";
constexpr std::string_view code39Label = "CODE39\t";
constexpr std::string_view interleavedLabel = "2/5i\t";

// What a read needs beyond the ends of its line; nothing (0 narrows) for EAN-13, whose guards,
// end and check digit already refuse a piece of a longer symbol.
//
// Where a piece of a symbol cannot pass as a whole one, the picture's edge counts as quiet: Code
// 128 has its start, stop and check character, Code 39 its own start and stop character that no
// data character equals, EAN-8 its guards, one set on the left and a check digit. Their light
// only needs to tell the symbol from a neighbour's bars: Code 128 elements are one to four modules,
// so its middle run is often two and two of them about four modules; Code 39, EAN-8 and 2 of 5 ask
// for three narrow elements, about the margin tightly cropped labels keep.
//
// The starts and stops of both 2 of 5 codes are made of elements their digits also spell, so a
// line that enters a symbol at the picture's edge often reads its tail as a shorter symbol: the
// edge stands in for light only where the bars run into it at both ends, as in a symbol cropped
// to its bars. Light before the edge at one end could be one of the symbol's own spaces.
// Interleaved 2 of 5 asks for its own quiet zone of ten narrow elements: a pair that begins like
// the stop (wide bar, narrow space, narrow bar) is followed by at most two wide spaces and three
// narrow elements (nine narrow at the widest ratio of 3) before its next wide bar, and where blur
// has erased the narrow bars between them, that light passes for a shorter quiet zone.
QuietRule QuietRuleFor(std::string_view line) {
  if (line.starts_with("CODE128\t") || line.starts_with("EAN128\t")) {
    return {2, EdgeRule::either};
  }
  if (line.starts_with(code39Label) || line.starts_with("EAN8\t")) {
    return {3, EdgeRule::either};
  }
  if (line.starts_with(interleavedLabel)) {
    return {10, EdgeRule::both};
  }
  if (line.starts_with(twoOfFiveLabelStart)) {
    return {3, EdgeRule::both};
  }
  return {0, EdgeRule::neither};
}

// The middle run length of a line: most elements of a 2 of 5 symbol are narrow, so this is the
// narrow width.
int MedianRunLength(std::string_view pixels) {
  std::vector<std::size_t> lengths = RunLengths(pixels);
  if (lengths.empty()) {
    return 0;
  }
  const auto middle = lengths.begin() + static_cast<std::ptrdiff_t>(lengths.size() / 2);
  std::nth_element(lengths.begin(), middle, lengths.end());
  return static_cast<int>(*middle);
}

}  // namespace

bool HasQuietEnds(const AxisView& view, int lineThreshold, int across, long long firstDark,
                  std::string_view pixels, QuietRule rule) {
  if (pixels.empty()) {
    return false;
  }
  const int narrow = MedianRunLength(pixels);
  const int enough = rule.quietNarrows * narrow;
  const long long lastDark = firstDark + static_cast<long long>(pixels.size()) - 1;
  // A line one narrow element aside leaves the bars well before a real end would show.
  const int aside = std::max(neighbourDistance, narrow);
  // How one end of a line looks from position from outwards: light enough, light up to the
  // picture's edge, or neither. The candidate's edge may cut through the end bar: the quiet zone
  // begins after the bar. A tilted line can leave the bars over their tops, short of the symbol's
  // end; the lines just beside it then stay dark further on. They may find the end bar's edge a
  // pixel off, so they are read from one narrow element out.
  enum class End { busy, barAtEdge, lightToEdge, quiet };
  // skip is how far out from the read line's end a line beside it begins: it needs that much less
  // light, and only the read line itself can tell that its bars run into the picture's edge. Lines
  // further aside than the end bar may be found a pixel off do not step over dark: whatever dark
  // they meet lies beyond the symbol's end.
  const auto endAt = [&](int line, long long from, int step, int skip, bool overEndBar) {
    if (overEndBar) {
      from += static_cast<long long>(step) *
              CountPixels(view, lineThreshold, line, from, step, endBarNarrows * narrow, true);
    }
    const int due = std::max(enough - skip, std::min(enough, aside));
    const int light = CountPixels(view, lineThreshold, line, from, step, due, false);
    if (light >= due) {
      return End::quiet;
    }
    const long long next = from + static_cast<long long>(step) * light;
    if (line < 1 || line > view.AcrossSize() || (next >= 1 && next <= view.AlongSize())) {
      return End::busy;
    }
    return light == 0 && skip == 0 ? End::barAtEdge : End::lightToEdge;
  };
  // Whether the line at across has a dark pixel within distance of along position centre: the
  // end bar of a symbol turned less than 45 degrees goes on there, while a line that enters bars
  // across their tops meets them, on the line beside it, further than distance away.
  const auto darkNear = [&](int line, long long centre, int distance) {
    const long long from = std::max(1LL, centre - distance);
    const long long to = std::min(static_cast<long long>(view.AlongSize()), centre + distance);
    if (from > to) {
      return false;
    }
    const int span = static_cast<int>(to - from + 1);
    return CountPixels(view, lineThreshold, line, from, 1, span, false) < span;
  };
  End first = End::quiet;
  End last = End::quiet;
  for (int side : {0, -aside, aside}) {
    const int skip = side == 0 ? 0 : narrow;
    if (side != 0 &&
        (!darkNear(across + side, firstDark, aside) || !darkNear(across + side, lastDark, aside))) {
      return false;
    }
    first = std::min(first, endAt(across + side, firstDark - 1 - skip, -1, skip, true));
    last = std::min(last, endAt(across + side, lastDark + 1 + skip, 1, skip, true));
  }
  // Further aside, a symbol's end lies less than one pixel out per line for every line aside, as
  // its bars are turned less than 45 degrees from the lines' normal; where a line enters the bars
  // across their long edge, that edge, at right angles to the bars, lies further out on one side.
  // Lines that lie, or begin, outside the picture tell nothing.
  for (int factor : {3, 6}) {
    for (int side : {-factor * aside, factor * aside}) {
      const int line = across + side;
      if (line < 1 || line > view.AcrossSize()) {
        continue;
      }
      const int skip = std::abs(side);
      if (firstDark - 1 - skip >= 1) {
        first = std::min(first, endAt(line, firstDark - 1 - skip, -1, skip, false));
      }
      if (lastDark + 1 + skip <= view.AlongSize()) {
        last = std::min(last, endAt(line, lastDark + 1 + skip, 1, skip, false));
      }
    }
  }
  bool ends = false;
  switch (rule.edge) {
    case EdgeRule::neither:
      ends = first == End::quiet && last == End::quiet;
      break;
    case EdgeRule::either:
      ends = first != End::busy && last != End::busy;
      break;
    case EdgeRule::both:
      ends = (first == End::quiet && last == End::quiet) ||
             (first == End::barAtEdge && last == End::barAtEdge);
      break;
  }
  if (!ends) {
    return false;
  }

  // A decoder may end its read at a wide light gap inside the line, taking it for a quiet zone.
  // A real one is light across the bars' height; where a tilted line left the bars over their
  // tops, one of the lines beside it still crosses bars there.
  const int gapWidth = internalGapNarrows * narrow;
  const int gapLight = gapLightNarrows * narrow;
  std::size_t end = 0;
  for (const std::size_t length : RunLengths(pixels)) {
    const std::size_t start = end;
    end += length;
    if (pixels[start] == '0' && length >= static_cast<std::size_t>(gapWidth)) {
      // The read may lie on either side of the gap, so both of its edges are looked at.
      const long long gapFirst = firstDark + static_cast<long long>(start);
      const long long gapLast = firstDark + static_cast<long long>(end) - 1;
      for (int side : {-aside, aside}) {
        if (CountPixels(view, lineThreshold, across + side, gapFirst + narrow, 1, gapLight, false) <
                gapLight ||
            CountPixels(view, lineThreshold, across + side, gapLast - narrow, -1, gapLight, false) <
                gapLight) {
          return false;
        }
      }
    }
  }
  return true;
}

namespace {

std::string PrefixLabel(std::string_view label, std::string_view text) {
  std::string line;
  line.reserve(label.size() + text.size());
  line.append(label);
  line.append(text);
  return line;
}

}  // namespace

std::string RunDecoderChain(std::string_view pixels, int& hitCount, const DecoderChain& chain,
                            std::vector<std::string>* twoOfFiveReads) {
  const auto hit = [&](std::string_view label, const std::string& read) {
    std::string line = PrefixLabel(label, read);
    if (twoOfFiveReads != nullptr) {
      twoOfFiveReads->push_back(line);
    }
    return ++hitCount > hitsBeforeAccept ? line : std::string{};
  };
  if (std::string read = chain.code128(pixels); !read.empty()) {
    if (read.starts_with(ean128Marker)) {
      return PrefixLabel("EAN128\t", std::string_view(read).substr(ean128Marker.size()));
    }
    return PrefixLabel("CODE128\t", read);
  }
  if (std::string read = chain.code39(pixels); !read.empty()) {
    return PrefixLabel("CODE39\t", read);
  }
  if (std::string read = chain.ean13(pixels); !read.empty()) {
    // UPC-A is EAN-13 with a leading zero, which the UPC-A form does not print.
    if (read.front() == '0') {
      return PrefixLabel("UPC-A\t", std::string_view(read).substr(1));
    }
    return PrefixLabel("EAN13\t", read);
  }
  if (std::string read = chain.ean8(pixels); !read.empty()) {
    return PrefixLabel("EAN8\t", read);
  }
  // A single interleaved pair is seventeen elements, which letters and other symbols spell by
  // chance even past every other test: such a read counts for nothing.
  if (std::string read = chain.interleavedTwoOfFive(pixels);
      read.size() >= minimumInterleavedDigits) {
    if (std::string line = hit("2/5i\t", read); !line.empty()) {
      return line;
    }
  }
  if (std::string read = chain.twoOfFive(pixels); !read.empty()) {
    return hit("2/5\t", read);
  }
  return {};
}

namespace {

// Along positions of a box's lines: the first and the last pixel they sample.
struct AlongSpan {
  int first;
  int last;
};

// Widens span, on the line at across, past bars that lie just beyond either end, out to a light
// stretch twice as wide as the widest space inside it, which no symbol holds but a quiet zone
// is. Each side goes at most twice the span's length.
AlongSpan WidenToQuietZones(const AxisView& view, int threshold, int across, AlongSpan span) {
  std::string pixels;
  const Box line = view.vertical ? Box{across, span.first, 1, span.last - span.first}
                                 : Box{span.first, across, span.last - span.first, 1};
  SampleLine(view, threshold, line.x, line.y, line.width, line.height, 0, pixels);
  // The sampled line begins dark, so its spaces are the runs at odd places.
  int widestSpace = 0;
  const std::vector<std::size_t> runs = RunLengths(pixels);
  for (std::size_t i = 1; i < runs.size(); i += 2) {
    widestSpace = std::max(widestSpace, static_cast<int>(runs[i]));
  }
  const int quiet = std::max(2 * widestSpace, 4);
  const int reach = 2 * (span.last - span.first);
  // From one end outwards: where the last dark pixel lies before a quiet stretch, or from.
  const auto outermostDark = [&](long long from, int step) {
    long long outermost = from - step;
    long long position = from;
    while (std::abs(position - from) < reach) {
      const int light = CountPixels(view, threshold, across, position, step, quiet, false);
      if (light >= quiet) {
        break;
      }
      position += static_cast<long long>(step) * light;
      const int dark = CountPixels(view, threshold, across, position, step, reach, true);
      if (dark == 0) {
        break;  // the picture's edge
      }
      position += static_cast<long long>(step) * dark;
      outermost = position - step;
    }
    return static_cast<int>(outermost);
  };
  return {std::min(span.first, outermostDark(span.first - 1, -1)),
          std::max(span.last, outermostDark(span.last + 1, 1))};
}

// The reads of one threshold that must agree, each with the line it came from.
class AgreeingReads {
 public:
  void Add(std::string line, int across) { reads_.push_back({std::move(line), across}); }
  // Whether line was also read on a line other than the one at across.
  bool ReadElsewhere(std::string_view line, int across) const {
    return std::ranges::any_of(
        reads_, [&](const Read& read) { return read.line == line && read.across != across; });
  }
  // How far apart across the lines lie that read line.
  int Spread(std::string_view line) const {
    int low = INT_MAX;
    int high = INT_MIN;
    for (const Read& read : reads_) {
      if (read.line == line) {
        low = std::min(low, read.across);
        high = std::max(high, read.across);
      }
    }
    return low > high ? 0 : high - low;
  }

 private:
  struct Read {
    std::string line;
    int across;
  };
  std::vector<Read> reads_;
};

}  // namespace

int BaseThreshold(int firstMean, int secondMean, int thirdMean) {
  const int base = (firstMean + secondMean + thirdMean) / 3;
  return base < lowestBase || base > highestBase ? fallbackBase : base;
}

std::string DecodeCandidate(const Image& image, Candidate& candidate, int& lineThreshold) {
  return DecodeCandidate(image, candidate, lineThreshold, symbologyDecoders);
}

std::string DecodeCandidate(const Image& image, Candidate& candidate, int& lineThreshold,
                            const DecoderChain& chain) {
  const int x = candidate.x;
  const int y = candidate.y;
  const int width = candidate.width;
  const int height = candidate.height;
  // Upright bars are read along a row, flat ones down a column.
  const AxisView view{image, IsVertical(candidate.orientation)};
  const int across = view.Across(x, y);
  const int acrossExtent = view.Across(width, height);

  const int base = BaseThreshold(LineMean(view, x, y, width, height, 40),
                                 LineMean(view, x, y, width, height, 60),
                                 LineMean(view, x, y, width, height, 50));

  // One buffer per direction, reused for every line of the candidate.
  std::string pixels;
  std::string reversed;
  // Lines no decoder read either way. On crisp pictures the ladder's thresholds often sample the
  // same line, and the decoders are pure, so such a line would read nothing again: an unreadable
  // candidate then costs one decode per distinct line instead of five.
  std::unordered_set<std::string> unreadLines;
  // Reads the lines through the box boxX, boxY, boxWidth, boxHeight; "" when none is accepted.
  const auto readBox = [&](int boxX, int boxY, int boxWidth, int boxHeight) -> std::string {
    for (int step : ladderSteps) {
      int hitCount = 0;
      std::vector<std::string> twoOfFiveReads;
      // Noise spells short 2 of 5 texts at random, and turns a Code 39 character into another
      // with no check character to notice: such a read must repeat one of this threshold from
      // another line of the picture. Two scan positions can land on the same line, which would
      // only repeat the same pixels.
      AgreeingReads agreeing;
      for (int percentage : scanPositions) {
        lineThreshold = base + step;
        const long long firstDark =
            SampleLine(view, lineThreshold, boxX, boxY, boxWidth, boxHeight, percentage, pixels);
        if (unreadLines.contains(pixels)) {
          continue;
        }
        const int hitsBefore = hitCount;
        const int lineAcross = LinePosition(across, acrossExtent, percentage);
        // A read from a line that stops inside a longer symbol, or at the edge of the picture,
        // may be a piece of it: refuse it and read on. Both directions share the ends.
        const auto accepted = [&](const std::string& line) {
          for (std::string& read : twoOfFiveReads) {
            agreeing.Add(std::move(read), lineAcross);
          }
          twoOfFiveReads.clear();
          if (line.empty()) {
            return false;
          }
          if (line.starts_with(code39Label)) {
            agreeing.Add(line, lineAcross);
          }
          if ((line.starts_with(twoOfFiveLabelStart) || line.starts_with(code39Label)) &&
              !agreeing.ReadElsewhere(line, lineAcross)) {
            return false;
          }
          if (line.starts_with(interleavedLabel) &&
              line.size() < interleavedLabel.size() + shortInterleavedDigits &&
              agreeing.Spread(line) * shortInterleavedSpreadShare < acrossExtent) {
            return false;
          }
          const QuietRule rule = QuietRuleFor(line);
          return rule.quietNarrows == 0 ||
                 HasQuietEnds(view, lineThreshold, lineAcross, firstDark, pixels, rule);
        };
        const std::string forwards = RunDecoderChain(pixels, hitCount, chain, &twoOfFiveReads);
        if (accepted(forwards)) {
          return forwards;
        }
        reversed.assign(pixels.rbegin(), pixels.rend());
        const std::string backwards = RunDecoderChain(reversed, hitCount, chain, &twoOfFiveReads);
        if (accepted(backwards)) {
          // Reversed stays on the candidate's own axis, and a second decode leaves it reversed.
          candidate.orientation = Reversed(candidate.orientation);
          return backwards;
        }
        // A line that read something must be read again: the same text may yet count.
        if (hitCount == hitsBefore && forwards.empty() && backwards.empty()) {
          unreadLines.insert(pixels);
        }
      }
    }
    return {};
  };
  if (std::string line = readBox(x, y, width, height); !line.empty()) {
    return line;
  }
  // The locator takes a wide space inside a symbol for a quiet zone, so the box may cut a symbol
  // short. Where bars lie just beyond it, its lines are read once more out to the quiet zones;
  // the candidate keeps its own box.
  const AlongSpan span{view.Along(x, y), view.Along(x, y) + view.Along(width, height)};
  const AlongSpan widened =
      WidenToQuietZones(view, base, LinePosition(across, acrossExtent, 50), span);
  if (widened.first == span.first && widened.last == span.last) {
    return {};
  }
  const int length = widened.last - widened.first;
  return view.vertical ? readBox(x, widened.first, width, length)
                       : readBox(widened.first, y, length, height);
}

}  // namespace strixa
