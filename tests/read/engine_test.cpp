// SPDX-License-Identifier: Apache-2.0
#include "read/engine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "image/image.h"
#include "locate/candidate.h"
#include "robust/robust.h"
#include "support/canvas.h"
#include "support/eanEncoder.h"
#include "support/turnedSymbol.h"
#include "support/twoOfFiveEncoder.h"
#include "symbologies/symbology.h"

namespace strixa {

namespace {

// A symbol length long and height high whose first bar's top is at start, read at angle degrees.
RobustBarcode Symbol(RobustPoint start, double length, double height, double angle) {
  const double radians = angle * std::numbers::pi / 180;
  const RobustPoint along{std::cos(radians) * length, std::sin(radians) * length};
  const RobustPoint down{-std::sin(radians) * height, std::cos(radians) * height};
  RobustBarcode barcode;
  barcode.symbology = Symbology::Ean13;
  barcode.text = "5901234 123457";
  barcode.angle = angle;
  barcode.corners = {RobustPoint{start.x, start.y},
                     RobustPoint{start.x + along.x, start.y + along.y},
                     RobustPoint{start.x + along.x + down.x, start.y + along.y + down.y},
                     RobustPoint{start.x + down.x, start.y + down.y}};
  return barcode;
}

struct ShapeCase {
  std::string_view name;
  double angle;
  Orientation orientation;
  int x, y, width, height;
};

TEST(EngineTest, ARobustReadTakesTheBoxOfItsCornersAndTheNearestOrientation) {
  // A symbol 190 long and 60 high from (100.5, 50.25), within a picture of 400 x 300: the
  // rectangle takes in every pixel a corner reaches into, as far as the picture goes.
  const ShapeCase cases[] = {
      {"upright", 0, Orientation::Horizontal, 101, 51, 191, 61},
      {"turned a little", 44, Orientation::Horizontal, 59, 51, 180, 176},
      {"nearer flat", 46, Orientation::Vertical, 58, 51, 176, 179},
      {"flat", 90, Orientation::Vertical, 41, 51, 61, 191},
      {"reversed, cut by the picture's corner", 200, Orientation::HorizontalReversed, 1, 1, 122,
       51},
      {"flat reversed, cut by the top", 280, Orientation::VerticalReversed, 101, 1, 93, 61},
      {"a hair below a full turn", 359.99, Orientation::Horizontal, 101, 51, 191, 61},
  };
  for (const ShapeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const RobustBarcode barcode = Symbol({100.5, 50.25}, 190, 60, c.angle);
    const EngineResult result = FromRobust(barcode, 400, 300);
    EXPECT_EQ(result.candidate.orientation, c.orientation);
    EXPECT_EQ(result.candidate.x, c.x);
    EXPECT_EQ(result.candidate.y, c.y);
    EXPECT_EQ(result.candidate.width, c.width);
    EXPECT_EQ(result.candidate.height, c.height);
    EXPECT_EQ(result.candidate.text, barcode.text);
    EXPECT_TRUE(result.measured);
    EXPECT_EQ(result.corners[2].x, barcode.corners[2].x);
  }
}

struct SameCase {
  std::string_view name;
  Box document;  // 1-based, the pixel box from x - 1 to x - 1 + width
  bool same;
  std::string_view text = "5901234 123457";
  Symbology symbology = Symbology::Ean13;
};

TEST(EngineTest, ARobustReadIsADocumentBarcodeOnlyWithItsTextNearItsBars) {
  // Upright, 190 long and 60 high, its pixel box 100 to 290 by 50 to 110.
  const EngineResult upright = FromRobust(Symbol({100, 50}, 190, 60, 0), 1000, 1000);
  const SameCase uprightCases[] = {
      {"the same box", {101, 51, 190, 60}, true},
      {"a band across the bars", {121, 81, 150, 5}, true},
      {"another text", {101, 51, 190, 60}, false, "5901234 123464"},
      {"another symbology", {101, 51, 190, 60}, false, "5901234 123457", Symbology::UpcA},
      {"touching its end", {291, 51, 100, 60}, true},
      {"a pixel after its end", {292, 51, 100, 60}, false},
      {"a pixel before its start", {1, 51, 98, 60}, false},
      {"below, within its length", {101, 300, 190, 60}, true},
      {"below, past its length", {101, 302, 190, 60}, false},
      {"above, within its length", {101, 1, 190, 1}, true},
  };
  for (const SameCase& c : uprightCases) {
    SCOPED_TRACE(c.name);
    const Candidate document{c.document.x,
                             c.document.y,
                             c.document.width,
                             c.document.height,
                             Orientation::Horizontal,
                             std::string(c.text),
                             c.symbology};
    EXPECT_EQ(IsSameBarcode(upright, document), c.same);
  }
  // Turned 40 degrees from (300, 300): its bars run down and to the left.
  const EngineResult turned = FromRobust(Symbol({300, 300}, 190, 60, 40), 1000, 1000);
  const SameCase turnedCases[] = {
      {"across its middle", {330, 360, 40, 10}, true},
      {"along its bars, within its length", {196, 421, 5, 5}, true},
      {"before its start, beside the bars' line", {151, 171, 20, 20}, false},
      {"past its end", {480, 430, 20, 20}, false},
  };
  for (const SameCase& c : turnedCases) {
    SCOPED_TRACE(c.name);
    const Candidate document{c.document.x,
                             c.document.y,
                             c.document.width,
                             c.document.height,
                             Orientation::Horizontal,
                             std::string(c.text),
                             c.symbology};
    EXPECT_EQ(IsSameBarcode(turned, document), c.same);
  }
}

// The document pipeline read one EAN-13 upright at 100..290 by 50..110; the second engine's reads
// come in this order.
TEST(EngineTest, MergingKeepsTheDocumentReadsThenNewSymbolsAndNoSecondText) {
  const auto upright = [](RobustPoint start, std::string text, double angle = 0) {
    RobustBarcode barcode = Symbol(start, 190, 60, angle);
    barcode.text = std::move(text);
    return barcode;
  };
  const std::vector<Candidate> document = {
      {101, 51, 190, 60, Orientation::Horizontal, "5901234 123457", Symbology::Ean13}};
  const std::vector<RobustBarcode> robust = {
      upright({100.4, 50.2}, "5901234 123457"),        // the same symbol: dropped
      upright({320, 50}, "5901234 123457"),            // the same text beside it: kept
      upright({104, 53}, "5901234 123464"),            // another text on its bars: dropped
      upright({100, 400}, "4006381 333931"),           // another symbol further down: kept
      upright({300, 100}, "4006381 333931", 180),      // another text, its centre inside: dropped
      upright({150.5, 290.5}, "4006381 333931", 270),  // its bars reach over, centres apart: kept
      upright({170.5, 240.5}, "4006381 333931", 270),  // over its centre, its own outside: dropped
      upright({100.5, 120.5}, "4006381 333931"),       // just below it: kept
  };
  const std::vector<EngineResult> merged = MergeReads(document, robust, 1000, 1000);
  const struct {
    int x, y;
    std::string_view text;
    bool measured;
  } expected[] = {
      {101, 51, "5901234 123457", false}, {321, 51, "5901234 123457", true},
      {101, 401, "4006381 333931", true}, {151, 101, "4006381 333931", true},
      {101, 121, "4006381 333931", true},
  };
  ASSERT_EQ(merged.size(), std::size(expected));
  for (std::size_t i = 0; i < merged.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(merged[i].candidate.x, expected[i].x);
    EXPECT_EQ(merged[i].candidate.y, expected[i].y);
    EXPECT_EQ(merged[i].candidate.text, expected[i].text);
    EXPECT_EQ(merged[i].measured, expected[i].measured);
  }
}

// Light across a 2 of 5 symbol leaves a piece that ends in a stop its data spell, and the
// document pipeline reads it. Both engines together drop it where the symbol's bars go on past
// the light, and keep a whole symbol, one with a short quiet zone, and labels side by side.
TEST(EngineTest, BothEnginesDropTheDocumentPipelinesPiecesOf2Of5Symbols) {
  const std::string light(15, '0');
  const std::string plain = TwoOfFivePixels("123456", 1, 3);
  const std::string interleaved = InterleavedTwoOfFivePixels("123456", 1, 3);
  const std::string plainBars = TwoOfFivePixels("78907890", 1, 3).substr(20, 60);
  const std::string interleavedBars = InterleavedTwoOfFivePixels("78907890", 1, 3).substr(8, 60);
  const struct {
    std::string_view name;
    Drawing drawing;
    Symbology symbology;
    bool piece;
  } cases[] = {
      {"2 of 5 whose bars go on past light",
       {.modules = plain + light + plainBars, .blur = 0.7},
       Symbology::TwoOfFive,
       true},
      {"interleaved 2 of 5 whose bars go on past light",
       {.modules = interleaved + light + interleavedBars, .blur = 0.7},
       Symbology::InterleavedTwoOfFive,
       true},
      {"2 of 5 alone, six narrows of quiet zone",
       {.modules = plain, .margin = 12, .blur = 0.7},
       Symbology::TwoOfFive,
       false},
      {"interleaved 2 of 5 with an EAN-8 in line beside it",
       {.modules = interleaved + light + EncodeEan8("96385074"), .blur = 0.7},
       Symbology::InterleavedTwoOfFive,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Picture picture;
    DrawSymbol(c.drawing, picture);
    const auto reads = [&](Engine engine) {
      return std::ranges::count_if(
          ReadWithEngine(picture.image, engine, Scan::Normal), [&](const EngineResult& result) {
            return result.candidate.symbology == c.symbology && result.candidate.text == "123456";
          });
    };
    ASSERT_EQ(reads(Engine::Document), 1);
    EXPECT_EQ(reads(Engine::Both), c.piece ? 0 : 1);
  }
}

// Light that fades the rest of a 2 of 5 symbol rather than blanking it leaves no quiet zone
// the robust engine would read the piece by, while the document pipeline's fixed threshold takes
// the faded bars for light: the piece is found again by its known text, and dropped.
TEST(EngineTest, BothEnginesDropAPieceWhoseRestTheLightFades) {
  constexpr int module = 3;
  const std::string piece = TwoOfFivePixels("123456", 1, 3) + "0";
  const std::string rest = TwoOfFivePixels("78907890", 1, 3).substr(20, 90);
  const int quiet = 20 * module;
  const int height = 40 * module;
  // In the paper's grey there is no rest: the symbol is whole.
  const struct {
    int restGrey;
    int both;
  } cases[] = {{235, 1}, {160, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.restGrey);
    Canvas canvas = MakeCanvas(2 * quiet + static_cast<int>(piece.size() + rest.size()) * module,
                               2 * quiet + height, 235);
    for (std::size_t i = 0; i < piece.size() + rest.size(); ++i) {
      const bool inPiece = i < piece.size();
      if ((inPiece ? piece[i] : rest[i - piece.size()]) == '1') {
        FillBox(canvas, quiet + static_cast<int>(i) * module, quiet, module, height,
                inPiece ? 30.0F : static_cast<float>(c.restGrey));
      }
    }
    Blur(canvas, 0.7);
    const std::vector<std::uint8_t> grey = GreyBytes(canvas);
    Image image;
    ASSERT_TRUE(ViewPixels(grey.data(), canvas.width, canvas.height, canvas.width, 1, image));
    const auto reads = [&image](Engine engine) {
      return std::ranges::count_if(ReadWithEngine(image, engine, Scan::Normal),
                                   [](const EngineResult& result) {
                                     return result.candidate.symbology == Symbology::TwoOfFive &&
                                            result.candidate.text == "123456";
                                   });
    };
    ASSERT_EQ(reads(Engine::Document), 1);
    EXPECT_EQ(reads(Engine::Both), c.both);
  }
}

}  // namespace

}  // namespace strixa
