// SPDX-License-Identifier: Apache-2.0
// Whole runs on pictures drawn in memory: load, localise, decode, consolidate, print.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/driver.h"
#include "support/builders.h"
#include "support/code128Encoder.h"
#include "support/code39Encoder.h"
#include "support/eanEncoder.h"
#include "support/fakePlatform.h"
#include "support/twoOfFiveEncoder.h"

namespace strixa {

namespace {

// The lines a run prints for the picture, switches first.
std::vector<std::string> ReadPicture(const Image& picture, std::vector<std::string> switches = {}) {
  FakePlatform platform;
  platform.files["picture.bmp"] = MakeBmp(picture);
  platform.arguments = std::move(switches);
  platform.arguments.push_back("picture.bmp");
  RunProgram(platform);
  return platform.lines;
}

// A white picture with one upright symbol drawn from its pixel string at (x, y).
Image PictureWith(std::string_view pixels, int width, int height, int x, int y, int barHeight) {
  Image picture = MakeBlankImage(width, height);
  DrawBars(picture, pixels, 1, x, y, barHeight);
  return picture;
}

using Lines = std::vector<std::string>;

const std::string ean13 = Widen(EncodeEan13("2712345678902"), 3);
const std::string upcA = Widen(EncodeEan13("0012345678905"), 2);

struct TurnCase {
  std::string_view name;
  std::string pixels;
  Lines expected;
};

TEST(EndToEndTest, ReadsSymbolsUprightAndTurned) {
  const TurnCase cases[] = {
      {"EAN-13", ean13, {"EAN13\t2712345 678902"}},
      {"UPC-A", upcA, {"UPC-A\t012345 678905"}},
      {"EAN-8", Widen(EncodeEan8("24680134"), 3), {"EAN8\t2468 0134"}},
      {"Code 128 set B to C",
       Widen(EncodeCode128({104, 33, 34, 99, 12, 34, 56}), 2),
       {"CODE128\tAB123456"}},
      {"EAN-128", Widen(EncodeCode128({105, 102, 1, 23, 45}), 3), {"EAN128\t012345"}},
      {"Code 39 ratio 3", Code39Pixels("*CODE-39*", 2, 6, 2), {"CODE39\tCODE-39"}},
      {"Code 39 ratio 2", Code39Pixels("*A1$*", 3, 6, 3), {"CODE39\tA1$"}},
      {"2 of 5 interleaved", InterleavedTwoOfFivePixels("12345670", 3, 9), {"2/5i\t12345670"}},
      {"2 of 5", TwoOfFivePixels("9081726354", 3, 8), {"2/5\t9081726354"}},
  };
  for (const TurnCase& c : cases) {
    const Image upright =
        PictureWith(c.pixels, static_cast<int>(c.pixels.size()) + 120, 220, 60, 50, 110);
    for (int turns = 0; turns < 4; ++turns) {
      SCOPED_TRACE(std::string(c.name) + " turned " + std::to_string(90 * turns));
      EXPECT_EQ(ReadPicture(RotateImage(upright, turns)), c.expected);
    }
  }
}

TEST(EndToEndTest, ReadsSeveralSymbolsInScanOrder) {
  Image picture = MakeBlankImage(900, 700);
  DrawBars(picture, ean13, 1, 60, 40, 100);
  DrawBars(picture, upcA, 1, 480, 480, 90);
  DrawBars(picture, Widen(EncodeEan13("5901234123457"), 3), 1, 400, 60, 300, true);
  EXPECT_EQ(ReadPicture(picture),
            (Lines{"EAN13\t2712345 678902", "UPC-A\t012345 678905", "EAN13\t5901234 123457"}));
}

TEST(EndToEndTest, ReadsASymbolNearTheRightAndBottomEdges) {
  const int width = static_cast<int>(ean13.size()) + 50;
  Image picture = PictureWith(ean13, width, 160, 45, 60, 100);
  EXPECT_EQ(ReadPicture(picture), Lines{"EAN13\t2712345 678902"});
}

TEST(EndToEndTest, PrintsPositionsWithTheExtraCarriageReturn) {
  const Image picture = PictureWith(ean13, 420, 220, 60, 50, 110);
  FakePlatform platform;
  platform.files["picture.bmp"] = MakeBmp(picture);
  platform.arguments = {"/P", "picture.bmp"};
  RunProgram(platform);
  EXPECT_EQ(platform.output, "19\t41\t380\t120\tEAN13\t2712345 678902\r\r\n");
}

TEST(EndToEndTest, TwoOfFiveNeedsAReadableWideToNarrowRatio) {
  const TurnCase cases[] = {
      {"interleaved 2/4", InterleavedTwoOfFivePixels("123456", 2, 4), {"2/5i\t123456"}},
      {"interleaved 2/3: wide under 1.5 narrow", InterleavedTwoOfFivePixels("123456", 2, 3), {}},
      {"interleaved 2/6", InterleavedTwoOfFivePixels("123456", 2, 6), {"2/5i\t123456"}},
      {"2 of 5 3/6", TwoOfFivePixels("123456", 3, 6), {"2/5\t123456"}},
      {"2 of 5 3/9", TwoOfFivePixels("123456", 3, 9), {"2/5\t123456"}},
  };
  for (const TurnCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Image upright =
        PictureWith(c.pixels, static_cast<int>(c.pixels.size()) + 120, 220, 60, 50, 110);
    EXPECT_EQ(ReadPicture(upright), c.expected);
    EXPECT_EQ(ReadPicture(RotateImage(upright, 1)), c.expected);
  }
}

TEST(EndToEndTest, PicturesWithoutReadableSymbolsPrintNothing) {
  Image bars = MakeBlankImage(400, 200);
  DrawBars(bars, Widen("1010011010001011001", 6), 1, 60, 50, 100);
  EXPECT_EQ(ReadPicture(bars), Lines{});
  EXPECT_EQ(ReadPicture(MakeBlankImage(300, 300, 0)), Lines{});
}

}  // namespace

}  // namespace strixa
