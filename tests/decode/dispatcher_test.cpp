// SPDX-License-Identifier: Apache-2.0
#include "decode/dispatcher.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "image/axisView.h"
#include "image/image.h"
#include "locate/candidate.h"
#include "support/builders.h"
#include "support/twoOfFiveEncoder.h"
#include "symbologies/code128.h"
#include "symbologies/code39.h"
#include "symbologies/ean13.h"
#include "symbologies/ean8.h"
#include "symbologies/interleavedTwoOfFive.h"
#include "symbologies/symbology.h"
#include "symbologies/twoOfFive.h"

namespace strixa {

namespace {

using enum Orientation;

// Stand-in decoders: the chain's rules must hold whatever the real decoders read.
std::string Refuse(std::string_view) { return {}; }
std::string Echo(std::string_view pixels) { return std::string(pixels); }
std::string ReadIfLeadingPair(std::string_view pixels) {
  return pixels.starts_with("11") ? std::string(pixels) : "";
}

// One character per slot, in chain order: 'E' echoes the line, '.' refuses.
DecoderChain MakeChain(std::string_view slots) {
  const auto pick = [&](std::size_t i) { return slots[i] == 'E' ? &Echo : &Refuse; };
  return {pick(0), pick(1), pick(2), pick(3), pick(4), pick(5)};
}

// What one candidate read gave, and where its threshold and orientation ended.
struct Read {
  std::string text;
  int lineThreshold;
  Orientation orientation;
};

// The result line of a read, "" for none.
std::string Line(const SymbolRead& read) {
  return read.symbology == Symbology::None ? "" : ResultLine(read.symbology, read.text);
}

Read Decode(const Image& image, Candidate candidate, const DecoderChain& chain) {
  int lineThreshold = 0;
  const SymbolRead read = DecodeCandidate(image, candidate, lineThreshold, chain);
  return {Line(read), lineThreshold, candidate.orientation};
}

// EAN-13 reads need no quiet zones beside the line, so any picture serves.
DecoderChain ChainWithEan13(DecoderChain::Decoder decoder) {
  DecoderChain chain = MakeChain("......");
  chain.ean13 = decoder;
  return chain;
}

TEST(DispatcherTest, DecoderChainLabelsAndOrdersReads) {
  struct Case {
    std::string_view slots;
    std::string pixels;
    int hitCountBefore;
    std::string expected;
    int hitCountAfter;
  };
  const Case cases[] = {
      {"E.....", "ABC", 0, "CODE128\tABC", 0},
      {"E.....", "<EAN128>0123", 0, "EAN128\t0123", 0},
      {"E.....", "<EAN128>", 0, "EAN128\t", 0},
      {"E.....", "<EAN128", 0, "CODE128\t<EAN128", 0},
      {".E....", "CODE-39", 0, "CODE39\tCODE-39", 0},
      {"..E...", "4006381 333931", 0, "EAN13\t4006381 333931", 0},
      {"..E...", "0036000 291452", 0, "UPC-A\t036000 291452", 0},
      {"...E..", "9638 5074", 0, "EAN8\t9638 5074", 0},
      {"EEEEEE", "0123", 0, "CODE128\t0123", 0},
      {".EE...", "0123", 0, "CODE39\t0123", 0},
      {"..EE..", "0123", 0, "UPC-A\t123", 0},
      {"...EEE", "0123", 2, "EAN8\t0123", 2},
      {"......", "0123", 0, "", 0},
      {"EEEEEE", "", 0, "", 0},
      // The 2 of 5 pair counts every read and accepts only the one that makes three.
      {"....E.", "1234", 0, "", 1},
      {".....E", "1234", 1, "", 2},
      {"....E.", "1234", 2, "2/5i\t1234", 3},
      {".....E", "1234", 2, "2/5\t1234", 3},
      {"....EE", "1234", 0, "", 2},
      {"....EE", "1234", 1, "2/5\t1234", 3},
      // One interleaved pair is no hit; plain 2 of 5 may still read the line, from three digits.
      {"....E.", "12", 2, "", 2},
      {"....EE", "123", 2, "2/5\t123", 3},
      {".....E", "12", 2, "", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.slots << " " << c.pixels << " " << c.hitCountBefore);
    int hitCount = c.hitCountBefore;
    EXPECT_EQ(Line(RunDecoderChain(c.pixels, hitCount, MakeChain(c.slots))), c.expected);
    EXPECT_EQ(hitCount, c.hitCountAfter);
  }
}

// UPC-A and EAN-128 are read by the decoders of EAN-13 and Code 128, and by their rules: a read
// under another symbology's rules would skip its quiet zones or its repeats.
TEST(DispatcherTest, EachSymbologyIsReadByItsDecodersRules) {
  struct Case {
    Symbology symbology;
    const ReadingRules* rules;
  };
  const Case cases[] = {
      {Symbology::Ean13, &ean13Rules},
      {Symbology::UpcA, &ean13Rules},
      {Symbology::Ean8, &ean8Rules},
      {Symbology::Code128, &code128Rules},
      {Symbology::Ean128, &code128Rules},
      {Symbology::Code39, &code39Rules},
      {Symbology::TwoOfFive, &twoOfFiveRules},
      {Symbology::InterleavedTwoOfFive, &interleavedTwoOfFiveRules},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(SymbologyLabel(c.symbology));
    EXPECT_EQ(&RulesFor(c.symbology), c.rules);
  }
}

TEST(DispatcherTest, ThirdTwoOfFiveHitWinsEvenWithADifferentText) {
  const DecoderChain chain = MakeChain(".....E");
  int hitCount = 0;
  EXPECT_EQ(Line(RunDecoderChain("123", hitCount, chain)), "");
  EXPECT_EQ(Line(RunDecoderChain("345", hitCount, chain)), "");
  EXPECT_EQ(Line(RunDecoderChain("567", hitCount, chain)), "2/5	567");
}

TEST(DispatcherTest, BaseThresholdFallsBackOutsideTwentyTo245) {
  const std::array<int, 4> cases[] = {
      {152, 152, 152, 152}, {100, 101, 101, 100}, {21, 20, 19, 20},     {19, 20, 20, 160},
      {0, 0, 0, 160},       {245, 245, 245, 245}, {246, 246, 245, 245}, {246, 246, 246, 160},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c[0] << " " << c[1] << " " << c[2]);
    EXPECT_EQ(BaseThreshold(c[0], c[1], c[2]), c[3]);
  }
}

// Black bars 4 pixels wide and 4 apart in columns 100..295, rows 50..129, on white; with
// flatBars the same picture with rows and columns exchanged.
Image MakeBarPicture(bool flatBars) {
  Image image = flatBars ? MakeBlankImage(200, 400) : MakeBlankImage(400, 200);
  constexpr std::string_view bars = "1010101010101010101010101010101010101010101010101";
  DrawBars(image, bars, 4, flatBars ? 50 : 100, flatBars ? 100 : 50, 80, flatBars);
  return image;
}

// Row 1 + p holds p black pixels from column margin + 1, so a line's length is its percentage of
// the candidate (margin + 1, 1, 100, 100). The margin leaves light on both sides of every line.
Image MakePercentagePicture(int margin = 0) {
  Image image = MakeBlankImage(101 + 2 * margin, 102);
  // Row 1 holds the first step too, so every line's ends go on in the lines beside it.
  FillRect(image, margin + 1, 1, 1, 1, 0);
  for (int p = 1; p <= 100; ++p) {
    FillRect(image, margin + 1, 1 + p, p, 1, 0);
  }
  return image;
}

// count rows of `width` pixels of grey, then one pixel of grey last.
Image MakeGreyPicture(int count, int width, int grey, int last) {
  Image image = MakeBlankImage(width + 1, count, static_cast<std::uint8_t>(grey));
  FillRect(image, width + 1, 1, 1, count, static_cast<std::uint8_t>(last));
  return image;
}

TEST(DispatcherTest, FirstLineUsesTheBaseThreshold) {
  struct Case {
    std::string_view name;
    Image image;
    Candidate candidate;
    int expectedThreshold;
  };
  // Echo reads the first non-empty line, so lineThreshold tells where reading stopped.
  const Case cases[] = {
      {"bar picture", MakeBarPicture(false), {59, 41, 294, 90, Horizontal, ""}, 152},
      {"flat bar picture", MakeBarPicture(true), {41, 59, 90, 294, Vertical, ""}, 152},
      // Rows 41, 61 and 51 hold 40, 60 and 50 black pixels of 101: means 140, 94 and 117.
      {"three different means", MakePercentagePicture(), {1, 1, 100, 100, Horizontal, ""}, 117},
      // 100 x 22 + 0 over 100 is 22, and 19.8 rounds to 20.
      {"mean 20 is kept", MakeGreyPicture(11, 100, 22, 0), {1, 1, 100, 10, Horizontal, ""}, 20},
      // 10 x 255 + 175 over 10 is 272, and 244.8 rounds to 245.
      {"mean 245 is kept", MakeGreyPicture(11, 10, 255, 175), {1, 1, 10, 10, Horizontal, ""}, 245},
      // 273 gives 246: the ladder 160, 147, 173, 135 sees grey 180 as light, 185 as dark.
      {"mean 246 falls back",
       MakeGreyPicture(11, 10, 255, 180),
       {1, 1, 10, 10, Horizontal, ""},
       185},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Read read = Decode(c.image, c.candidate, MakeChain("..E..."));
    EXPECT_NE(read.text, "");
    EXPECT_EQ(read.lineThreshold, c.expectedThreshold);
  }
}

// Reads the threshold off a ramp line ("1" per grey value up to it) unless it was refused.
template <int... refused>
std::string ReadThresholdUnless(std::string_view pixels) {
  const int threshold = static_cast<int>(pixels.size()) - 1;
  return ((threshold == refused) || ...) ? "" : std::to_string(threshold);
}

TEST(DispatcherTest, ThresholdLadderRunsDarkerAndLighterInTurn) {
  // Columns 1..256 hold grey 0..255, then 122 white columns: the mean 169 gives 152.
  Image ramp = MakeBlankImage(378, 12);
  for (int grey = 0; grey <= 255; ++grey) {
    FillRect(ramp, grey + 1, 1, 1, 12, static_cast<std::uint8_t>(grey));
  }
  struct Case {
    DecoderChain::Decoder decoder;
    std::string_view expected;
    int lastThreshold;
  };
  const Case cases[] = {
      {&ReadThresholdUnless<>, "EAN13\t152", 152},
      {&ReadThresholdUnless<152>, "EAN13\t139", 139},
      {&ReadThresholdUnless<152, 139>, "EAN13\t165", 165},
      {&ReadThresholdUnless<152, 139, 165>, "EAN13\t127", 127},
      {&ReadThresholdUnless<152, 139, 165, 127>, "EAN13\t177", 177},
      {&ReadThresholdUnless<152, 139, 165, 127, 177>, "", 177},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    const Read read = Decode(ramp, {1, 1, 377, 10, Horizontal, ""}, ChainWithEan13(c.decoder));
    EXPECT_EQ(read.text, c.expected);
    EXPECT_EQ(read.lineThreshold, c.lastThreshold);
    EXPECT_EQ(read.orientation, Horizontal);
  }
}

constexpr std::array<int, 17> lineOrder = {50, 40, 60, 20, 80, 30, 70, 45, 55,
                                           47, 53, 43, 57, 52, 48, 35, 65};

// Reads the line's percentage unless it is one of the first `skipped` of the line order.
template <std::size_t skipped>
std::string ReadPercentageAfter(std::string_view pixels) {
  const int percentage = static_cast<int>(pixels.size());
  for (std::size_t i = 0; i < skipped; ++i) {
    if (lineOrder[i] == percentage) {
      return {};
    }
  }
  return std::to_string(percentage);
}

TEST(DispatcherTest, LinesFollowTheScanPositions) {
  const Image picture = MakePercentagePicture();
  const auto readers = []<std::size_t... k>(std::index_sequence<k...>) {
    return std::array{&ReadPercentageAfter<k>...};
  }
  (std::make_index_sequence<18>{});
  for (std::size_t k = 0; k < readers.size(); ++k) {
    SCOPED_TRACE(k);
    const std::string expected =
        k < lineOrder.size() ? "EAN13\t" + std::to_string(lineOrder[k]) : "";
    EXPECT_EQ(Decode(picture, {1, 1, 100, 100, Horizontal, ""}, ChainWithEan13(readers[k])).text,
              expected);
  }
}

std::string HitAtHalf(std::string_view pixels) { return pixels.size() == 50 ? "fifty" : ""; }
// Six digits: a shorter read would need lines further apart than 40 and 50.
std::string HitFortyOrFifty(std::string_view pixels) {
  return pixels.size() == 50 || pixels.size() == 40 ? "123456" : "";
}
std::string HitAtHalfOrForty(std::string_view pixels) {
  return pixels.size() == 50 || pixels.size() == 40 ? std::to_string(pixels.size()) : "";
}

TEST(DispatcherTest, TwoOfFiveNeedsThreeHitsWithinOneThreshold) {
  struct Case {
    std::string_view name;
    DecoderChain::Decoder interleaved, twoOfFive;
    std::string_view expected;
    Orientation orientation;
    int margin = 500;
  };
  const Case cases[] = {
      {"two hits per threshold never add up", &Refuse, &HitAtHalf, "", Horizontal},
      {"interleaved alone, two per threshold", &HitAtHalf, &Refuse, "", Horizontal},
      // 50 forwards and backwards are one line; 40 repeats its text from another.
      {"third hit repeats a read of another line", &Refuse, &HitFortyOrFifty, "2/5\t123456",
       Horizontal},
      {"the only repeat is on the same line", &Refuse, &HitAtHalfOrForty, "", Horizontal},
      // The lines begin at the picture's edge and end in light up to the other edge.
      {"no quiet zone before the edge", &Refuse, &HitFortyOrFifty, "", Horizontal, 0},
      {"a quiet zone too narrow", &Refuse, &HitFortyOrFifty, "", Horizontal, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DecoderChain chain = MakeChain("......");
    chain.interleavedTwoOfFive = c.interleaved;
    chain.twoOfFive = c.twoOfFive;
    const Read read =
        Decode(MakePercentagePicture(c.margin), {c.margin + 1, 1, 100, 100, Horizontal, ""}, chain);
    EXPECT_EQ(read.text, c.expected);
    EXPECT_EQ(read.orientation, c.orientation);
  }
}

// Where the bars reach the picture's edge at one end only, a read may be a piece of something
// beyond it: the codes whose starts and stops their data also spell need light there, or the
// edge at both ends; the others have checks of their own and take the edge for a quiet zone.
// Plain 2 of 5 takes both edges only with wide bars there, and "#.##" begins with a narrow one;
// interleaved 2 of 5 only for six characters and more, and the echo reads four.
TEST(DispatcherTest, ReadsThatCanBePiecesNeedQuietEnds) {
  const struct {
    std::string_view slots;
    bool readsAtOneEdge;
    bool readsAtBothEdges = true;
  } cases[] = {
      {"E.....", true}, {".E....", true},         {"..E...", true},
      {"...E..", true}, {"....E.", false, false}, {".....E", false, false},
  };
  const auto read = [](int left, int right, std::string_view slots) {
    const std::string row = std::string(left, '.') + "#.##" + std::string(right, '.');
    // The 2 of 5 codes need three reads of one threshold, so each row gives one.
    const Image image = MakeImage(std::vector<std::string>(40, row));
    return Decode(image, {1, 1, 3 + left + right, 39, Horizontal, ""}, MakeChain(slots)).text;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.slots);
    EXPECT_EQ(!read(0, 20, c.slots).empty(), c.readsAtOneEdge);
    EXPECT_EQ(!read(0, 0, c.slots).empty(), c.readsAtBothEdges);
    EXPECT_FALSE(read(12, 12, c.slots).empty());
  }
}

TEST(DispatcherTest, QuietEndsNeedFiveNarrowsOfLightOnTheLineAndBesideIt) {
  // The line is row 3, "#.#" from column 7: narrow 1, so five light pixels are due each side.
  const std::string line = "......#.#......";
  const std::string light(line.size(), '.');
  constexpr QuietRule noEdge{5, EdgeRule::neither};
  constexpr QuietRule edgeEither{5, EdgeRule::either};
  constexpr QuietRule edgeBoth{5, EdgeRule::both};
  struct Case {
    std::string_view name;
    std::vector<std::string> rows;
    long long firstDark;
    QuietRule rule;
    bool expected;
  };
  const Case cases[] = {
      {"quiet on all three lines", {line, line, line, line, line}, 7, noEdge, true},
      {"a bar beside sits a pixel off",
       {".......#.#.....", line, line, line, line},
       7,
       noEdge,
       true},
      // Read from one narrow element out, the line beside needs four light pixels, not five.
      {"a bar beside sits a pixel out, four light before a mark",
       {"#....#.#.......", line, line, line, line},
       7,
       noEdge,
       true},
      {"a dark pixel in the right zone",
       {line, line, "......#.#....#.", line, line},
       7,
       noEdge,
       false},
      {"the line beside runs on in bars",
       {"......#.#.#.#.#", line, line, line, line},
       7,
       noEdge,
       false},
      {"the line beside begins earlier",
       {line, line, line, line, "..#.#.#.#......"},
       7,
       noEdge,
       false},
      {"no line beside inside the picture", {line, line, line}, 7, noEdge, false},
      // The line begins at column 7, inside a bar cut by the candidate's edge.
      {"the end bar runs on beyond the line",
       {line, line, ".....##.#......", line, line},
       7,
       noEdge,
       true},
      {"a dark run longer than a bar",
       {line, line, "..#####.#......", line, line},
       7,
       noEdge,
       false},
      // A line entering bars across their tops: the line above it meets no bar near its ends.
      {"a line crossing the bars' long edge", {light, light, line, line, line}, 7, noEdge, false},
      // Four light pixels, then the picture's edge.
      {"near the left edge, edge not quiet",
       {line, line, "....#.#......", line, line},
       5,
       noEdge,
       false},
      {"near the left edge, edge quiet",
       {line, line, "....#.#......", line, line},
       5,
       edgeEither,
       true},
      {"a space's width of light, then the edge at one end, both asked for",
       {".#.#.......", ".#.#.......", ".#.#.......", ".#.#.......", ".#.#......."},
       2,
       edgeBoth,
       false},
      {"at the edge at both ends", {"#.#", "#.#", "#.#", "#.#", "#.#"}, 1, edgeBoth, true},
      {"light, then the edge at both ends",
       {".#.#.", ".#.#.", ".#.#.", ".#.#.", ".#.#."},
       2,
       edgeBoth,
       false},
      {"light, then the edge, edge quiet",
       {".#.#.", ".#.#.", ".#.#.", ".#.#.", ".#.#."},
       2,
       edgeEither,
       true},
      {"at the edge at both ends, edge not quiet",
       {"#.#", "#.#", "#.#", "#.#", "#.#"},
       1,
       noEdge,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Image image = MakeImage(c.rows);
    EXPECT_EQ(HasQuietEnds(AxisView{image, false}, 128, c.rows.size() == 3 ? 2 : 3, c.firstDark,
                           "101", c.rule),
              c.expected);
  }
}

// Lines near the read line can all enter a turned symbol's long edge at the same bar; six lines
// aside, that edge lies more than six pixels further out, while a symbol's end lies less.
TEST(DispatcherTest, QuietEndsLieWithinOnePixelPerLineAside) {
  const struct {
    std::string_view name;
    int farFirstBar;  // column where row 17 begins its bars
    bool expected;
  } cases[] = {
      {"the end turned less than 45 degrees", 26, true},
      {"the long edge, two pixels per line", 18, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Rows 9 to 13 hold "#.#" at columns 30 to 32; row 17 holds bars from farFirstBar to 32.
    std::vector<std::string> rows(21, std::string(45, '.'));
    for (int row = 9; row <= 13; ++row) {
      rows[static_cast<std::size_t>(row - 1)].replace(29, 3, "#.#");
    }
    for (int column = c.farFirstBar; column <= 32; column += 2) {
      rows[16][static_cast<std::size_t>(column - 1)] = '#';
    }
    const Image image = MakeImage(rows);
    EXPECT_EQ(HasQuietEnds(AxisView{image, false}, 128, 11, 30, "101"), c.expected);
  }
}

// HasQuietEnds for the line from the first to the last bar of row, drawn five rows high.
bool RowHasQuietEnds(const std::string& row, QuietRule rule) {
  const Image image = MakeImage(std::vector<std::string>(5, row));
  const std::size_t first = row.find('#');
  std::string pixels = row.substr(first, row.rfind('#') - first + 1);
  std::ranges::replace(pixels, '#', '1');
  std::ranges::replace(pixels, '.', '0');
  return HasQuietEnds(AxisView{image, false}, 128, 3, static_cast<long long>(first) + 1, pixels,
                      rule);
}

// Plain 2 of 5 takes bars that run into both edges for a symbol cropped to them only where both
// end bars are wide and whole: a narrow bar there, as its short stop ends, or a wide bar the edge
// cut short, is where a cut through a digit leaves the line.
TEST(DispatcherTest, TwoOfFiveAtBothEdgesNeedsWholeWideEndBars) {
  const struct {
    std::string_view name;
    std::string row;
    bool expected;
  } cases[] = {
      {"whole wide bars at both edges", "###.#.###.#.###", true},
      {"a pixel narrower than the widest", "###.#.####.#.###", true},
      {"a narrow bar at the right edge", "###.#.###.#", false},
      {"a wide bar cut short at the right edge", "####.#.####.##", false},
      {"a wide bar cut short at the left edge", "##.#.####.####", false},
      {"narrow end bars with light before the edges", "...#.#.###.#.#...", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RowHasQuietEnds(c.row, {3, EdgeRule::bothWideBars}), c.expected);
  }
}

// Interleaved 2 of 5 takes light that runs into the picture's edge for a margin only where it is
// a narrow element wider than every space of the line: the edge cutting a symbol inside a space
// leaves at most that space.
TEST(DispatcherTest, LightToTheEdgeIsAMarginOnlyWhenWiderThanAnySpace) {
  const struct {
    std::string_view name;
    std::string row;
    bool expected;
  } cases[] = {
      {"wider than the widest space at both ends", "...#.#..#.#...", true},
      {"as wide as the widest space at one end", "...#.#..#.#..", false},
      {"a quiet zone at one end", "...#.#..#.#...........", true},
      {"a cut space before a quiet zone", "..#.#..#.#...........", false},
      {"bars at the edge at one end", "...#.#..#.#", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RowHasQuietEnds(c.row, interleavedTwoOfFiveRules.quiet), c.expected);
  }
}

// A gap of five narrow elements inside the line, or of the rule's own gap width, may end a read:
// the lines beside must be light there too, or the line left the bars over their tops.
TEST(DispatcherTest, GapsInsideTheLineMustBeQuietBesideIt) {
  const std::string line = "......#.#.....#.#......";
  // Four narrow elements of light between the bars: a plain 2 of 5 quiet zone, not a wide gap.
  const std::string shortGap = "......#.#.#....#.#......";
  const QuietRule twoOfFive = twoOfFiveRules.quiet;
  const struct {
    std::string_view name;
    std::string line, beside;
    QuietRule rule;
    bool expected;
  } cases[] = {
      {"light beside", line, line, {}, true},
      {"bars beside in the gap", line, "......#.#.#.#.#.#......", {}, false},
      {"a short gap, light beside", shortGap, shortGap, twoOfFive, true},
      {"a short gap, bars beside", shortGap, "......#.#.#.#.#.#.#......", twoOfFive, false},
      {"a short gap is no quiet zone", shortGap, "......#.#.#.#.#.#.#......", {}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Image image = MakeImage({c.beside, c.line, c.line, c.line, c.beside});
    std::string pixels = c.line.substr(6, c.line.rfind('#') - 5);
    std::ranges::replace(pixels, '#', '1');
    std::ranges::replace(pixels, '.', '0');
    EXPECT_EQ(HasQuietEnds(AxisView{image, false}, 128, 3, 7, pixels, c.rule), c.expected);
  }
}

std::string ReadFourDigits(std::string_view pixels) { return pixels.empty() ? "" : "1234"; }
std::string ReadSixDigits(std::string_view pixels) { return pixels.empty() ? "" : "123456"; }

// 2 of 5 reads under six digits, interleaved or plain, must come from lines over a third of the
// bars' height.
TEST(DispatcherTest, ShortTwoOfFiveReadsNeedLinesAcrossTheBars) {
  const std::string bars = "..........#.##..........";
  const std::string light(bars.size(), '.');
  const struct {
    std::string_view name;
    DecoderChain::Decoder interleaved, twoOfFive;
    int firstBarRow, lastBarRow;  // of rows 1..100
    std::string_view expected;
  } cases[] = {
      {"four digits, bars the whole height", &ReadFourDigits, &Refuse, 1, 100, "2/5i\t1234"},
      {"four digits, bars in a band of a fifth", &ReadFourDigits, &Refuse, 41, 60, ""},
      {"six digits, bars in a band of a fifth", &ReadSixDigits, &Refuse, 41, 60, "2/5i\t123456"},
      {"plain, four digits, the whole height", &Refuse, &ReadFourDigits, 1, 100, "2/5\t1234"},
      {"plain, four digits, a band of a fifth", &Refuse, &ReadFourDigits, 41, 60, ""},
      {"plain, six digits, a band of a fifth", &Refuse, &ReadSixDigits, 41, 60, "2/5\t123456"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> rows(100, light);
    for (int row = c.firstBarRow; row <= c.lastBarRow; ++row) {
      rows[static_cast<std::size_t>(row - 1)] = bars;
    }
    DecoderChain chain = MakeChain("......");
    chain.interleavedTwoOfFive = c.interleaved;
    chain.twoOfFive = c.twoOfFive;
    EXPECT_EQ(Decode(MakeImage(rows), {1, 1, 24, 99, Horizontal, ""}, chain).text, c.expected);
  }
}

// Both ends of interleaved 2 of 5 are narrow bars, so where the picture's edge cuts a symbol,
// its piece looks whole: a read under six digits needs light beyond both ends.
TEST(DispatcherTest, ShortInterleavedReadsNeedLightAtBothEnds) {
  const struct {
    std::string_view digits;
    int margin;
    std::string_view expected;
  } cases[] = {
      {"1234", 30, "2/5i\t1234"},
      {"1234", 0, ""},
      {"123456", 0, "2/5i\t123456"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.digits) + " with a margin of " + std::to_string(c.margin));
    const std::string bars = InterleavedTwoOfFivePixels(c.digits, 2, 5);
    const int width = static_cast<int>(bars.size()) + 2 * c.margin;
    Image image = MakeBlankImage(width, 40);
    DrawBars(image, bars, 1, c.margin + 1, 1, 40);
    const Read read = Decode(image, {1, 1, width - 1, 39, Horizontal, ""}, symbologyDecoders);
    EXPECT_EQ(read.text, c.expected);
  }
}

// The picture's edge cuts a turned symbol at a place that moves along the bars from row to row:
// only a band of rows ends in the narrow bar that "52" begins with after its wide bar and narrow
// space, as a stop does. A whole symbol drawn to both edges reads on every row.
TEST(DispatcherTest, InterleavedReadsAtTheEdgeNeedSpreadLines) {
  const std::string bars = InterleavedTwoOfFivePixels("451291377152", 2, 5);
  // The start, five pairs of 32 pixels, then the wide bar, narrow space and narrow bar of "52".
  const int cut = 8 + 5 * 32 + 9;
  const struct {
    std::string_view name;
    int width;
    int shiftEvery;  // rows per pixel the bars move left by, 0 for upright
    std::string_view expected;
  } cases[] = {
      {"whole, upright", static_cast<int>(bars.size()), 0, "2/5i\t451291377152"},
      {"cut, turned", cut, 8, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Image image = MakeBlankImage(c.width, 101);
    for (int row = 1; row <= 101; ++row) {
      // Rows 41 to 56 begin with the start's first bar, whole or halved by the edge.
      const int shift = c.shiftEvery == 0 ? 0 : (row - 1) / c.shiftEvery - 5;
      if (shift >= 0) {
        DrawBars(image, std::string_view(bars).substr(static_cast<std::size_t>(shift)), 1, 1, row,
                 1);
      } else {
        DrawBars(image, bars, 1, 1 - shift, row, 1);
      }
    }
    const Read read = Decode(image, {1, 1, c.width - 1, 100, Horizontal, ""}, symbologyDecoders);
    EXPECT_EQ(read.text, c.expected);
  }
}

// Code 39 has no check character, so one line alone never prints it.
TEST(DispatcherTest, Code39NeedsTwoLinesThatAgree) {
  const std::string bars = "......#.##..........";
  // Only the 50 % line (row 51) reads here.
  std::vector<std::string> once(101, "......##............");
  once[50] = bars;
  const auto readIfBarSpace = [](std::string_view pixels) {
    return pixels.starts_with("10") ? std::string(pixels) : std::string();
  };
  DecoderChain chain = MakeChain("......");
  chain.code39 = readIfBarSpace;
  const Candidate candidate{1, 1, 20, 100, Horizontal, ""};
  EXPECT_EQ(Decode(MakeImage(once), candidate, chain).text, "");
  EXPECT_EQ(Decode(MakeImage(std::vector<std::string>(101, bars)), candidate, chain).text,
            "CODE39\t1011");
}

// Two lines that read one symbol as two texts of one length show noise turning a character, and
// the other lines cannot tell which is right; a shorter text is a piece and contradicts nothing.
TEST(DispatcherTest, Code39ReadTwoWaysPrintsNothing) {
  const std::string bars = "......#.##..........";
  const struct {
    std::string_view name, fortyPercentLine, expected;
  } cases[] = {
      {"every line agrees", bars, "CODE39\t1011"},
      {"one line turns a character", "......##.#..........", ""},
      {"one line reads a piece", "......#.#...........", "CODE39\t1011"},
  };
  DecoderChain chain = MakeChain("......");
  chain.code39 = &Echo;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Lines run at 50 % (row 51), then 40 % (row 41), then 60 %.
    std::vector<std::string> rows(101, bars);
    rows[40] = c.fortyPercentLine;
    EXPECT_EQ(Decode(MakeImage(rows), {1, 1, 20, 100, Horizontal, ""}, chain).text, c.expected);
  }
}

// A box that cuts a symbol short is read once more out to the quiet zones; what lies beyond a
// stretch of light twice the widest space inside stays out.
TEST(DispatcherTest, ReadsPastABoxThatCutsBarsShort) {
  const auto readWhole = [](std::string_view pixels) {
    return pixels == "101000101" || pixels == "101000010001" ? std::string("whole") : std::string();
  };
  const struct {
    std::string_view name;
    std::string row;
    std::string_view expected;
  } cases[] = {
      // Columns 11 to 19 hold the bars; the box begins at column 16.
      {"bars just beyond the box", std::string(10, '.') + "#.#...#.#" + std::string(10, '.'),
       "EAN13\twhole"},
      {"bars beyond a quiet stretch", std::string(8, '.') + "#.#.....#.#" + std::string(10, '.'),
       ""},
      // A 3-pixel space inside the box: a 4-pixel gap is still no quiet zone.
      {"bars beyond a gap under twice the widest space",
       std::string(8, '.') + "#.#....#...#" + std::string(10, '.'), "EAN13\twhole"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Image image = MakeImage(std::vector<std::string>(12, c.row));
    const Candidate candidate{16, 1, 13, 10, Horizontal, ""};
    const Read read = Decode(image, candidate, ChainWithEan13(readWhole));
    EXPECT_EQ(read.text, c.expected);
  }
}

TEST(DispatcherTest, ReversedReadsRaiseTheOrientation) {
  // Rows read "1011" forwards and "1101" backwards; flat has the same along its columns.
  const std::vector<std::string> upright(11, "#.##....");
  std::vector<std::string> flat = {"###########", "...........", "###########", "###########"};
  flat.resize(8, "...........");
  // Only the 50 % row (51) reads differently backwards; the rest read "11" either way.
  std::vector<std::string> middle(101, "##......");
  middle[50] = "#.##....";
  struct Case {
    std::string_view name;
    const std::vector<std::string>& rows;
    Candidate candidate;
    Orientation orientation;
  };
  const Case cases[] = {
      {"row", upright, {1, 1, 7, 10, Horizontal, ""}, HorizontalReversed},
      {"column", flat, {1, 1, 10, 7, Vertical, ""}, VerticalReversed},
      {"reversed twice stays reversed",
       upright,
       {1, 1, 7, 10, HorizontalReversed, ""},
       HorizontalReversed},
      {"before the next line", middle, {1, 1, 7, 100, Horizontal, ""}, HorizontalReversed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Read read = Decode(MakeImage(c.rows), c.candidate, ChainWithEan13(&ReadIfLeadingPair));
    EXPECT_EQ(read.text, "EAN13\t1101");
    EXPECT_EQ(read.orientation, c.orientation);
  }
}

}  // namespace

}  // namespace strixa
