#include "decode/sampling.h"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

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
    EXPECT_EQ(RowMean(MakeBarPicture(false), 59, 41, 294, 90, percentage), 152);
    EXPECT_EQ(ColumnMean(MakeBarPicture(true), 41, 59, 90, 294, percentage), 152);
  }
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

TEST(SamplingTest, RowMeanDividesByTheExtentAndRoundsHalvesToEven) {
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
    EXPECT_EQ(RowMean(MakeImage(c.rows), 1, 1, c.width, c.height, 50), c.expected);
  }
}

}  // namespace

}  // namespace strixa
