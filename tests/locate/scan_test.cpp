// SPDX-License-Identifier: Apache-2.0
#include "locate/scan.h"

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "image/image.h"
#include "locate/candidate.h"
#include "platform/bitmap.h"
#include "support/bmpWriter.h"
#include "support/builders.h"

namespace strixa {

namespace {

using enum Orientation;

// Columns left..right, rows top..bottom; in every period of columns the first darkWidth are
// painted grey, so darkWidth == period is a solid block. The default paints nothing.
struct Stripes {
  int left = 1, right = 0, top = 1, bottom = 0;
  int darkWidth = 1, period = 1;
  std::uint8_t grey = 0;
};

struct Picture {
  int width, height;
  Stripes stripes[3] = {};
};

Image Draw(const Picture& picture) {
  Image image = MakeBlankImage(picture.width, picture.height);
  for (const Stripes& s : picture.stripes) {
    for (int x = s.left; x <= s.right; ++x) {
      if ((x - s.left) % s.period < s.darkWidth) {
        FillRect(image, x, s.top, 1, s.bottom - s.top + 1, s.grey);
      }
    }
  }
  return image;
}

// Rows become columns: what the horizontal pass sees here, the vertical pass sees there.
Image Transpose(const Image& image) {
  Image turned = MakeBlankImage(image.imageHeight, image.imageWidth);
  for (int y = 1; y <= image.imageHeight; ++y) {
    for (int x = 1; x <= image.imageWidth; ++x) {
      const auto grey = static_cast<std::uint8_t>(PixelValue(image, x, y));
      SetPixel(turned, y, x, grey, grey, grey);
    }
  }
  return turned;
}

struct Box {
  int x, y, width, height;
  Orientation orientation = Horizontal;
  bool operator==(const Box&) const = default;
};

void PrintTo(const Box& b, std::ostream* os) {
  *os << "{" << b.x << ", " << b.y << ", " << b.width << ", " << b.height << ", "
      << static_cast<int>(b.orientation) << "}";
}

std::vector<Box> Boxes(const std::vector<Candidate>& candidateList) {
  std::vector<Box> boxes;
  for (const Candidate& c : candidateList) {
    boxes.push_back({c.x, c.y, c.width, c.height, c.orientation});
  }
  return boxes;
}

std::vector<Box> Transposed(const std::vector<Box>& boxes) {
  std::vector<Box> turned;
  for (const Box& b : boxes) {
    turned.push_back(
        {b.y, b.x, b.height, b.width, IsVertical(b.orientation) ? Horizontal : Vertical});
  }
  return turned;
}

// Both passes in the order a run makes them.
std::vector<Box> ScanBoth(const Image& image, bool fineScan) {
  std::vector<Candidate> candidateList;
  ScanHorizontal(image, 200, fineScan, candidateList);
  ScanVertical(image, 200, fineScan, candidateList);
  return Boxes(candidateList);
}

// Bars 4 pixels wide and 4 apart in columns 100..295, rows 50..129.
const Picture referencePicture{400, 200, {{100, 295, 50, 129, 4, 8}}};

TEST(ScanTest, FindsTheReferencePictureOnceInEachSetting) {
  const Image upright = Draw(referencePicture);
  const Image flat = Transpose(upright);
  EXPECT_EQ(ScanBoth(upright, false), (std::vector<Box>{{59, 41, 294, 90}}));
  EXPECT_EQ(ScanBoth(upright, true), (std::vector<Box>{{70, 41, 263, 89}}));
  EXPECT_EQ(ScanBoth(flat, false), (std::vector<Box>{{41, 59, 90, 294, Vertical}}));
  EXPECT_EQ(ScanBoth(flat, true), (std::vector<Box>{{41, 70, 89, 263, Vertical}}));
}

// Each picture is scanned upright by the horizontal pass and transposed by the vertical pass;
// expected are the horizontal pass's rectangles.
struct ScanCase {
  std::string_view name;
  Picture picture;
  std::vector<Box> expected;
  bool fineScan = false;
};

const ScanCase scanCases[] = {
    // The row scores light +1, dark -2, clamped to -20..5; a run opens when it turns negative.
    // A solid blot in front of bars: where the run opens shows in x (start - 40 - 18), and the
    // short blots stop above the middle row, so the left edge walk does not see them.
    {"run opens at the third dark sample, 102 samples long",
     {400, 200, {{201, 220, 50, 129}, {225, 268, 50, 129, 4, 8}}},
     {{147, 41, 178, 89}}},
    {"26 dark samples keep the run",
     {500, 200, {{201, 252, 50, 55}, {257, 348, 50, 129, 4, 8}}},
     {{147, 41, 258, 90}}},
    {"27th dark sample discards the run",
     {500, 200, {{201, 254, 50, 55}, {259, 350, 50, 129, 4, 8}}},
     {{209, 41, 198, 90}}},
    {"23 dark samples after a discard keep the next run",
     {500, 200, {{201, 300, 50, 55}, {305, 396, 50, 129, 4, 8}}},
     {{197, 41, 256, 90}}},
    {"24th dark sample after a discard discards the next run",
     {500, 200, {{201, 302, 50, 55}, {307, 398, 50, 129, 4, 8}}},
     {{257, 41, 198, 90}}},
    {"run of exactly minRun, 100 samples long, is ignored",
     {400, 200, {{201, 220, 50, 129}, {225, 266, 50, 129, 4, 8}}},
     {}},
    // A 13- or 14-pixel blot on row 51 inside a 36-pixel block that no scan line takes as a run.
    {"fine run of exactly minRun is ignored",
     {200, 120, {{90, 125, 41, 50}, {90, 125, 52, 80}, {101, 113, 51, 51}}},
     {},
     true},
    {"fine run one sample over minRun is taken",
     {200, 120, {{90, 125, 41, 50}, {90, 125, 52, 80}, {101, 114, 51, 51}}},
     {{65, 41, 87, 17}},
     true},
    {"normal settings ignore the short run",
     {200, 120, {{90, 125, 41, 50}, {90, 125, 52, 80}, {101, 114, 51, 51}}},
     {}},
    // The rectangle starts 10 pixels above the scan line that found it.
    {"found on row 1", {400, 200, {{100, 295, 1, 80, 4, 8}}}, {{59, 1, 294, 80}}},
    {"found on row 11", {400, 200, {{100, 295, 2, 81, 4, 8}}}, {{59, 1, 294, 82}}},
    {"found on row 21", {400, 200, {{100, 295, 12, 91, 4, 8}}}, {{59, 11, 294, 82}}},
    // Bars up to the last column: the run is still open at the last sample.
    {"run open at the last sample reaches beyond the right edge",
     {300, 200, {{1, 300, 50, 129, 4, 8}}},
     {{1, 41, 338, 89}}},
    {"run open at the last sample ends there",
     {400, 200, {{100, 399, 50, 129, 4, 8}}},
     {{59, 41, 340, 89}}},
    // The extent walk starts a third of the way down the first guess and needs more than 10 dark
    // pixels in its first band, then more than half the first count in every later one.
    {"first band of 10 keeps the first step",
     {600, 200, {{100, 407, 50, 81, 4, 8}, {232, 250, 82, 82, 1, 2}}},
     {{59, 41, 406, 41}}},
    {"first band of 11 goes on",
     {600, 200, {{100, 407, 50, 81, 4, 8}, {232, 252, 82, 82, 1, 2}}},
     {{59, 41, 406, 43}}},
    {"half the first count stops the walk",
     {600, 200, {{100, 407, 50, 81, 4, 8}, {232, 262, 82, 82, 1, 2}, {232, 246, 84, 84, 1, 2}}},
     {{59, 41, 406, 43}}},
    {"more than half the first count goes on",
     {600, 200, {{100, 407, 50, 81, 4, 8}, {232, 262, 82, 82, 1, 2}, {232, 248, 84, 84, 1, 2}}},
     {{59, 41, 406, 45}}},
    {"an empty first band on a short run fails the size test",
     {600, 200, {{100, 399, 50, 80, 4, 8}}},
     {}},
    {"walk failing at twice the first height takes that height",
     {400, 300, {{100, 295, 50, 211, 4, 8}}},
     {{59, 41, 294, 172}}},
    // Past twice the first height the guess stands, and row 141 then starts a new candidate.
    {"walk passing twice the first height keeps the first height",
     {400, 300, {{100, 295, 50, 213, 4, 8}}},
     {{59, 41, 294, 86}, {59, 131, 294, 84}}},
    {"bars running off the bottom end at the last row",
     {400, 120, {{100, 295, 50, 120, 4, 8}}},
     {{59, 41, 294, 79}}},
    // The edge walks follow the middle row of the first guess, or the last row if that is lower.
    {"edge walks on the last row when the middle lies below it",
     {400, 83, {{100, 295, 50, 83, 4, 8}, {60, 70, 83, 83}}},
     {{41, 41, 312, 42}}},
    {"left edge walk may end on the first column",
     {400, 200, {{42, 237, 50, 129, 4, 8}}},
     {{1, 41, 294, 90}}},
    {"left edge walk that runs out leaves the edge",
     {400, 200, {{40, 235, 50, 129, 4, 8}}},
     {{17, 41, 276, 90}}},
    {"right edge walk may end on the last column",
     {353, 200, {{100, 295, 50, 129, 4, 8}}},
     {{59, 41, 294, 90}}},
    {"right edge walk that runs out leaves the edge",
     {352, 200, {{100, 295, 50, 129, 4, 8}}},
     {{59, 41, 276, 90}}},
    {"height above a tenth of the width is accepted",
     {600, 200, {{100, 415, 50, 82, 4, 8}}},
     {{59, 41, 414, 42}}},
    {"height of exactly a tenth of the width is refused",
     {600, 200, {{100, 423, 50, 82, 4, 8}}},
     {}},
    // The band reaches the scan line itself at 10 rows: an 18-pixel blot there holds 9 of its
    // positions, half the 18 of the block above, which ends the walk at the fine minimum size.
    {"fine height of exactly minSize is refused",
     {200, 120, {{90, 125, 41, 49}, {101, 118, 51, 51}}},
     {},
     true},
    {"fine height above minSize is accepted",
     {200, 120, {{90, 125, 41, 49}, {101, 119, 51, 51}}},
     {{65, 41, 92, 12}},
     true},
    // Top to bottom, then left to right within a row.
    {"candidates come in scan order",
     {800, 400, {{500, 695, 50, 129, 4, 8}, {100, 295, 50, 129, 4, 8}, {100, 295, 250, 329, 4, 8}}},
     {{59, 41, 294, 90}, {459, 41, 294, 90}, {59, 241, 294, 90}}},
    // Fine scan lines 1276, 1281 and 1286: the last of the vertical pass's first block of 256
    // columns, the first of the next, and the last of the picture.
    {"short bars on the last lines of a block and of the picture",
     {700,
      1290,
      {{50, 110, 1272, 1279, 2, 4}, {300, 360, 1277, 1284, 2, 4}, {550, 610, 1282, 1290, 2, 4}}},
     {{20, 1266, 128, 14}, {270, 1271, 128, 14}, {520, 1276, 128, 14}},
     true},
    {"grey at the threshold is dark",
     {400, 200, {{100, 295, 50, 129, 4, 8, 200}}},
     {{59, 41, 294, 90}}},
    {"grey just above the threshold is light", {400, 200, {{100, 295, 50, 129, 4, 8, 201}}}, {}},
};

TEST(ScanTest, ScansTableCasesAlongEitherAxis) {
  for (const ScanCase& c : scanCases) {
    SCOPED_TRACE(c.name);
    const Image image = Draw(c.picture);
    std::vector<Candidate> horizontal;
    ScanHorizontal(image, 200, c.fineScan, horizontal);
    EXPECT_EQ(Boxes(horizontal), c.expected);
    std::vector<Candidate> vertical;
    ScanVertical(Transpose(image), 200, c.fineScan, vertical);
    EXPECT_EQ(Boxes(vertical), Transposed(c.expected));
  }
}

// A candidate already in the list drops any new rectangle whose first guess, before the edges
// are refined, touches it. The reference picture's first guess is x 77, y 41, width 258, height 86.
// Expected are the candidates found after the existing one.
struct OverlapCase {
  std::string_view name;
  Box existing;
  std::vector<Box> found;
};

const OverlapCase overlapCases[] = {
    {"touching the right edge drops rows 51 and 61", {335, 41, 10, 10}, {{59, 61, 294, 70}}},
    {"one column clear of the first guess", {336, 41, 10, 10}, {{59, 41, 294, 90}}},
    {"touching the top left corner drops row 51", {1, 1, 76, 40}, {{59, 51, 294, 80}}},
    {"far away", {1, 1, 5, 5}, {{59, 41, 294, 90}}},
};

TEST(ScanTest, DropsRectanglesOverlappingEarlierCandidates) {
  const Image upright = Draw(referencePicture);
  const Image flat = Transpose(upright);
  for (const OverlapCase& c : overlapCases) {
    SCOPED_TRACE(c.name);
    const Box& e = c.existing;
    std::vector<Box> expected = {e};
    expected.insert(expected.end(), c.found.begin(), c.found.end());
    std::vector<Candidate> horizontal = {{e.x, e.y, e.width, e.height, Horizontal, ""}};
    ScanHorizontal(upright, 200, false, horizontal);
    EXPECT_EQ(Boxes(horizontal), expected);
    std::vector<Candidate> vertical = {{e.y, e.x, e.height, e.width, Vertical, ""}};
    ScanVertical(flat, 200, false, vertical);
    EXPECT_EQ(Boxes(vertical), Transposed(expected));
  }
}

TEST(ScanTest, HorizontalCandidateSuppressesTheVerticalPass) {
  // Upright bars and, to their right, flat bars whose first guess reaches up into the upright
  // candidate: alone the vertical pass finds them, after the horizontal pass it must not.
  Image image = Draw({500, 400, {{100, 295, 50, 129, 4, 8}}});
  std::string flatBars;
  for (int bar = 0; bar < 25; ++bar) {
    flatBars += "10";
  }
  DrawBars(image, flatBars, 4, 300, 140, 80, true);
  std::vector<Candidate> verticalOnly;
  ScanVertical(image, 200, false, verticalOnly);
  EXPECT_EQ(Boxes(verticalOnly), (std::vector<Box>{{291, 99, 90, 294, Vertical}}));
  EXPECT_EQ(ScanBoth(image, false), (std::vector<Box>{{59, 41, 294, 90}}));
}

TEST(ScanTest, FindsNothingWithoutBars) {
  // Blank, solid dark (every run drowns at the floor), and too small to hold a scan line.
  for (const Picture& p :
       {Picture{300, 200, {}}, Picture{300, 200, {{1, 300, 1, 200}}}, Picture{1, 1, {{1, 1, 1, 1}}},
        Picture{2, 2, {{1, 2, 1, 2}}}, Picture{1, 300, {{1, 1, 1, 300, 1, 2}}}}) {
    SCOPED_TRACE(std::to_string(p.width) + " x " + std::to_string(p.height));
    EXPECT_TRUE(ScanBoth(Draw(p), false).empty());
    EXPECT_TRUE(ScanBoth(Draw(p), true).empty());
  }
  EXPECT_TRUE(ScanBoth(Image{}, false).empty());
}

// Bar groups of random widths, spacing and size, upright and flat; the wide pictures make the
// vertical pass take its scan columns in more than one block.
Image RandomPicture(unsigned seed, int width, int height) {
  std::mt19937 random(seed);
  Image image = MakeBlankImage(width, height);
  const int groups = width * height / 40000;
  for (int group = 0; group < groups; ++group) {
    std::string modules;
    const int bars = 15 + static_cast<int>(random() % 30);
    for (int b = 0; b < bars; ++b) {
      modules += std::string(1 + random() % 3, '1') + std::string(1 + random() % 3, '0');
    }
    const int moduleWidth = 1 + static_cast<int>(random() % 3);
    const int length = 20 + static_cast<int>(random() % 120);
    const int x = 1 + static_cast<int>(random() % static_cast<unsigned>(width));
    const int y = 1 + static_cast<int>(random() % static_cast<unsigned>(height));
    DrawBars(image, modules, moduleWidth, x, y, length, random() % 2 == 1);
  }
  return image;
}

// A run-length picture 400 x 200, wider than tall, with referencePicture's bars; a delta leaves
// the first 60 columns of the bars' rows unset (black). Palette index 0 is black, 1 white.
std::vector<std::uint8_t> PartlySetRleBitmap() {
  std::vector<std::uint8_t> stream;
  const auto run = [&](int count, std::uint8_t index) {
    for (; count > 0; count -= 255) {
      stream.insert(stream.end(), {static_cast<std::uint8_t>(std::min(count, 255)), index});
    }
  };
  for (int y = 200; y >= 1; --y) {  // the stream runs bottom row first
    if (y >= 50 && y <= 129) {
      stream.insert(stream.end(), {0, 2, 60, 0});
      run(39, 1);
      for (int x = 100; x <= 295; x += 8) {
        run(4, 0);
        run(x + 4 <= 295 ? 4 : 0, 1);
      }
      run(400 - 295, 1);
    } else {
      run(400, 1);
    }
    stream.insert(stream.end(), {0, 0});
  }
  stream.insert(stream.end(), {0, 1});
  return WriteBmp({.width = 400,
                   .height = 200,
                   .bitCount = 8,
                   .compression = 1,
                   .coloursUsed = 2,
                   .palette = {0x000000, 0xFFFFFF},
                   .pixels = stream});
}

// Pixels a file left unset read as black without being touched: the passes must find what they
// find in the same picture with every pixel set.
TEST(ScanTest, PartlySetPictureScansLikeItsWholeCopy) {
  Image partlySet;
  ASSERT_EQ(DecodeBmp(PartlySetRleBitmap(), partlySet), BmpRefusal::None);
  ASSERT_FALSE(partlySet.setColumns.empty());
  Image whole;
  ASSERT_TRUE(ViewPixels(partlySet.greyBytes, partlySet.imageWidth, partlySet.imageHeight,
                         partlySet.rowPitch, partlySet.pixelStep, whole));
  for (const bool fineScan : {false, true}) {
    SCOPED_TRACE(fineScan ? "fine" : "normal");
    const std::vector<Box> found = ScanBoth(whole, fineScan);
    EXPECT_FALSE(found.empty());
    EXPECT_EQ(ScanBoth(partlySet, fineScan), found);
  }
}

TEST(ScanTest, VerticalPassIsTheTransposedHorizontalPass) {
  struct Size {
    int width, height;
  };
  int found = 0;
  unsigned seed = 0;
  for (const Size size : {Size{5393, 211}, Size{2693, 411}, Size{1301, 1033}, Size{777, 1013}}) {
    const Image image = RandomPicture(++seed, size.width, size.height);
    const Image turned = Transpose(image);
    for (const bool fineScan : {false, true}) {
      for (const int threshold : {160, 200}) {
        SCOPED_TRACE("seed " + std::to_string(seed) + (fineScan ? " fine" : " normal") +
                     " threshold " + std::to_string(threshold));
        std::vector<Candidate> vertical;
        ScanVertical(image, threshold, fineScan, vertical);
        std::vector<Candidate> horizontal;
        ScanHorizontal(turned, threshold, fineScan, horizontal);
        EXPECT_EQ(Boxes(vertical), Transposed(Boxes(horizontal)));
        found += static_cast<int>(vertical.size());
      }
    }
  }
  // The comparison means nothing unless the pictures hold barcodes to find.
  EXPECT_GT(found, 100);
}

}  // namespace

}  // namespace strixa
