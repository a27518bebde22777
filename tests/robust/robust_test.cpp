// SPDX-License-Identifier: Apache-2.0
// GCC 12 at -O3 (the Windows Release build) takes the strings inlined from the case table's
// designated initialisers for uninitialised, a false alarm. The warning's place is in <string>,
// so this must come before the includes.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include "robust/robust.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "image/image.h"
#include "platform/bitmap.h"
#include "support/builders.h"
#include "support/canvas.h"
#include "support/code128Encoder.h"
#include "support/code39Encoder.h"
#include "support/eanEncoder.h"
#include "support/photoDamage.h"
#include "support/turnedSymbol.h"
#include "support/twoOfFiveEncoder.h"

namespace strixa {

namespace {

std::vector<RobustBarcode> ReadDrawing(const Drawing& drawing) {
  Picture picture;
  DrawSymbol(drawing, picture);
  return ReadRobust(picture.image);
}

// Code 128 values of text in code set B, led by Start B.
std::vector<int> SetB(std::string_view text) {
  std::vector<int> values = {104};
  for (const char c : text) {
    values.push_back(c - 32);
  }
  return values;
}

const std::string ean13 = EncodeEan13("5901234123457");
const std::string code128 = EncodeCode128(SetB("Strixa-1"));
const std::string code39 = Code39Pixels("*STRIXA-39*", 1, 3, 1);
const std::string interleaved = InterleavedTwoOfFivePixels("04012345", 1, 3);
const std::string ean13Text = "5901234 123457";
const std::string code128Text = std::string("Strixa-1\0]C0Strixa-1", 20);

// A tight label, one module of paper beside the symbol, on a surface as dark as its bars,
// `before` and `after` modules wide.
std::string OnDarkGround(const std::string& symbol, int before, int after) {
  return std::string(static_cast<std::size_t>(before), '1') + "0" + symbol + "0" +
         std::string(static_cast<std::size_t>(after), '1');
}

// A symbol of Start A, one character whose elements are 1.5 1.7 1.6 3.4 1.8 1.0 modules wide, its
// check character drawn alike, and Stop. Value 31's pattern (2 1 2 3 2 1) fits those widths best,
// value 66's (1 2 1 4 2 1), the symbol's, less than a module worse.
std::string LoneCharacterBetweenTwoPatterns() {
  std::string character;
  bool bar = true;
  for (const int tenths : {15, 17, 16, 34, 18, 10}) {
    character.append(static_cast<std::size_t>(tenths), bar ? '1' : '0');
    bar = !bar;
  }
  const std::string symbol = Widen(EncodeCode128({103, 66}), 10);
  return symbol.substr(0, 110) + character + character + symbol.substr(330);
}

// A 2 of 5 symbol drawn three pixels a narrow element, its narrow element number nth (from
// nought) of one kind ('1' bars, '0' spaces) cut to a hairline at its middle: a printer never
// makes one, and clutter stripes beside a label do.
std::string WithHairline(std::string pixels, char kind, int nth) {
  std::size_t at = 0;
  for (int seen = 0; at < pixels.size(); at += 3) {
    const bool starts = pixels[at] == kind && (at == 0 || pixels[at - 1] != kind);
    const bool narrow = starts && (at + 3 >= pixels.size() || pixels[at + 3] != kind);
    if (narrow && seen++ == nth) {
      pixels[at] = pixels[at + 2] = kind == '1' ? '0' : '1';
      break;
    }
  }
  return pixels;
}

// Bars `grow` pixels wider on each side (narrower where negative), as ink spreads or thins.
std::string WithSpread(const std::string& pixels, int grow) {
  const char gains = grow > 0 ? '1' : '0';
  std::string out = pixels;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    for (int d = -std::abs(grow); d <= std::abs(grow); ++d) {
      const auto j = static_cast<std::ptrdiff_t>(i) + d;
      if (j >= 0 && j < static_cast<std::ptrdiff_t>(pixels.size()) &&
          pixels[static_cast<std::size_t>(j)] == gains) {
        out[i] = gains;
      }
    }
  }
  return out;
}

// Modules `pixels` wide each with every edge rounded to a whole pixel, as a label printer's or a
// screen's pixels, or a scan thresholded to black and white, have them.
std::string OnWholePixels(const std::string& modules, double pixels) {
  std::string out;
  for (double x = 0.5; x < static_cast<double>(modules.size()) * pixels; x += 1) {
    out += modules[static_cast<std::size_t>(x / pixels)];
  }
  return out;
}

// UPC-A 0123777456785 drawn in twentieths of a module, its guards' bars widened over their inner
// spaces by three twentieths a side, as blur draws single modules. Where sevensBlurred, the 7s of
// its left half (1 3 1 2 modules) are drawn 1.65 2.35 1.6 1.4, as heavy blur between their wide
// bars draws them: a 1's 2 2 2 1 with the guards' spread fits those better than a 7's, and
// 0123111456785 passes the check too.
std::string UpcWithGuardSpread(bool sevensBlurred) {
  const std::string modules = EncodeEan13("0123777456785");
  std::vector<int> twentieths;
  for (std::size_t i = 0; i < modules.size(); ++i) {
    if (i == 0 || modules[i] != modules[i - 1]) {
      twentieths.push_back(0);
    }
    twentieths.back() += 20;
  }
  const auto set = [&twentieths](std::size_t first, std::vector<int> widths) {
    std::copy(widths.begin(), widths.end(),
              twentieths.begin() + static_cast<std::ptrdiff_t>(first));
  };
  set(0, {23, 14, 23});
  set(27, {17, 26, 14, 26, 17});
  set(56, {23, 14, 23});
  if (sevensBlurred) {
    for (const std::size_t digit : {3, 4, 5}) {
      set(3 + 4 * digit, {33, 47, 32, 28});
    }
  }
  std::string out;
  for (std::size_t i = 0; i < twentieths.size(); ++i) {
    out.append(static_cast<std::size_t>(twentieths[i]), i % 2 == 0 ? '1' : '0');
  }
  return out;
}

struct ReadCase {
  std::string_view name;
  Drawing drawing;
  Symbology symbology;
  std::string text;
};

TEST(RobustTest, ReadsEverySymbologyAndHardPicture) {
  const ReadCase cases[] = {
      {"EAN-13", {.modules = ean13}, Symbology::Ean13, ean13Text},
      {"UPC-A", {.modules = EncodeEan13("0036000291452")}, Symbology::UpcA, "036000 291452"},
      {"EAN-8", {.modules = EncodeEan8("96385074")}, Symbology::Ean8, "9638 5074"},
      {"Code 128", {.modules = code128}, Symbology::Code128, code128Text},
      {"EAN-128",
       {.modules = EncodeCode128({105, 102, 1, 23, 45, 67})},
       Symbology::Ean128,
       std::string("01234567\0]C101234567", 20)},
      {"Code 39", {.modules = code39}, Symbology::Code39, "STRIXA-39"},
      {"2 of 5", {.modules = TwoOfFivePixels("123456", 1, 3)}, Symbology::TwoOfFive, "123456"},
      {"2 of 5 ending in a wide, a narrow and a wide bar",
       {.modules = TwoOfFivePixels("123456", 1, 3) + "0111"},
       Symbology::TwoOfFive,
       "123456"},
      {"interleaved 2 of 5", {.modules = interleaved}, Symbology::InterleavedTwoOfFive, "04012345"},
      {"Code 128 without a margin",
       {.modules = code128, .margin = 0},
       Symbology::Code128,
       code128Text},
      {"EAN-13 on a tight label on a dark ground",
       {.modules = OnDarkGround(ean13, 12, 12)},
       Symbology::Ean13,
       ean13Text},
      {"Code 128 on a tight label on a dark ground",
       {.modules = OnDarkGround(code128, 12, 12)},
       Symbology::Code128,
       code128Text},
      {"EAN-13 cropped tight, a sliver of dark ground left at the picture's edges",
       {.modules = OnDarkGround(ean13, 2, 2), .margin = 0},
       Symbology::Ean13,
       ean13Text},
      {"Code 39 on a tight label on a dark ground",
       {.modules = OnDarkGround(code39, 12, 12)},
       Symbology::Code39,
       "STRIXA-39"},
      // At a wide-to-narrow ratio of two, a narrow bar grown so is as wide as a wide space.
      {"Code 39 of ratio 2, its bars grown by a pixel each side of 4",
       {.modules = WithSpread(Code39Pixels("*STRIXA-39*", 4, 8, 4), 1), .module = 1},
       Symbology::Code39,
       "STRIXA-39"},
      {"Code 39 of ratio 2, its bars thinned by a pixel each side of 4",
       {.modules = WithSpread(Code39Pixels("*STRIXA-39*", 4, 8, 4), -1), .module = 1},
       Symbology::Code39,
       "STRIXA-39"},
      {"Code 39 on mid-grey",
       {.modules = code39, .ink = 40, .paper = 128},
       Symbology::Code39,
       "STRIXA-39"},
      {"EAN-13 under light from 100 to 35 %",
       {.modules = ean13, .darkestLight = 0.35},
       Symbology::Ean13,
       ean13Text},
      {"EAN-13 blurred 2.5 px",
       {.modules = ean13, .module = 5, .blur = 2.5},
       Symbology::Ean13,
       ean13Text},
      // No space of the three 7s or their neighbours is wider than a module, and blur keeps
      // them all from the paper the quiet zones show.
      {"EAN-13 blurred two thirds of a module across three 7s",
       {.modules = EncodeEan13("5901777123457"), .module = 3, .blur = 1.95},
       Symbology::Ean13,
       "5901777 123457"},
      {"EAN-13 turned 30 degrees",
       {.modules = ean13, .height = 120, .angle = 30, .width = 320, .heightPx = 280},
       Symbology::Ean13,
       ean13Text},
      {"Code 128 turned 45 degrees",
       {.modules = code128, .height = 120, .angle = 45, .width = 340, .heightPx = 340},
       Symbology::Code128,
       code128Text},
      {"interleaved 2 of 5 turned 200 degrees",
       {.modules = interleaved, .height = 80, .angle = 200, .width = 260, .heightPx = 200},
       Symbology::InterleavedTwoOfFive,
       "04012345"},
      {"EAN-13 light on dark",
       {.modules = ean13, .ink = 255, .paper = 0},
       Symbology::Ean13,
       ean13Text},
      {"EAN-13 at 1.5 px a module", {.modules = ean13, .module = 1.5}, Symbology::Ean13, ean13Text},
      // A pixel a module, as drawn for a screen: read only where the lines sample the pixels.
      {"EAN-13 at 1 px a module, upright",
       {.modules = ean13, .module = 1, .width = 401, .heightPx = 200},
       Symbology::Ean13,
       ean13Text},
      // Printed zones are ten narrows; a tight label keeps fewer.
      {"interleaved 2 of 5 with quiet zones of 8 narrows",
       {.modules = interleaved, .margin = 16},
       Symbology::InterleavedTwoOfFive,
       "04012345"},
      // A large picture spreads the first lines far apart: one or two cross bars this short.
      {"interleaved 2 of 5 bars 60 px high, turned 20 degrees, in a picture of 1600 x 1200",
       {.modules = interleaved, .height = 60, .angle = 20, .width = 1600, .heightPx = 1200},
       Symbology::InterleavedTwoOfFive,
       "04012345"},
      // On a plain ground the first lines' budget goes to the few cells the label makes busy.
      {"Code 128 bars 30 px high, turned 35 degrees, in a quiet picture of 3000 x 2250",
       {.modules = code128, .height = 30, .angle = 35, .width = 3000, .heightPx = 2250},
       Symbology::Code128,
       code128Text},
      {"Code 128 at 1.5 px a module",
       {.modules = code128, .module = 1.5},
       Symbology::Code128,
       code128Text},
      // Edges rounded to whole pixels lie up to a fifth of a module off at 2.5 px a module, and
      // two of them may put a digit's sums halfway between two patterns'.
      {"EAN-13 at 2.5 px a module, its edges on whole pixels",
       {.modules = OnWholePixels(ean13, 2.5), .module = 1},
       Symbology::Ean13,
       ean13Text},
      // No digit settles by its sums alone, so the guards must say how the line draws elements.
      {"EAN-8 of 1s, 2s, 7s and 8s only",
       {.modules = EncodeEan8("12781287")},
       Symbology::Ean8,
       "1278 1287"},
      {"UPC-A whose guards show more spread than its digits",
       {.modules = UpcWithGuardSpread(false), .module = 0.2},
       Symbology::UpcA,
       "123777 456785"},
      {"Code 128 at 2.25 px a module, its edges on whole pixels",
       {.modules = OnWholePixels(code128, 2.25), .module = 1},
       Symbology::Code128,
       code128Text},
      // A Code 128 needs three measuring lines whose ends line up; one this low still has them.
      {"Code 128 of 25 characters, six modules high, turned 30 degrees",
       {.modules = EncodeCode128(SetB("LONG-LOW-LABEL-0123456789")),
        .height = 12,
        .angle = 30,
        .width = 720,
        .heightPx = 420},
       Symbology::Code128,
       std::string("LONG-LOW-LABEL-0123456789\0]C0LONG-LOW-LABEL-0123456789", 54)},
      {"Code 128 of one character",
       {.modules = EncodeCode128(SetB("7"))},
       Symbology::Code128,
       std::string("7\0]C07", 6)},
      {"Code 128 of one control character, whose check repeats it",
       {.modules = EncodeCode128({103, 66})},
       Symbology::Code128,
       std::string("<STX>\0]C0\x02", 10)},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<RobustBarcode> barcodes = ReadDrawing(c.drawing);
    ASSERT_EQ(barcodes.size(), 1U);
    EXPECT_EQ(barcodes[0].symbology, c.symbology);
    EXPECT_EQ(barcodes[0].text, c.text);
  }
}

// A dim photo's sensor noise, of this deviation in grey levels, on grey paper: edges that stand
// out of it are found, and the noise's own turns do not break the bars into pieces. Bars a pixel
// wide that fill a tight crop are no noise.
TEST(RobustTest, ReadsThroughHeavyNoise) {
  const struct {
    std::string_view name;
    std::string modules;
    double deviation;
    Symbology symbology;
    std::string text;
    double module = 2;
    double margin = 20;
    double height = 80;
    int heightPx = 0;
  } cases[] = {
      {"EAN-13, deviation 30", ean13, 30, Symbology::Ean13, ean13Text},
      {"Code 128, deviation 30", code128, 30, Symbology::Code128, code128Text},
      {"Code 39, deviation 40", code39, 40, Symbology::Code39, "STRIXA-39"},
      {"interleaved 2 of 5, deviation 40", interleaved, 40, Symbology::InterleavedTwoOfFive,
       "04012345"},
      {"Code 128 of pixel modules cropped tight, deviation 3", code128, 3, Symbology::Code128,
       code128Text, 1, 0},
      // The picture's measuring lines read it a few times by chance, its half-size copy's well.
      {"Code 128 of 4-pixel modules, a picture with a half-size copy, deviation 50", code128, 50,
       Symbology::Code128, code128Text, 4, 20, 120, 360},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Picture picture;
    DrawSymbol({.modules = c.modules,
                .module = c.module,
                .height = c.height,
                .heightPx = c.heightPx,
                .margin = c.margin,
                .ink = 40,
                .paper = 210},
               picture);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, c.deviation);
    for (std::uint8_t& grey : picture.grey) {
      grey = static_cast<std::uint8_t>(std::clamp(grey + noise(random), 0.0, 255.0));
    }
    const std::vector<RobustBarcode> barcodes = ReadRobust(picture.image);
    ASSERT_EQ(barcodes.size(), 1U);
    EXPECT_EQ(barcodes[0].symbology, c.symbology);
    EXPECT_EQ(barcodes[0].text, c.text);
  }
}

// A label of modules ("1" dark) module pixels wide, those from widerFrom to widerTo one pixel
// wider, with twelve modules of light either side, laid on a grey desk at scale and turned:
// tilted away about an axis along its bars, or wrapped round a can, then softened as a lens does.
// Its module changes along the symbol.
struct Warp {
  std::string_view name;
  std::string modules;
  double tilt = 0;  // degrees
  double wrap = 0;  // degrees of the can the label spans
  std::size_t widerFrom = 0, widerTo = 0;
  Symbology symbology = Symbology::None;  // None: nothing may read
  std::string text;
  double scale = 1;  // of the label's 3 px a module
  double turn = 0;   // degrees, clockwise
  double blur = 0.5;
};

std::vector<RobustBarcode> ReadWarped(const Warp& warp) {
  constexpr int module = 3;
  std::string pixels;
  for (std::size_t i = 0; i < warp.modules.size(); ++i) {
    pixels.append(i >= warp.widerFrom && i < warp.widerTo ? module + 1 : module, warp.modules[i]);
  }
  const int quiet = 12 * module;
  Canvas label = MakeCanvas(2 * quiet + static_cast<int>(pixels.size()), 40 * module, 235);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    if (pixels[i] == '1') {
      FillBox(label, quiet + static_cast<int>(i), 4 * module, 1, 32 * module, 30);
    }
  }
  Canvas scene = MakeCanvas(1100, 500, 140);
  const Point centre = {550, 250};
  if (warp.wrap > 0) {
    PasteCylinder(scene, label, centre, warp.scale, warp.wrap, warp.turn);
  } else {
    Quad quad = TiltedQuad(label.width, label.height, warp.scale, warp.tilt, 90, warp.turn, 640);
    for (Point& corner : quad) {
      corner = {corner.x + centre.x, corner.y + centre.y};
    }
    PasteQuad(scene, label, quad);
  }
  Blur(scene, warp.blur);
  const std::vector<std::uint8_t> grey = GreyBytes(scene);
  Image image;
  ViewPixels(grey.data(), scene.width, scene.height, scene.width, 1, image);
  return ReadRobust(image);
}

// Tilts and cans change the module along the symbol, by a quarter from one character to the next
// near a can's edge. A character whose scale jumps against its neighbours' is no such change and
// must not read.
TEST(RobustTest, ReadsTiltedAndCurvedSymbolsButNoScaleJumps) {
  const Warp cases[] = {
      {"Code 128 tilted 35 degrees", code128, 35, 0, 0, 0, Symbology::Code128, code128Text},
      {"Code 128 round a can", code128, 0, 150, 0, 0, Symbology::Code128, code128Text},
      {"EAN-13 round a can", ean13, 0, 150, 0, 0, Symbology::Ean13, ean13Text},
      {"Code 39 tilted 35 degrees", code39, 35, 0, 0, 0, Symbology::Code39, "STRIXA-39"},
      {"Code 39 round a can", code39, 0, 150, 0, 0, Symbology::Code39, "STRIXA-39"},
      {"Interleaved 2 of 5 round a can", interleaved, 0, 140, 0, 0, Symbology::InterleavedTwoOfFive,
       "04012345"},
      // No measuring line on pixel centres reads these; lines laid as the reading lines do.
      {"EAN-13 at 1.6 px a module, turned a degree, blurred 0.7 px", ean13, 0, 0, 0, 0,
       Symbology::Ean13, ean13Text, 1.6 / 3, 1, 0.7},
      {"EAN-13 tilted 20 degrees at 1.65 px a module, turned a degree", ean13, 20, 0, 0, 0,
       Symbology::Ean13, ean13Text, 1.65 / 3, 1, 0.6},
      // The third data character, a third wider.
      {"Code 128 with a character's scale jumping", code128, 0, 0, 33, 44, Symbology::None, ""},
      // The fourth digit of the left half.
      {"EAN-13 with a digit's scale jumping", ean13, 0, 0, 24, 31, Symbology::None, ""},
      {"Code 39 with a character's scale jumping", code39, 0, 0, 48, 64, Symbology::None, ""},
      // The third digit pair.
      {"Interleaved 2 of 5 with a pair's scale jumping", interleaved, 0, 0, 40, 58, Symbology::None,
       ""},
  };
  for (const Warp& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<RobustBarcode> barcodes = ReadWarped(c);
    if (c.symbology == Symbology::None) {
      EXPECT_TRUE(barcodes.empty());
      continue;
    }
    EXPECT_EQ(barcodes.size(), 1U);
    for (const RobustBarcode& barcode : barcodes) {
      EXPECT_EQ(barcode.symbology, c.symbology);
      EXPECT_EQ(barcode.text, c.text);
    }
  }
}

// Nothing may read from these; a wrong text is the worst result.
TEST(RobustTest, RefusesPiecesAndLookAlikes) {
  const ReadCase cases[] = {
      {"EAN-13 cut by the picture's edge",
       {.modules = ean13, .width = 150, .shift = 40},
       Symbology::None,
       ""},
      {"Code 128 cut by the picture's edge",
       {.modules = code128, .width = 170, .shift = 50},
       Symbology::None,
       ""},
      {"EAN-13 with a wrong check digit",
       {.modules = EncodeEan13("5901234123458")},
       Symbology::None,
       ""},
      {"Code 128 with a character changed after its check was taken",
       {.modules = code128.substr(0, 22) + Code128Modules('x' - 32) + code128.substr(33)},
       Symbology::None,
       ""},
      // Ink narrower than a quiet zone beyond a module of paper may be a bar of something else,
      // and the rest of a 2 of 5 piece may lie under ink (a finger, a shadow, a sticker).
      {"Code 128 on a dark ground, one module from a bar four modules wide",
       {.modules = OnDarkGround(code128, 12, 4)},
       Symbology::None,
       ""},
      {"interleaved 2 of 5 on a tight label on a dark ground",
       {.modules = OnDarkGround(interleaved, 12, 12)},
       Symbology::None,
       ""},
      {"Code 39 without its stop",
       {.modules = code39, .width = 180, .shift = 50},
       Symbology::None,
       ""},
      // Blur of two thirds of a module draws each element of its 8s and its 7 halfway to a 2's
      // and a 1's, which share their edge-to-like-edge sums; the check passes 42216056 too.
      {"an EAN-8 blurred until its 8s and 7 lie halfway to 2s and a 1",
       {.modules = EncodeEan8("48876056"), .module = 4, .blur = 2.6},
       Symbology::None,
       ""},
      // The digits whose sums settle them show the line draws elements as their patterns have
      // them: the 7s lie nearer neither partner by enough.
      {"a UPC-A whose 7s blur drew halfway to 1s, its guards spread",
       {.modules = UpcWithGuardSpread(true), .module = 0.2},
       Symbology::None,
       ""},
      // Without the hairline both read.
      {"interleaved 2 of 5 with a narrow bar a hairline",
       {.modules = WithHairline(InterleavedTwoOfFivePixels("04012345", 3, 9), '1', 3),
        .module = 1,
        .margin = 40},
       Symbology::None,
       ""},
      {"2 of 5 with a narrow bar a hairline",
       {.modules = WithHairline(TwoOfFivePixels("123456", 3, 9), '1', 4),
        .module = 1,
        .margin = 40},
       Symbology::None,
       ""},
      // Its check repeats the character, so only a clear fit may read it.
      {"a lone Code 128 character nearly as near another pattern",
       {.modules = LoneCharacterBetweenTwoPatterns(), .module = 0.4, .margin = 200},
       Symbology::None,
       ""},
      // A check over one character is passed by one line in a hundred, so such a symbol must be
      // read by lines spread across its bars; a few lines could be crossing a longer symbol.
      {"a one-character Code 128 a few lines high",
       {.modules = EncodeCode128(SetB("7")), .height = 6},
       Symbology::None,
       ""},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(ReadDrawing(c.drawing).empty());
  }
}

// The two 2 of 5 codes have no check: light across a symbol (a fold, a faded band, a bright spot)
// leaves a piece that ends in a stop its data spell. The piece's bars go on past the light, like
// its own; a whole symbol's quiet zone may be followed by stripes of one width, as a ground's.
TEST(RobustTest, RefusesPiecesEndedByLightAcrossTheSymbol) {
  const std::string light(15, '0');
  const std::string plain = TwoOfFivePixels("123456", 1, 3);
  const std::string interleaved = InterleavedTwoOfFivePixels("123456", 1, 3);
  // Bars of the symbols' own kind, from the middle of longer ones.
  const std::string plainBars = TwoOfFivePixels("78907890", 1, 3).substr(20, 60);
  const std::string interleavedBars = InterleavedTwoOfFivePixels("78907890", 1, 3).substr(8, 60);
  std::string stripes;
  for (int i = 0; i < 12; ++i) {
    stripes += "1100";
  }
  const ReadCase cases[] = {
      {"2 of 5 alone", {.modules = plain}, Symbology::TwoOfFive, "123456"},
      {"2 of 5 whose bars go on past light",
       {.modules = plain + light + plainBars},
       Symbology::None,
       ""},
      {"2 of 5 before stripes of one width",
       {.modules = plain + light + stripes},
       Symbology::TwoOfFive,
       "123456"},
      {"interleaved 2 of 5 alone",
       {.modules = interleaved},
       Symbology::InterleavedTwoOfFive,
       "123456"},
      {"interleaved 2 of 5 whose bars go on before light",
       {.modules = interleavedBars + light + interleaved},
       Symbology::None,
       ""},
      {"interleaved 2 of 5 after stripes of one width",
       {.modules = stripes + light + interleaved},
       Symbology::InterleavedTwoOfFive,
       "123456"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    Drawing drawing = c.drawing;
    drawing.blur = 0.7;
    const std::vector<RobustBarcode> barcodes = ReadDrawing(drawing);
    if (c.symbology == Symbology::None) {
      EXPECT_TRUE(barcodes.empty());
    } else {
      ASSERT_EQ(barcodes.size(), 1U);
      EXPECT_EQ(barcodes[0].symbology, c.symbology);
      EXPECT_EQ(barcodes[0].text, c.text);
    }
  }
  // Labels side by side: the other symbol in line is read, and both are.
  const std::vector<RobustBarcode> pair =
      ReadDrawing({.modules = EncodeEan8("96385074") + light + interleaved, .blur = 0.7});
  std::vector<std::string> texts;
  for (const RobustBarcode& barcode : pair) {
    texts.push_back(barcode.text);
  }
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts, (std::vector<std::string>{"123456", "9638 5074"}));
}

// Bars of a 2 of 5 symbol's kind in line beside it, printed paler than it (another label's faint
// print, grey clutter), are not its rest: it reads. Printed in its own ink, they are.
TEST(RobustTest, TellsPalerBarsBesideA2Of5SymbolFromItsRest) {
  constexpr int module = 3;
  const std::string symbol = InterleavedTwoOfFivePixels("123456", 1, 3);
  const std::string beside = InterleavedTwoOfFivePixels("78907890", 1, 3).substr(8, 60);
  const int quiet = 20 * module;
  const int gap = 15 * module;
  const int height = 40 * module;
  for (const int besideGrey : {200, 30}) {
    SCOPED_TRACE(besideGrey);
    const int length = static_cast<int>(symbol.size() + beside.size()) * module + gap;
    Canvas canvas = MakeCanvas(2 * quiet + length, 2 * quiet + height, 235);
    for (std::size_t i = 0; i < symbol.size(); ++i) {
      if (symbol[i] == '1') {
        FillBox(canvas, quiet + static_cast<int>(i) * module, quiet, module, height, 30);
      }
    }
    const int besideFrom = quiet + static_cast<int>(symbol.size()) * module + gap;
    for (std::size_t i = 0; i < beside.size(); ++i) {
      if (beside[i] == '1') {
        FillBox(canvas, besideFrom + static_cast<int>(i) * module, quiet, module, height,
                besideGrey);
      }
    }
    Blur(canvas, 0.7);
    const std::vector<std::uint8_t> grey = GreyBytes(canvas);
    Image image;
    ViewPixels(grey.data(), canvas.width, canvas.height, canvas.width, 1, image);
    const std::vector<RobustBarcode> barcodes = ReadRobust(image);
    if (besideGrey == 30) {
      EXPECT_TRUE(barcodes.empty());
    } else {
      ASSERT_EQ(barcodes.size(), 1U);
      EXPECT_EQ(barcodes[0].text, "123456");
    }
  }
}

// A glare lightens the bars of an EAN-13 over modules litFrom to litTo to grey 150, between paper
// at 235 and ink at 30, and a blur of 0.4 module softens it. A lit wide bar falls short of the ink
// as a narrow one blur spreads does, but it measures wide: its edges stay at its steps' middles.
TEST(RobustTest, ReadsWideBarsAGlareLightens) {
  constexpr int module = 4;
  const std::string modules = EncodeEan13("5901239191918");
  const int quiet = 12 * module;
  for (const auto& [litFrom, litTo] : {std::pair{3, 45}, std::pair{50, 92}}) {
    SCOPED_TRACE(litFrom);
    Canvas canvas = MakeCanvas(2 * quiet + 95 * module, 2 * quiet + 40 * module, 235);
    for (int i = 0; i < 95; ++i) {
      if (modules[static_cast<std::size_t>(i)] == '1') {
        FillBox(canvas, quiet + i * module, quiet, module, 40 * module,
                i >= litFrom && i < litTo ? 150 : 30);
      }
    }
    Blur(canvas, 1.6);
    const std::vector<std::uint8_t> grey = GreyBytes(canvas);
    Image image;
    ViewPixels(grey.data(), canvas.width, canvas.height, canvas.width, 1, image);
    const std::vector<RobustBarcode> barcodes = ReadRobust(image);
    ASSERT_EQ(barcodes.size(), 1U);
    EXPECT_EQ(barcodes[0].text, "5901239 191918");
  }
}

// Two EAN-13 symbols of different texts drawn one above the other, their ends aligned, gap
// modules of light between them, as light that changes across one symbol's bars can split its
// lines into two bands with two texts. Touching bands are one symbol and must print nothing;
// symbols a caption's height apart are two.
std::vector<RobustBarcode> ReadStacked(int gap) {
  constexpr int module = 3;
  const std::string upper = EncodeEan13("5901234123457");
  const std::string lower = EncodeEan13("4006381333931");
  const int quiet = 15 * module;
  const int band = 25 * module;
  Canvas canvas = MakeCanvas(2 * quiet + 95 * module, 2 * quiet + 2 * band + gap * module, 235);
  for (int i = 0; i < 95; ++i) {
    for (int half = 0; half < 2; ++half) {
      if ((half == 0 ? upper : lower)[static_cast<std::size_t>(i)] == '1') {
        FillBox(canvas, quiet + i * module, quiet + half * (band + gap * module), module, band, 30);
      }
    }
  }
  Blur(canvas, 0.5);
  const std::vector<std::uint8_t> grey = GreyBytes(canvas);
  Image image;
  ViewPixels(grey.data(), canvas.width, canvas.height, canvas.width, 1, image);
  return ReadRobust(image);
}

TEST(RobustTest, TellsOneSymbolInTwoBandsFromTwoSymbols) {
  for (const int gap : {0, 2}) {
    SCOPED_TRACE(gap);
    EXPECT_TRUE(ReadStacked(gap).empty());
  }
  const std::vector<RobustBarcode> two = ReadStacked(12);
  ASSERT_EQ(two.size(), 2U);
  EXPECT_EQ(two[0].text, "5901234 123457");
  EXPECT_EQ(two[1].text, "4006381 333931");
}

// Cut anywhere, an interleaved 2 of 5 symbol's tail often spells a shorter symbol whose start is
// the first narrow elements of a pair: the picture's edge must not stand in for its quiet zone.
TEST(RobustTest, RefusesInterleavedTwoOfFiveCutByTheEdge) {
  const std::string modules = InterleavedTwoOfFivePixels("00110011001100", 1, 3);
  // 270 pixels long; the picture's left edge cuts it cut pixels from its start, 20 pixels of
  // light follow it.
  for (int cut = 2; cut < 200; cut += 3) {
    SCOPED_TRACE(cut);
    const Drawing drawing = {.modules = modules, .width = 290 - cut, .shift = -10.0 - cut / 2.0};
    EXPECT_TRUE(ReadDrawing(drawing).empty());
  }
}

// A low interleaved 2 of 5 symbol turned a little: lines that enter it across its long edge see
// pieces with light before them. Only the whole symbol may come out, also on a large picture,
// whose lines around a lone piece's read are laid closer.
TEST(RobustTest, RefusesPiecesOfTurnedInterleavedTwoOfFive) {
  const std::string digits = "12345678901234";
  for (const auto& [width, height] : {std::pair{420, 240}, std::pair{1600, 1200}}) {
    for (const double angle : {5.0, 10.0, 20.0, 35.0}) {
      SCOPED_TRACE(testing::Message() << width << " x " << height << ", " << angle << " degrees");
      const Drawing drawing = {.modules = InterleavedTwoOfFivePixels(digits, 1, 3),
                               .module = 2,
                               .height = 16,
                               .angle = angle,
                               .width = width,
                               .heightPx = height};
      for (const RobustBarcode& barcode : ReadDrawing(drawing)) {
        EXPECT_EQ(barcode.text, digits);
      }
    }
  }
}

// Lines of print and bars of random widths. Words of narrow and wide strokes with light between
// them are what the 2 of 5 codes, without a check character, could take for symbols.
TEST(RobustTest, ReadsNothingFromClutter) {
  std::mt19937 random(7);
  for (int picture = 0; picture < 8; ++picture) {
    SCOPED_TRACE(picture);
    std::string modules;
    while (modules.size() < 400) {
      if (picture % 2 == 0) {
        // Random bars and spaces of one to four modules.
        modules.append(1 + random() % 4, '1');
        modules.append(1 + random() % 4, '0');
      } else {
        // A word: strokes of one or three modules a module apart, then the gap to the next.
        for (unsigned letter = 0; letter < 20 + random() % 20; ++letter) {
          modules.append(random() % 3 == 0 ? 3 : 1, '1');
          modules.append(1, '0');
        }
        modules.append(12, '0');
      }
    }
    modules += '1';
    const Drawing drawing = {.modules = modules, .module = 2, .height = 30};
    EXPECT_TRUE(ReadDrawing(drawing).empty());
  }
}

// On a large page, lines are sampled only near bars: a symbol alone in a corner, far from
// anything else, or turned, still reads, where it lies.
TEST(RobustTest, ReadsASymbolAloneOnALargePage) {
  struct PageCase {
    int x, y;  // where the symbol's picture goes on the page
    double angle;
  };
  const PageCase cases[] = {{0, 0, 0}, {1700, 2300, 90}, {1650, 40, 30}};
  for (const PageCase& c : cases) {
    SCOPED_TRACE(c.angle);
    Picture symbol;
    DrawSymbol({.modules = ean13,
                .module = 1.5,
                .height = 50,
                .angle = c.angle,
                .width = 300,
                .heightPx = 300},
               symbol);
    constexpr int width = 2000;
    constexpr int height = 2600;
    std::vector<std::uint8_t> page(static_cast<std::size_t>(width) * height, 235);
    for (int y = 0; y < 300; ++y) {
      for (int x = 0; x < 300; ++x) {
        page[static_cast<std::size_t>(c.y + y) * width + static_cast<std::size_t>(c.x + x)] =
            symbol.grey[static_cast<std::size_t>(y) * 300 + static_cast<std::size_t>(x)];
      }
    }
    Image image;
    ASSERT_TRUE(ViewPixels(page.data(), width, height, width, 1, image));
    const std::vector<RobustBarcode> barcodes = ReadRobust(image);
    ASSERT_EQ(barcodes.size(), 1U);
    EXPECT_EQ(barcodes[0].text, ean13Text);
    EXPECT_NEAR(barcodes[0].corners[0].x, c.x + 150, 100);
    EXPECT_NEAR(barcodes[0].corners[0].y, c.y + 150, 100);
  }
}

struct KnownCase {
  std::string_view name;
  std::vector<PlacedDrawing> symbols;
  std::vector<RobustKnown> known;
  std::vector<std::string> texts;  // read, in order
};

TEST(RobustTest, LeavesOutKnownSymbolsAndKeepsTheirSayOverOthers) {
  // EAN-13 from (55, 20) to (245, 80) on the page, and Code 128 beside or below it.
  const Drawing eanDrawing{.modules = ean13, .width = 300, .heightPx = 100};
  const Drawing codeDrawing{.modules = code128, .width = 300, .heightPx = 100};
  const RobustKnown eanRead{Symbology::Ean13, ean13Text, 60, 30, 240, 70};
  RobustKnown elsewhere = eanRead;
  elsewhere.top += 300;  // more than its length below its bars
  elsewhere.bottom += 300;
  // Known on the lower half of its bars, whose upper half the lines still cross.
  const RobustKnown lowerHalf{Symbology::Ean13, ean13Text, 60, 55, 240, 80};
  RobustKnown otherText = lowerHalf;
  otherText.text = "5901234 123464";
  const std::vector<PlacedDrawing> apart = {{eanDrawing, 0, 0}, {codeDrawing, 400, 0}};
  // The Code 128's bars run on from the EAN-13's: two texts on one place, neither printed, and
  // the known symbol's lines still speak.
  const std::vector<PlacedDrawing> touching = {{eanDrawing, 0, 0}, {codeDrawing, 0, 60}};
  const KnownCase cases[] = {
      {"nothing known", apart, {}, {ean13Text, code128Text}},
      {"EAN-13 known", apart, {eanRead}, {code128Text}},
      {"EAN-13 known on its lower half", apart, {lowerHalf}, {code128Text}},
      {"its text known elsewhere", apart, {elsewhere}, {ean13Text, code128Text}},
      {"another text known on its lower half", apart, {otherText}, {ean13Text, code128Text}},
      {"touching, nothing known", touching, {}, {}},
      {"touching, EAN-13 known", touching, {eanRead}, {}},
  };
  for (const KnownCase& c : cases) {
    SCOPED_TRACE(c.name);
    Picture page;
    DrawPage(700, 400, c.symbols, page);
    RobustOptions options;
    options.known = c.known;
    std::vector<std::string> texts;
    for (const RobustBarcode& barcode : ReadRobust(page.image, options)) {
      texts.push_back(barcode.text);
    }
    EXPECT_EQ(texts, c.texts);
  }
}

// Once a symbol's lines agree on it, the lines still to come pass over its place. A symbol beside
// it still reads: here an EAN-8 lying across the reading direction of a long Code 128 turned 45
// degrees, in the corner of the Code 128's upright box, read only after it.
TEST(RobustTest, ReadsASymbolBesideOneItsLinesAgreedOn) {
  Picture page;
  DrawPage(
      600, 600,
      {{{.modules = code128, .height = 60, .angle = 45, .width = 300, .heightPx = 300}, 150, 150},
       {{.modules = EncodeEan8("96385074"),
         .module = 1.5,
         .height = 30,
         .angle = 90,
         .width = 80,
         .heightPx = 160},
        345,
        165}},
      page);
  std::vector<std::string> texts;
  for (const RobustBarcode& barcode : ReadRobust(page.image)) {
    texts.push_back(barcode.text);
  }
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts, (std::vector<std::string>{"9638 5074", code128Text}));
}

struct CornerCase {
  double angle;
  double x[4], y[4];    // the corners drawn
  double height = 100;  // the bars'
  int heightPx = 320;
};

TEST(RobustTest, GivesCornersAndAngleOfTurnedSymbols) {
  // EAN-13, 95 modules of 2 px (190 px long) and 100 px high, about the centre of 320 x 320.
  const CornerCase cases[] = {
      {0, {65, 255, 255, 65}, {110, 110, 210, 210}},
      // Bars taller than the symbol is long: the measuring lines lie several pixels apart, and
      // the bars' ends are found beyond the last that read.
      {0, {65, 255, 255, 65}, {60, 60, 420, 420}, 360, 480},
      {90, {310, 310, 10, 10}, {65, 255, 255, 65}, 300, 320},
      {30, {102.7, 267.3, 217.3, 52.7}, {69.2, 164.2, 250.8, 155.8}},
      {200, {232.2, 53.6, 87.8, 266.4}, {239.5, 174.5, 80.5, 145.5}},
  };
  for (const CornerCase& c : cases) {
    SCOPED_TRACE(c.angle);
    const Drawing drawing = {.modules = ean13,
                             .module = 2,
                             .height = c.height,
                             .angle = c.angle,
                             .width = 320,
                             .heightPx = c.heightPx};
    const std::vector<RobustBarcode> barcodes = ReadDrawing(drawing);
    ASSERT_EQ(barcodes.size(), 1U);
    // 359.9 is 0.1 degrees from 0.
    EXPECT_NEAR(std::remainder(barcodes[0].angle - c.angle, 360.0), 0.0, 1.0);
    EXPECT_GE(barcodes[0].angle, 0.0);
    EXPECT_LT(barcodes[0].angle, 360.0);
    for (int i = 0; i < 4; ++i) {
      EXPECT_NEAR(barcodes[0].corners[static_cast<std::size_t>(i)].x, c.x[i], 1.0) << i;
      EXPECT_NEAR(barcodes[0].corners[static_cast<std::size_t>(i)].y, c.y[i], 1.0) << i;
    }
  }
}

TEST(RobustTest, EndsEanBarsWhereTheBarsAboveTheDigitsEnd) {
  // The EAN-13 above (x 65 to 255, bars down to y 210), its guard bars 12 px longer and digit-like
  // strokes between them, whose contrast across the symbol holds past the other bars' end; then
  // the same picture upside down.
  Picture picture;
  DrawSymbol({.modules = ean13, .module = 2, .height = 100, .width = 320, .heightPx = 320},
             picture);
  const auto guard = [](std::size_t k) { return k < 3 || (k >= 45 && k < 50) || k >= 92; };
  for (int y = 210; y < 222; ++y) {
    for (int x = 65; x < 255; ++x) {
      const auto k = static_cast<std::size_t>((x - 65) / 2);
      const bool stroke = !guard(k) && y >= 212 && (x - 65) % 7 < 2;
      if ((guard(k) && ean13[k] == '1') || stroke) {
        picture.grey[static_cast<std::size_t>(y) * 320 + static_cast<std::size_t>(x)] = 0;
      }
    }
  }
  for (const bool upsideDown : {false, true}) {
    SCOPED_TRACE(upsideDown ? "upside down" : "upright");
    if (upsideDown) {
      std::reverse(picture.grey.begin(), picture.grey.end());
    }
    const std::vector<RobustBarcode> barcodes = ReadRobust(picture.image);
    ASSERT_EQ(barcodes.size(), 1U);
    EXPECT_EQ(barcodes[0].text, ean13Text);
    // The bottom corners, within half the measuring lines' spacing.
    for (const std::size_t i : {2U, 3U}) {
      EXPECT_NEAR(barcodes[0].corners[i].y, upsideDown ? 320 - 210 : 210, 2.0) << i;
    }
  }
}

TEST(RobustTest, MeasuresTurnedSymbolsThePicturesEdgeCuts) {
  // A turned symbol cropped so close that the picture's edge cuts across its first and last bars:
  // lines read it end to end only in a narrow band, and many of them run into the picture's edge
  // before the first bar or after the last, which is no edge of a bar.
  struct Case {
    std::string_view name;
    double angle;
    int width, height;
  };
  const Case cases[] = {
      {"turned 41 degrees", 41, 176, 300}, {"turned -41 degrees", -41, 176, 300},
      {"turned 30 degrees", 30, 200, 300}, {"turned 140 degrees", 140, 170, 300},
      {"turned 20 degrees", 20, 225, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<RobustBarcode> barcodes = ReadDrawing({.modules = code128,
                                                             .module = 2,
                                                             .height = 120,
                                                             .angle = c.angle,
                                                             .width = c.width,
                                                             .heightPx = c.height,
                                                             .margin = 0});
    ASSERT_EQ(barcodes.size(), 1U);
    EXPECT_EQ(barcodes[0].text, code128Text);
    EXPECT_NEAR(std::remainder(barcodes[0].angle - c.angle, 360.0), 0.0, 1.0);
  }
}

// Symbols drawn by an independent encoder, the zint command-line tool, when it is installed.
TEST(RobustTest, ReadsZintSymbols) {
  if (std::system("command -v zint >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "zint is not installed (apt-get install zint)";
  }
  struct ZintCase {
    std::string arguments;
    Symbology symbology;
    std::string text;
  };
  const ZintCase cases[] = {
      {"-b EANX --scale=1 -w 0 --vwhitesp=0 -d 400638133393", Symbology::Ean13, "4006381 333931"},
      // 30 px a module, as a phone held close takes a label.
      {"-b EANX --scale=15 -d 590123412345", Symbology::Ean13, "5901234 123457"},
      {"-b CODE128 --scale=1 --rotate=90 -w 10 -d Rob-128", Symbology::Code128,
       std::string("Rob-128\0]C0Rob-128", 18)},
      {"-b CODE39 --scale=1 --rotate=180 -w 10 -d ROBUST", Symbology::Code39, "ROBUST"},
      {"-b C25INTER --scale=1 --rotate=270 -w 10 -d 12345678", Symbology::InterleavedTwoOfFive,
       "12345678"},
  };
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("strixa-robust-" + std::to_string(::getpid()) + ".bmp"))
                               .string();
  for (const ZintCase& c : cases) {
    SCOPED_TRACE(c.arguments);
    const std::string command =
        "zint --filetype=BMP --notext -o '" + path + "' " + c.arguments + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    Image image;
    ASSERT_EQ(ReadBmpFile(path, image), BmpRefusal::None);
    const std::vector<RobustBarcode> barcodes = ReadRobust(image);
    ASSERT_EQ(barcodes.size(), 1U);
    EXPECT_EQ(barcodes[0].symbology, c.symbology);
    EXPECT_EQ(barcodes[0].text, c.text);
  }
  std::filesystem::remove(path);
}

}  // namespace

}  // namespace strixa
