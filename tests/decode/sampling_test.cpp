#include "decode/sampling.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "image/image.h"
#include "support/builders.h"

namespace {

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

const std::string barLine =
    "1111"
    "0000111100001111000011110000111100001111000011110000111100001111"
    "0000111100001111000011110000111100001111000011110000111100001111"
    "0000111100001111000011110000111100001111000011110000111100001111";

struct PositionCase {
  std::string_view name;
  int offset, extent, percentage;
  int expected;
};

TEST(SamplingTest, LinePositionRoundsThroughSinglePrecisionHalvesToEven) {
  const PositionCase cases[] = {
      {"28.5 past 10 goes down to even 38", 10, 57, 50, 38},
      {"28.5 past 11 goes up to even 40", 11, 57, 50, 40},
      {"40 % of 90 from 41", 41, 90, 40, 77},
      {"60 % of 90 from 41", 41, 90, 60, 95},
      {"50 % of 90 from 41", 41, 90, 50, 86},
      {"whole percent of 100", 1, 100, 35, 36},
      {"0.3 rounds down", 5, 10, 3, 5},
      {"0.7 rounds up", 5, 10, 7, 6},
      {"zero extent stays on the offset", 7, 0, 50, 7},
  };
  for (const PositionCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LinePosition(c.offset, c.extent, c.percentage), c.expected);
  }
}

struct RowCase {
  std::string_view name;
  std::string row;
  int width;
  int lineThreshold;
  std::string_view expected;
};

TEST(SamplingTest, SampleRowMarksDarkPixelsAndTrimsLightEnds) {
  const RowCase cases[] = {
      {"dark light light dark light", "#..#.", 4, 128, "1001"},
      {"no dark pixel", ".....", 4, 128, ""},
      {"only the last pixel dark", "....#", 4, 128, "1"},
      {"every pixel dark", "#####", 4, 128, "11111"},
      {"long light stretch inside stays", "#......#", 7, 128, "10000001"},
      {"grey at the threshold is dark", Grey(1, 128) + "...", 3, 128, "1"},
      {"grey above the threshold is light", Grey(1, 129) + "...", 3, 128, ""},
      {"the pixel at x + width is sampled", "....#", 4, 128, "1"},
      {"the pixel after x + width is not", ".....#", 4, 128, ""},
      {"past the right edge reads light", "#.#", 6, 254, "101"},
      {"negative threshold turns all light", "#####", 4, -1, ""},
  };
  for (const RowCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Image image = MakeImage({c.row});
    EXPECT_EQ(SampleRow(image, c.lineThreshold, 1, 1, c.width, 0, 50), c.expected);
  }
}

TEST(SamplingTest, SampleRowStartsAtTheCandidatesLeftEdge) {
  const Image image = MakeImage({"##.#..#"});
  EXPECT_EQ(SampleRow(image, 128, 3, 1, 4, 0, 50), "1001");
}

TEST(SamplingTest, SamplingReadsTheBarPictureAcrossItsMiddle) {
  const Image upright = BarPicture(false);
  EXPECT_EQ(SampleRow(upright, 152, 59, 41, 294, 90, 50), barLine);
  const Image flat = BarPicture(true);
  EXPECT_EQ(SampleColumn(flat, 152, 41, 59, 90, 294, 50), barLine);
  // Along the bars a line stays in one bar (column 100) or one gap (column 106).
  EXPECT_EQ(SampleColumn(upright, 152, 59, 41, 294, 90, 14), std::string(80, '1'));
  EXPECT_EQ(SampleColumn(upright, 152, 59, 41, 294, 90, 16), "");
}

TEST(SamplingTest, SampleColumnRunsTopToBottom) {
  const Image image = MakeImage({"..", ".#", "..", "..", ".#", ".#"});
  EXPECT_EQ(SampleColumn(image, 128, 1, 1, 2, 5, 50), "10011");
  EXPECT_EQ(SampleColumn(image, 128, 1, 1, 0, 5, 50), "");
}

TEST(SamplingTest, SamplingIntoABufferReplacesItsContents) {
  const Image image = MakeImage({"#..#.", "#...."});
  std::string pixels = "stale text from an earlier line";
  SampleRowInto(image, 128, 1, 1, 4, 0, 50, pixels);
  EXPECT_EQ(pixels, "1001");
  SampleColumnInto(image, 128, 1, 1, 0, 1, 50, pixels);
  EXPECT_EQ(pixels, "11");
  SampleRowInto(image, 128, 2, 2, 3, 0, 50, pixels);
  EXPECT_EQ(pixels, "");
}

struct MeanCase {
  std::string_view name;
  std::vector<std::string> rows;
  int x, y, width, height, percentage;
  int expected;
};

TEST(SamplingTest, RowMeanDividesByTheExtentAndRoundsHalvesToEven) {
  const MeanCase cases[] = {
      {"grey 200 over 101 pixels", {Grey(101, 200)}, 1, 1, 100, 0, 50, 182},
      {"mean 25 gives 22.5, rounded to 22", {Grey(10, 25) + "#"}, 1, 1, 10, 0, 50, 22},
      {"mean 15 gives 13.5, rounded to 14", {Grey(10, 15) + "#"}, 1, 1, 10, 0, 50, 14},
      {"black row", {"###########"}, 1, 1, 10, 0, 50, 0},
      {"the row at 50 % of the height", {"###", "...", "###"}, 1, 1, 2, 2, 50, 344},
      {"light beyond the right edge", {"##"}, 1, 1, 3, 0, 50, 153},
      {"no extent reads as black", {Grey(5, 200)}, 1, 1, 0, 0, 50, 0},
  };
  for (const MeanCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RowMean(MakeImage(c.rows), c.x, c.y, c.width, c.height, c.percentage), c.expected);
  }
}

TEST(SamplingTest, MeansOfTheBarPicture) {
  const Image upright = BarPicture(false);
  const Image flat = BarPicture(true);
  for (int percentage : {40, 60, 50}) {
    SCOPED_TRACE(percentage);
    EXPECT_EQ(RowMean(upright, 59, 41, 294, 90, percentage), 152);
    EXPECT_EQ(ColumnMean(flat, 41, 59, 90, 294, percentage), 152);
  }
  // Outside the bars' rows the line is all white: 296 x 255 / 295 = 255.
  EXPECT_EQ(RowMean(upright, 59, 1, 295, 40, 50), 230);
  EXPECT_EQ(ColumnMean(flat, 1, 59, 40, 295, 50), 230);
}

TEST(SamplingTest, ColumnMeanDividesByTheHeight) {
  const Image image = MakeImage({Grey(2, 200), Grey(2, 200), Grey(2, 200)});
  EXPECT_EQ(ColumnMean(image, 1, 1, 2, 2, 50), 270);
}

TEST(SamplingTest, ReverseStringReadsBackwards) {
  const std::string_view cases[][2] = {
      {"1101", "1011"}, {"", ""}, {"1", "1"}, {"10011", "11001"}, {"abc", "cba"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0]);
    EXPECT_EQ(ReverseString(c[0]), c[1]);
  }
}

}  // namespace
