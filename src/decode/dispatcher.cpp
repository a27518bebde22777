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
#include "symbologies/symbology.h"
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

// A base outside this range means the means saw no usable contrast.
constexpr int lowestBase = 20;
constexpr int highestBase = 245;
constexpr int fallbackBase = 160;

// The lines beside a light gap inside the line (see QuietRule) must be light for this many narrow
// elements, starting one narrow element in, or for all of a narrower gap but a narrow element at
// each edge.
constexpr int gapLightNarrows = 3;

// The widest bar, in narrow elements.
constexpr int endBarNarrows = 3;

// How far across, at least, the lines beside a read line lie that must see the same quiet zones.
constexpr int neighbourDistance = 2;

// Whether the bars at both ends of pixels are wide and, a pixel of sampling aside, as wide as the
// widest bar between them: a bar the picture's edge cut short is narrower.
bool HasWholeWideEndBars(std::string_view pixels) {
  const std::vector<std::size_t> runs = RunLengths(pixels);
  if (runs.size() < 3) {
    return false;
  }
  std::size_t widest = 0;
  for (std::size_t i = 2; i + 1 < runs.size(); i += 2) {
    widest = std::max(widest, runs[i]);
  }
  const std::size_t narrow = MedianOf(runs);
  return widest > narrow && runs.front() + 1 >= widest && runs.back() + 1 >= widest &&
         runs.front() > narrow && runs.back() > narrow;
}

// The widest light run of pixels, which begins and ends dark.
int WidestSpace(std::string_view pixels) {
  std::size_t widest = 0;
  std::size_t end = 0;
  for (const std::size_t length : RunLengths(pixels)) {
    if (pixels[end] == '0') {
      widest = std::max(widest, length);
    }
    end += length;
  }
  return static_cast<int>(widest);
}

}  // namespace

bool HasQuietEnds(const AxisView& view, int lineThreshold, int across, long long firstDark,
                  std::string_view pixels, QuietRule rule) {
  if (pixels.empty()) {
    return false;
  }
  const int narrow = static_cast<int>(MedianOf(RunLengths(pixels)));
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
  // The least light any line saw between the bars and the picture's edge, at either end.
  int shortestLightToEdge = INT_MAX;
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
    if (light == 0 && skip == 0) {
      return End::barAtEdge;
    }
    shortestLightToEdge = std::min(shortestLightToEdge, skip + light);
    return End::lightToEdge;
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
    case EdgeRule::bothWideBars:
      ends = (first == End::quiet && last == End::quiet) ||
             (first == End::barAtEdge && last == End::barAtEdge &&
              (rule.edge == EdgeRule::both || HasWholeWideEndBars(pixels)));
      // Where the picture's edge cuts a symbol inside a space, the light left before the edge is
      // at most that space; light a narrow element wider than any space of the line is a margin.
      if (rule.edge == EdgeRule::both && !ends && first >= End::lightToEdge &&
          last >= End::lightToEdge) {
        ends = shortestLightToEdge >= WidestSpace(pixels) + narrow;
      }
      break;
  }
  if (!ends) {
    return false;
  }

  // A decoder may end its read at a wide light gap inside the line, taking it for a quiet zone.
  // A real one is light across the bars' height; where a tilted line left the bars over their
  // tops, one of the lines beside it still crosses bars there.
  const int gapWidth = rule.gapNarrows * narrow;
  std::size_t end = 0;
  for (const std::size_t length : RunLengths(pixels)) {
    const std::size_t start = end;
    end += length;
    if (pixels[start] == '0' && length >= static_cast<std::size_t>(gapWidth)) {
      const int gapLight =
          std::min(gapLightNarrows * narrow, static_cast<int>(length) - 2 * narrow);
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

const ReadingRules& RulesFor(Symbology symbology) {
  switch (symbology) {
    case Symbology::Code128:
    case Symbology::Ean128:
      return code128Rules;
    case Symbology::Code39:
      return code39Rules;
    case Symbology::Ean13:
    case Symbology::UpcA:
      return ean13Rules;
    case Symbology::Ean8:
      return ean8Rules;
    case Symbology::InterleavedTwoOfFive:
      return interleavedTwoOfFiveRules;
    case Symbology::TwoOfFive:
      return twoOfFiveRules;
    case Symbology::None:
      break;
  }
  static constexpr ReadingRules none;
  return none;
}

SymbolRead ClassifyRead(Symbology decoder, std::string_view read) {
  if (decoder == Symbology::Code128 && read.starts_with(ean128Marker)) {
    return {Symbology::Ean128, std::string(read.substr(ean128Marker.size()))};
  }
  if (decoder == Symbology::Ean13 && read.starts_with('0')) {
    return {Symbology::UpcA, std::string(read.substr(1))};
  }
  return {decoder, std::string(read)};
}

SymbolRead RunDecoderChain(std::string_view pixels, int& hitCount, const DecoderChain& chain,
                           std::vector<SymbolRead>* repeatedReads) {
  const std::pair<Symbology, DecoderChain::Decoder> decoders[] = {
      {Symbology::Code128, chain.code128},
      {Symbology::Code39, chain.code39},
      {Symbology::Ean13, chain.ean13},
      {Symbology::Ean8, chain.ean8},
      {Symbology::InterleavedTwoOfFive, chain.interleavedTwoOfFive},
      {Symbology::TwoOfFive, chain.twoOfFive},
  };
  for (const auto& [symbology, decoder] : decoders) {
    const ReadingRules& rules = RulesFor(symbology);
    std::string text = decoder(pixels);
    if (text.size() < rules.minimumLength) {
      continue;
    }
    SymbolRead read = ClassifyRead(symbology, text);
    if (rules.mustRepeat && repeatedReads != nullptr) {
      repeatedReads->push_back(read);
    }
    // A counted read that does not yet reach the count leaves the line to the next decoder.
    if (rules.hitsNeeded > 1 && ++hitCount < rules.hitsNeeded) {
      continue;
    }
    return read;
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

// The reads of one threshold that must repeat, each with the line it came from.
class AgreeingReads {
 public:
  void Add(const SymbolRead& read, int across, bool backwards) {
    reads_.push_back({read, across, backwards});
  }
  // Whether read also came from a line other than the one at across.
  bool ReadElsewhere(const SymbolRead& read, int across) const {
    return std::ranges::any_of(reads_, [&](const Entry& entry) {
      return Same(entry.read, read) && entry.across != across;
    });
  }
  // Whether a line read the same way gave a different text of the same length: noise turned a
  // character on one of them, and repeats cannot tell which, since the lines of a tilted symbol
  // drawn on few pixels repeat the same turn every few rows. Read the other way, the same bars
  // may spell another text.
  bool Contradicted(const SymbolRead& read, bool backwards) const {
    return std::ranges::any_of(reads_, [&](const Entry& entry) {
      return entry.backwards == backwards && entry.read.symbology == read.symbology &&
             entry.read.text != read.text && entry.read.text.size() == read.text.size();
    });
  }
  // How far apart across the lines lie that gave read.
  int Spread(const SymbolRead& read) const {
    int low = INT_MAX;
    int high = INT_MIN;
    for (const Entry& entry : reads_) {
      if (Same(entry.read, read)) {
        low = std::min(low, entry.across);
        high = std::max(high, entry.across);
      }
    }
    return low > high ? 0 : high - low;
  }

 private:
  struct Entry {
    SymbolRead read;
    int across;
    bool backwards;
  };
  static bool Same(const SymbolRead& a, const SymbolRead& b) {
    return a.symbology == b.symbology && a.text == b.text;
  }
  std::vector<Entry> reads_;
};

// Reads one candidate: each box through the threshold ladder, each threshold over the scan
// positions, each line forwards and backwards, until the rules of a read's symbology accept it.
class CandidateReader {
 public:
  CandidateReader(const Image& image, Candidate& candidate, int& lineThreshold,
                  const DecoderChain& chain)
      : candidate_(candidate),
        lineThreshold_(lineThreshold),
        chain_(chain),
        // Upright bars are read along a row, flat ones down a column.
        view_{image, IsVertical(candidate.orientation)},
        across_(view_.Across(candidate.x, candidate.y)),
        acrossExtent_(view_.Across(candidate.width, candidate.height)),
        base_(BaseThreshold(
            LineMean(view_, candidate.x, candidate.y, candidate.width, candidate.height, 40),
            LineMean(view_, candidate.x, candidate.y, candidate.width, candidate.height, 60),
            LineMean(view_, candidate.x, candidate.y, candidate.width, candidate.height, 50))) {}

  // The candidate's own box, then, where bars lie just beyond it, the box widened to them.
  SymbolRead Read() {
    const Box box{candidate_.x, candidate_.y, candidate_.width, candidate_.height};
    if (SymbolRead read = ReadBox(box); read.symbology != Symbology::None) {
      return read;
    }
    return ReadWidened(box);
  }

 private:
  // What one threshold has read so far, over all its lines.
  struct ThresholdReads {
    int hitCount = 0;
    // The reads of the line just decoded that must repeat, not yet filed in agreeing.
    std::vector<SymbolRead> repeatedReads;
    AgreeingReads agreeing;
  };
  // Where the line last sampled lies: its first dark pixel along it, and the line across.
  struct Line {
    long long firstDark = 0;
    int across = 0;
  };

  SymbolRead ReadBox(const Box& box) {
    for (int step : ladderSteps) {
      if (SymbolRead read = ReadThreshold(box, base_ + step); read.symbology != Symbology::None) {
        return read;
      }
    }
    return {};
  }

  // Noise spells short 2 of 5 texts at random, and turns a Code 39 character into another with no
  // check character to notice: such a read must repeat one of this threshold from another line of
  // the picture. Two scan positions can land on the same line, which would only repeat the same
  // pixels.
  SymbolRead ReadThreshold(const Box& box, int threshold) {
    ThresholdReads reads;
    for (int percentage : scanPositions) {
      lineThreshold_ = threshold;
      const Line line{
          SampleLine(view_, threshold, box.x, box.y, box.width, box.height, percentage, pixels_),
          LinePosition(across_, acrossExtent_, percentage)};
      if (unreadLines_.contains(pixels_)) {
        continue;
      }
      if (SymbolRead read = ReadLine(line, reads); read.symbology != Symbology::None) {
        return read;
      }
    }
    return {};
  }

  // The sampled line read forwards, then backwards.
  SymbolRead ReadLine(const Line& line, ThresholdReads& reads) {
    const int hitsBefore = reads.hitCount;
    SymbolRead forwards = RunDecoderChain(pixels_, reads.hitCount, chain_, &reads.repeatedReads);
    if (Accepts(forwards, line, false, reads)) {
      return forwards;
    }
    reversed_.assign(pixels_.rbegin(), pixels_.rend());
    SymbolRead backwards = RunDecoderChain(reversed_, reads.hitCount, chain_, &reads.repeatedReads);
    if (Accepts(backwards, line, true, reads)) {
      // Reversed stays on the candidate's own axis, and a second decode leaves it reversed.
      candidate_.orientation = Reversed(candidate_.orientation);
      return backwards;
    }
    // A line that read something must be read again: the same text may yet count.
    if (reads.hitCount == hitsBefore && forwards.symbology == Symbology::None &&
        backwards.symbology == Symbology::None) {
      unreadLines_.insert(pixels_);
    }
    return {};
  }

  // Whether read's rules accept it from line. A read from a line that stops inside a longer
  // symbol, or at the edge of the picture, may be a piece of it: refuse it and read on. Both
  // directions share the ends.
  bool Accepts(const SymbolRead& read, const Line& line, bool backwards,
               ThresholdReads& reads) const {
    for (const SymbolRead& repeated : reads.repeatedReads) {
      reads.agreeing.Add(repeated, line.across, backwards);
    }
    reads.repeatedReads.clear();
    if (read.symbology == Symbology::None) {
      return false;
    }
    const ReadingRules& rules = RulesFor(read.symbology);
    if (rules.mustRepeat && (!reads.agreeing.ReadElsewhere(read, line.across) ||
                             reads.agreeing.Contradicted(read, backwards))) {
      return false;
    }
    const bool spread = reads.agreeing.Spread(read) * rules.spreadShare >= acrossExtent_;
    if (read.text.size() < rules.spreadBelowLength && !spread) {
      return false;
    }
    QuietRule quiet = rules.quiet;
    if (read.text.size() < rules.edgeFromLength || (rules.edgeNeedsSpread && !spread)) {
      quiet.edge = EdgeRule::neither;
    }
    return quiet.quietNarrows == 0 ||
           HasQuietEnds(view_, lineThreshold_, line.across, line.firstDark, pixels_, quiet);
  }

  // The locator takes a wide space inside a symbol for a quiet zone, so the box may cut a symbol
  // short. Where bars lie just beyond it, its lines are read once more out to the quiet zones;
  // the candidate keeps its own box.
  SymbolRead ReadWidened(const Box& box) {
    const AlongSpan span{view_.Along(box.x, box.y),
                         view_.Along(box.x, box.y) + view_.Along(box.width, box.height)};
    const AlongSpan widened =
        WidenToQuietZones(view_, base_, LinePosition(across_, acrossExtent_, 50), span);
    if (widened.first == span.first && widened.last == span.last) {
      return {};
    }
    const int length = widened.last - widened.first;
    return ReadBox(view_.vertical ? Box{box.x, widened.first, box.width, length}
                                  : Box{widened.first, box.y, length, box.height});
  }

  Candidate& candidate_;
  int& lineThreshold_;
  const DecoderChain& chain_;
  const AxisView view_;
  const int across_;
  const int acrossExtent_;
  const int base_;
  // One buffer per direction, reused for every line of the candidate.
  std::string pixels_;
  std::string reversed_;
  // Lines no decoder read either way. On crisp pictures the ladder's thresholds often sample the
  // same line, and the decoders are pure, so such a line would read nothing again: an unreadable
  // candidate then costs one decode per distinct line instead of five.
  std::unordered_set<std::string> unreadLines_;
};

}  // namespace

int BaseThreshold(int firstMean, int secondMean, int thirdMean) {
  const int base = (firstMean + secondMean + thirdMean) / 3;
  return base < lowestBase || base > highestBase ? fallbackBase : base;
}

SymbolRead DecodeCandidate(const Image& image, Candidate& candidate, int& lineThreshold) {
  return DecodeCandidate(image, candidate, lineThreshold, symbologyDecoders);
}

SymbolRead DecodeCandidate(const Image& image, Candidate& candidate, int& lineThreshold,
                           const DecoderChain& chain) {
  return CandidateReader(image, candidate, lineThreshold, chain).Read();
}

}  // namespace strixa
