// SPDX-License-Identifier: Apache-2.0
#include "decode/sampling.h"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "image/axisView.h"
#include "image/image.h"
#include "support/builders.h"

namespace strixa {

namespace {

// Black bars 4 pixels wide and 4 apart in columns 100..295, rows 50..129, on white; with
// flatBars the same picture with rows and columns exchanged.
Image MakeBarPicture(bool flatBars) {
  Image image = flatBars ? MakeBlankImage(200, 400) : MakeBlankImage(400, 200);
  constexpr std::string_view bars = "1010101010101010101010101010101010101010101010101";
  DrawBars(image, bars, 4, flatBars ? 50 : 100, flatBars ? 100 : 50, 80, flatBars);
  return image;
}

std::string RepeatGrey(int count, int grey) {
  return std::string(static_cast<std::size_t>(count), static_cast<char>(grey));
}

std::string SampleRow(const Image& image, int lineThreshold, int x, int y, int width, int height,
                      int percentage) {
  std::string pixels;
  SampleLine(AxisView{image, false}, lineThreshold, x, y, width, height, percentage, pixels);
  return pixels;
}

std::string SampleColumn(const Image& image, int lineThreshold, int x, int y, int width, int height,
                         int percentage) {
  std::string pixels;
  SampleLine(AxisView{image, true}, lineThreshold, x, y, width, height, percentage, pixels);
  return pixels;
}

TEST(SamplingTest, LinePositionRoundsThroughSinglePrecisionHalvesToEven) {
  struct Case {
    int offset, extent, percentage, expected;
  };
  const Case cases[] = {{10, 57, 50, 38}, {11, 57, 50, 40}, {41, 90, 40, 77}, {5, 10, 7, 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.offset << " + " << c.extent << " x " << c.percentage);
    EXPECT_EQ(LinePosition(c.offset, c.extent, c.percentage), c.expected);
  }
}

TEST(SamplingTest, SampleRowMarksDarkPixelsAndTrimsLightEnds) {
  struct Case {
    std::string_view name;
    std::string row;
    int width, lineThreshold;
    std::string_view expected;
  };
  const Case cases[] = {
      {"dark light light dark light", "#..#.", 4, 128, "1001"},
      {"no dark pixel", ".....", 4, 128, ""},
      {"only the last pixel dark", "....#", 4, 128, "1"},
      {"grey at the threshold is dark", RepeatGrey(1, 128) + "...", 3, 128, "1"},
      {"the pixel after x + width is not sampled", ".....#", 4, 128, ""},
      {"past the right edge reads light", "#.#", 6, 254, "101"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SampleRow(MakeImage({c.row}), c.lineThreshold, 1, 1, c.width, 0, 50), c.expected);
  }
}

TEST(SamplingTest, BarPictureReadsTheSameAlongARowAndAColumn) {
  const std::string barLine =
      "1111"
      "0000111100001111000011110000111100001111000011110000111100001111"
      "0000111100001111000011110000111100001111000011110000111100001111"
      "0000111100001111000011110000111100001111000011110000111100001111";
  EXPECT_EQ(SampleRow(MakeBarPicture(false), 152, 59, 41, 294, 90, 50), barLine);
  EXPECT_EQ(SampleColumn(MakeBarPicture(true), 152, 41, 59, 90, 294, 50), barLine);
  for (int percentage : {40, 60, 50}) {
    SCOPED_TRACE(percentage);
    EXPECT_EQ(LineMean(AxisView{MakeBarPicture(false), false}, 59, 41, 294, 90, percentage), 152);
    EXPECT_EQ(LineMean(AxisView{MakeBarPicture(true), true}, 41, 59, 90, 294, percentage), 152);
  }
}

TEST(SamplingTest, SamplingIntoABufferReplacesItsContents) {
  const Image image = MakeImage({"#..#.", "#...."});
  std::string pixels = "stale text from an earlier line";
  SampleLine(AxisView{image, false}, 128, 1, 1, 4, 0, 50, pixels);
  EXPECT_EQ(pixels, "1001");
  SampleLine(AxisView{image, true}, 128, 1, 1, 0, 1, 50, pixels);
  EXPECT_EQ(pixels, "11");
  SampleLine(AxisView{image, false}, 128, 2, 2, 3, 0, 50, pixels);
  EXPECT_EQ(pixels, "");
}

TEST(SamplingTest, SampleLineReturnsWhereTheDarkPixelsBegin) {
  const Image image = MakeImage({"..#.#..", "...#..."});
  std::string pixels;
  EXPECT_EQ(SampleLine(AxisView{image, false}, 128, 1, 1, 6, 0, 50, pixels), 3);
  EXPECT_EQ(pixels, "101");
  EXPECT_EQ(SampleLine(AxisView{image, false}, 128, 2, 2, 5, 0, 50, pixels), 4);
  EXPECT_EQ(SampleLine(AxisView{image, true}, 128, 4, 1, 0, 1, 50, pixels), 2);
  EXPECT_EQ(pixels, "1");
}

TEST(SamplingTest, CountPixelsStopsAtTheOtherShadeAtTheEdgeAndAtEnough) {
  struct Case {
    std::string_view name;
    int across;
    long long from;
    int step, enough;
    bool dark;
    int expected;
  };
  // Row 1 "##...#.." and, down column 2, "#", ".", ".", "#".
  const Image image = MakeImage({"##...#..", "........", "........", ".#......"});
  const Case cases[] = {
      {"light up to the next dark pixel", 1, 3, 1, 10, false, 3},
      {"light backwards to the dark pixel", 1, 5, -1, 10, false, 3},
      {"the picture's edge ends the count", 1, 7, 1, 10, false, 2},
      {"the left edge too", 2, 3, -1, 10, false, 3},
      {"at most enough", 1, 3, 1, 2, false, 2},
      {"starting on dark counts no light", 1, 1, 1, 10, false, 0},
      {"starting outside counts nothing", 1, 9, 1, 10, false, 0},
      {"a line outside the picture", 5, 2, 1, 10, false, 0},
      {"dark up to the light pixel", 1, 1, 1, 10, true, 2},
      {"dark backwards to the edge", 1, 2, -1, 10, true, 2},
      {"starting on light counts no dark", 1, 3, 1, 10, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CountPixels(AxisView{image, false}, 128, c.across, c.from, c.step, c.enough, c.dark),
              c.expected);
  }
  // Down column 2 the first pixel is dark, then two are light.
  EXPECT_EQ(CountPixels(AxisView{image, true}, 128, 2, 2, 1, 10, false), 2);
}

TEST(SamplingTest, LineMeanDividesByTheExtentAndRoundsHalvesToEven) {
  struct Case {
    std::string_view name;
    std::vector<std::string> rows;
    int width, height, expected;
  };
  const Case cases[] = {
      {"grey 200 over 101 pixels: 202 x 0.9", {RepeatGrey(101, 200)}, 100, 0, 182},
      {"mean 25 gives 22.5, rounded to 22", {RepeatGrey(10, 25) + "#"}, 10, 0, 22},
      {"the row at 50 % of the height", {"###", "...", "###"}, 2, 2, 344},
      {"light beyond the right edge", {"##"}, 3, 0, 153},
      {"no extent reads as black", {RepeatGrey(5, 200)}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LineMean(AxisView{MakeImage(c.rows), false}, 1, 1, c.width, c.height, 50),
              c.expected);
  }
}

// Pixels outside the picture are grey 255 to every line, in front of it, behind it, or with
// the whole line off the picture, in both directions.
TEST(SamplingTest, LinesReadPastThePictureAsGrey255) {
  struct Case {
    std::string_view name;
    int x, y, width, height, lineThreshold;
    std::string_view expected;
  };
  // The second picture holds the first one's rows as its columns.
  const Case cases[] = {
      {"starts two pixels early", -1, 1, 5, 0, 128, "101"},
      {"starts two pixels early, 255 is dark", -1, 1, 5, 0, 255, "111111"},
      {"ends two pixels late, 255 is dark", 1, 1, 4, 0, 255, "11111"},
      {"second row", 0, 2, 4, 0, 128, "1"},
      {"below the picture", 1, 3, 2, 0, 255, "111"},
      {"above the picture", 1, 0, 2, 0, 128, ""},
      {"far beyond the sides", 2147483640, 1, 6, 0, 255, "1111111"},
  };
  const Image rows = MakeImage({"#.#", "..#"});
  const Image columns = MakeImage({"#.", "..", "##"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SampleRow(rows, c.lineThreshold, c.x, c.y, c.width, c.height, 0), c.expected);
    EXPECT_EQ(SampleColumn(columns, c.lineThreshold, c.y, c.x, c.height, c.width, 0), c.expected);
  }
  // 255 on either side of the row's 0, 255, 0: 765 / 4 is 191, and 171.9 rounds to 172.
  EXPECT_EQ(LineMean(AxisView{rows, false}, 0, 1, 4, 0, 0), 172);
  EXPECT_EQ(LineMean(AxisView{columns, true}, 1, 0, 0, 4, 0), 172);
}

}  // namespace

}  // namespace strixa
