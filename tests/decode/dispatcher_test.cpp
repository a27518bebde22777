#include "decode/dispatcher.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "image/image.h"
#include "locate/candidate.h"
#include "support/builders.h"

namespace {

// Stand-in decoders: the chain's rules must hold whatever the real decoders read.
std::string Refuse(std::string_view) { return {}; }
std::string Echo(std::string_view pixels) { return std::string(pixels); }
std::string ReadIfLeadingPair(std::string_view pixels) {
  return pixels.starts_with("11") ? std::string(pixels) : "";
}
std::string ReadIfLeadingGap(std::string_view pixels) {
  return pixels.starts_with("10") ? std::string(pixels) : "";
}

// One character per slot, in chain order: 'E' echoes the line, '.' refuses.
DecoderChain MakeChain(std::string_view slots) {
  const auto pick = [&](std::size_t i) { return slots[i] == 'E' ? &Echo : &Refuse; };
  return {pick(0), pick(1), pick(2), pick(3), pick(4), pick(5)};
}

DecoderChain ChainWithCode128(DecoderChain::Decoder decoder) {
  DecoderChain chain = MakeChain("......");
  chain.code128 = decoder;
  return chain;
}

struct ChainCase {
  std::string_view name;
  std::string_view slots;
  std::string pixels;
  int hitCountBefore;
  std::string expected;
  int hitCountAfter;
};

TEST(DispatcherTest, DecoderChainLabelsAndOrdersReads) {
  const ChainCase cases[] = {
      {"code 128", "E.....", "ABC", 0, "CODE128\tABC", 0},
      {"ean-128 marker dropped", "E.....", "<EAN128>0123", 0, "EAN128\t0123", 0},
      {"ean-128 marker alone", "E.....", "<EAN128>", 0, "EAN128\t", 0},
      {"marker cut short is plain code 128", "E.....", "<EAN128", 0, "CODE128\t<EAN128", 0},
      {"marker not in front", "E.....", "12<EAN128>", 0, "CODE128\t12<EAN128>", 0},
      {"code 39", ".E....", "CODE-39", 0, "CODE39\tCODE-39", 0},
      {"ean-13", "..E...", "4006381 333931", 0, "EAN13\t4006381 333931", 0},
      {"leading zero is upc-a", "..E...", "0036000 291452", 0, "UPC-A\t036000 291452", 0},
      {"upc-a of a lone zero", "..E...", "0", 0, "UPC-A\t", 0},
      {"zero elsewhere stays ean-13", "..E...", "9780201 379624", 0, "EAN13\t9780201 379624", 0},
      {"ean-8", "...E..", "9638 5074", 0, "EAN8\t9638 5074", 0},
      {"code 128 before every other", "EEEEEE", "0123", 0, "CODE128\t0123", 0},
      {"code 39 before ean-13", ".EE...", "0123", 0, "CODE39\t0123", 0},
      {"ean-13 before ean-8", "..EE..", "0123", 0, "UPC-A\t123", 0},
      {"ean-8 before the 2 of 5 pair", "...EEE", "0123", 2, "EAN8\t0123", 2},
      {"nothing reads", "......", "0123", 0, "", 0},
      {"empty reads are failures", "EEEEEE", "", 0, "", 0},
      {"first interleaved hit waits", "....E.", "1234", 0, "", 1},
      {"second 2 of 5 hit waits", ".....E", "1234", 1, "", 2},
      {"third interleaved hit accepted", "....E.", "1234", 2, "2/5i\t1234", 3},
      {"third 2 of 5 hit accepted", ".....E", "1234", 2, "2/5\t1234", 3},
      {"both count on one line", "....EE", "1234", 0, "", 2},
      {"second of the pair crosses the limit", "....EE", "1234", 1, "2/5\t1234", 3},
      {"interleaved crosses first", "....EE", "1234", 2, "2/5i\t1234", 3},
  };
  for (const ChainCase& c : cases) {
    SCOPED_TRACE(c.name);
    int hitCount = c.hitCountBefore;
    EXPECT_EQ(RunDecoderChain(c.pixels, hitCount, MakeChain(c.slots)), c.expected);
    EXPECT_EQ(hitCount, c.hitCountAfter);
  }
}

TEST(DispatcherTest, UpcTextKeepsAtMostAThousandCharacters) {
  int hitCount = 0;
  const std::string read = "0" + std::string(1001, '7');
  EXPECT_EQ(RunDecoderChain(read, hitCount, MakeChain("..E...")),
            "UPC-A\t" + std::string(1000, '7'));
}

TEST(DispatcherTest, ThirdTwoOfFiveHitWinsEvenWithADifferentText) {
  const DecoderChain chain = MakeChain(".....E");
  int hitCount = 0;
  EXPECT_EQ(RunDecoderChain("12", hitCount, chain), "");
  EXPECT_EQ(RunDecoderChain("34", hitCount, chain), "");
  EXPECT_EQ(RunDecoderChain("56", hitCount, chain), "2/5\t56");
}

struct BaseCase {
  int first, second, third;
  int expected;
};

TEST(DispatcherTest, BaseThresholdFallsBackOutsideTwentyTo245) {
  const BaseCase cases[] = {
      {152, 152, 152, 152}, {100, 101, 101, 100}, {20, 20, 20, 20},     {21, 20, 19, 20},
      {19, 20, 20, 160},    {0, 0, 0, 160},       {245, 245, 245, 245}, {246, 246, 245, 245},
      {246, 246, 246, 160}, {255, 255, 255, 160},
  };
  for (const BaseCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << " " << c.second << " " << c.third);
    EXPECT_EQ(BaseThreshold(c.first, c.second, c.third), c.expected);
  }
}

// Black bars 4 pixels wide and 4 apart in columns 100..295, rows 50..129, on white; with
// flatBars the same picture with rows and columns exchanged.
Image BarPicture(bool flatBars) {
  Image image = flatBars ? MakeBlankImage(200, 400) : MakeBlankImage(400, 200);
  for (int start = 100; start <= 292; start += 8) {
    if (flatBars) {
      FillRect(image, 50, start, 80, 4, 0);
    } else {
      FillRect(image, start, 50, 4, 80, 0);
    }
  }
  return image;
}

std::string Grey(int count, int grey) {
  return std::string(static_cast<std::size_t>(count), static_cast<char>(grey));
}

std::vector<std::string> Repeat(const std::string& row, int count) {
  return std::vector<std::string>(static_cast<std::size_t>(count), row);
}

// 100 rows of grey 22 above one black row.
std::vector<std::string> ColumnOf22() {
  std::vector<std::string> rows = Repeat(Grey(11, 22), 100);
  rows.push_back(Grey(11, 0));
  return rows;
}

struct ThresholdCase {
  std::string_view name;
  Image image;
  Candidate candidate;
  int expectedThreshold;
};

TEST(DispatcherTest, FirstLineUsesTheBaseThreshold) {
  const std::string barLine =
      "1111"
      "0000111100001111000011110000111100001111000011110000111100001111"
      "0000111100001111000011110000111100001111000011110000111100001111"
      "0000111100001111000011110000111100001111000011110000111100001111";
  Candidate upright{59, 41, 294, 90, Horizontal, ""};
  int lineThreshold = 0;
  EXPECT_EQ(DecodeCandidate(BarPicture(false), upright, lineThreshold, MakeChain("E.....")),
            "CODE128\t" + barLine);
  EXPECT_EQ(lineThreshold, 152);

  Candidate flat{41, 59, 90, 294, Vertical, ""};
  lineThreshold = 0;
  EXPECT_EQ(DecodeCandidate(BarPicture(true), flat, lineThreshold, MakeChain("E.....")),
            "CODE128\t" + barLine);
  EXPECT_EQ(lineThreshold, 152);
}

TEST(DispatcherTest, MeanPicturesChooseTheBaseOrTheFallback) {
  // Echo accepts the first non-empty line, so lineThreshold tells where reading stopped.
  const ThresholdCase cases[] = {
      {"black picture falls back to 160",
       MakeImage(Repeat(Grey(11, 0), 11)),
       {1, 1, 10, 10, Horizontal, ""},
       160},
      // 100 x 22 + 0 over 100 is 22, and 19.8 rounds to 20.
      {"mean 20 is kept",
       MakeImage(Repeat(Grey(100, 22) + "#", 11)),
       {1, 1, 100, 10, Horizontal, ""},
       20},
      // 10 x 255 + 175 over 10 is 272, and 244.8 rounds to 245.
      {"mean 245 is kept",
       MakeImage(Repeat(Grey(10, 255) + Grey(1, 175), 11)),
       {1, 1, 10, 10, Horizontal, ""},
       245},
      // 273 gives 246: the ladder 160, 147, 173, 135 sees grey 180 as light, 185 as dark.
      {"mean 246 falls back",
       MakeImage(Repeat(Grey(10, 255) + Grey(1, 180), 11)),
       {1, 1, 10, 10, Horizontal, ""},
       185},
      // Read down a column the mean is 20; along a row it would be 22.
      {"vertical candidate uses column means",
       MakeImage(ColumnOf22()),
       {1, 1, 10, 100, Vertical, ""},
       20},
  };
  for (const ThresholdCase& c : cases) {
    SCOPED_TRACE(c.name);
    Candidate candidate = c.candidate;
    int lineThreshold = 0;
    EXPECT_NE(DecodeCandidate(c.image, candidate, lineThreshold, MakeChain("E.....")), "");
    EXPECT_EQ(lineThreshold, c.expectedThreshold);
  }
}

// Reads the threshold off a ramp line ("1" per grey value up to it) unless it was refused.
template <int... refused>
std::string ReadThresholdUnless(std::string_view pixels) {
  const int threshold = static_cast<int>(pixels.size()) - 1;
  if (((threshold == refused) || ...)) {
    return {};
  }
  return std::to_string(threshold);
}

// Columns 1..256 hold grey 0..255, then 122 white columns: the mean row gives 169, so 152.
Image RampPicture() {
  Image image = MakeBlankImage(378, 12);
  for (int grey = 0; grey <= 255; ++grey) {
    FillRect(image, grey + 1, 1, 1, 12, static_cast<std::uint8_t>(grey));
  }
  return image;
}

struct LadderCase {
  DecoderChain::Decoder decoder;
  std::string_view expected;
  int lastThreshold;
};

TEST(DispatcherTest, ThresholdLadderRunsDarkerAndLighterInTurn) {
  const Image ramp = RampPicture();
  const LadderCase cases[] = {
      {&ReadThresholdUnless<>, "CODE128\t152", 152},
      {&ReadThresholdUnless<152>, "CODE128\t139", 139},
      {&ReadThresholdUnless<152, 139>, "CODE128\t165", 165},
      {&ReadThresholdUnless<152, 139, 165>, "CODE128\t127", 127},
      {&ReadThresholdUnless<152, 139, 165, 127>, "CODE128\t177", 177},
      {&ReadThresholdUnless<152, 139, 165, 127, 177>, "", 177},
  };
  for (const LadderCase& c : cases) {
    SCOPED_TRACE(c.expected);
    Candidate candidate{1, 1, 377, 10, Horizontal, ""};
    int lineThreshold = 0;
    EXPECT_EQ(DecodeCandidate(ramp, candidate, lineThreshold, ChainWithCode128(c.decoder)),
              c.expected);
    EXPECT_EQ(lineThreshold, c.lastThreshold);
    EXPECT_EQ(candidate.orientation, Horizontal);
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

// Row 1 + p holds p black pixels from the left, so a line's length is its percentage of the
// candidate (1, 1, 100, 100).
Image PercentagePicture() {
  Image image = MakeBlankImage(101, 102);
  for (int p = 1; p <= 100; ++p) {
    FillRect(image, 1, 1 + p, p, 1, 0);
  }
  return image;
}

TEST(DispatcherTest, LinesFollowTheScanPositions) {
  const Image picture = PercentagePicture();
  const auto readers = []<std::size_t... k>(std::index_sequence<k...>) {
    return std::array{&ReadPercentageAfter<k>...};
  }
  (std::make_index_sequence<18>{});
  for (std::size_t k = 0; k < readers.size(); ++k) {
    SCOPED_TRACE(k);
    Candidate candidate{1, 1, 100, 100, Horizontal, ""};
    int lineThreshold = 0;
    const std::string expected =
        k < lineOrder.size() ? "CODE128\t" + std::to_string(lineOrder[k]) : "";
    EXPECT_EQ(DecodeCandidate(picture, candidate, lineThreshold, ChainWithCode128(readers[k])),
              expected);
  }
}

std::string HitAtHalf(std::string_view pixels) { return pixels.size() == 50 ? "fifty" : ""; }
std::string HitAtHalfOrForty(std::string_view pixels) {
  return pixels.size() == 50 || pixels.size() == 40 ? std::to_string(pixels.size()) : "";
}

struct HitCase {
  std::string_view name;
  DecoderChain::Decoder interleaved, twoOfFive;
  std::string_view expected;
  std::int8_t orientation;
};

TEST(DispatcherTest, TwoOfFiveNeedsThreeHitsWithinOneThreshold) {
  const Image picture = PercentagePicture();
  const HitCase cases[] = {
      {"two hits per threshold never add up", &Refuse, &HitAtHalf, "", Horizontal},
      {"interleaved alone, two per threshold", &HitAtHalf, &Refuse, "", Horizontal},
      {"third hit on the 40 % line", &Refuse, &HitAtHalfOrForty, "2/5\t40", Horizontal},
      {"third hit on the reversed line", &HitAtHalf, &HitAtHalf, "2/5i\tfifty", HorizontalReversed},
  };
  for (const HitCase& c : cases) {
    SCOPED_TRACE(c.name);
    DecoderChain chain = MakeChain("......");
    chain.interleavedTwoOfFive = c.interleaved;
    chain.twoOfFive = c.twoOfFive;
    Candidate candidate{1, 1, 100, 100, Horizontal, ""};
    int lineThreshold = 0;
    EXPECT_EQ(DecodeCandidate(picture, candidate, lineThreshold, chain), c.expected);
    EXPECT_EQ(candidate.orientation, c.orientation);
  }
}

struct DirectionCase {
  std::string_view name;
  std::vector<std::string> rows;
  Candidate candidate;
  DecoderChain::Decoder decoder;
  std::string_view expected;
  std::int8_t orientation;
};

std::vector<std::string> RowsWithMiddle(const std::string& row, const std::string& middle) {
  std::vector<std::string> rows = Repeat(row, 101);
  rows[50] = middle;
  return rows;
}

TEST(DispatcherTest, ReversedReadsRaiseTheOrientation) {
  const std::vector<std::string> upright = Repeat("#.##....", 11);
  std::vector<std::string> flat = {"###########", "...........", "###########", "###########"};
  flat.resize(8, "...........");
  const DirectionCase cases[] = {
      {"forward read",
       upright,
       {1, 1, 7, 10, Horizontal, ""},
       &ReadIfLeadingGap,
       "CODE128\t1011",
       Horizontal},
      {"reversed row",
       upright,
       {1, 1, 7, 10, Horizontal, ""},
       &ReadIfLeadingPair,
       "CODE128\t1101",
       HorizontalReversed},
      {"forward column",
       flat,
       {1, 1, 10, 7, Vertical, ""},
       &ReadIfLeadingGap,
       "CODE128\t1011",
       Vertical},
      {"reversed column",
       flat,
       {1, 1, 10, 7, Vertical, ""},
       &ReadIfLeadingPair,
       "CODE128\t1101",
       VerticalReversed},
      {"reversed twice stays reversed",
       upright,
       {1, 1, 7, 10, HorizontalReversed, ""},
       &ReadIfLeadingPair,
       "CODE128\t1101",
       HorizontalReversed},
      {"reversed column twice stays reversed",
       flat,
       {1, 1, 10, 7, VerticalReversed, ""},
       &ReadIfLeadingPair,
       "CODE128\t1101",
       VerticalReversed},
      {"reversed line before the next line",
       RowsWithMiddle("##......", "#.##...."),
       {1, 1, 7, 100, Horizontal, ""},
       &ReadIfLeadingPair,
       "CODE128\t1101",
       HorizontalReversed},
      {"nothing read leaves the orientation",
       upright,
       {1, 1, 7, 10, Horizontal, ""},
       &Refuse,
       "",
       Horizontal},
  };
  for (const DirectionCase& c : cases) {
    SCOPED_TRACE(c.name);
    Candidate candidate = c.candidate;
    int lineThreshold = 0;
    EXPECT_EQ(
        DecodeCandidate(MakeImage(c.rows), candidate, lineThreshold, ChainWithCode128(c.decoder)),
        c.expected);
    EXPECT_EQ(candidate.orientation, c.orientation);
  }
}

TEST(DispatcherTest, UnreadableCandidateLeavesTheLastThreshold) {
  Candidate candidate{59, 41, 294, 90, Horizontal, "old"};
  int lineThreshold = 0;
  EXPECT_EQ(DecodeCandidate(BarPicture(false), candidate, lineThreshold, MakeChain("......")), "");
  EXPECT_EQ(lineThreshold, 177);
  EXPECT_EQ(candidate.orientation, Horizontal);
  EXPECT_EQ(candidate.text, "old");
}

}  // namespace
