// SPDX-License-Identifier: Apache-2.0
#include "symbologies/ean13.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/builders.h"
#include "support/eanEncoder.h"

namespace strixa {

namespace {

struct DecodeCase {
  std::string name, pixels, expected;
};

// 2712345678902 written out, to check the encoder against: start guard, 7 1 2 3 4 5 in sets
// AABBAB, middle guard, 6 7 8 9 0 2, end guard.
constexpr std::string_view symbol2712345678902 =
    "101011101100110010011011010000101000110111001"
    "01010101000010001001001000111010011100101101100101";

// Left half 1 2 3 4 5 6 all in set B, which no leading digit gives; right half 7 8 9 0 1 3.
constexpr std::string_view symbolAllSetB =
    "101011001100110110100001001110101110010000101"
    "01010100010010010001110100111001011001101000010101";

std::string Spliced(std::string pixels, std::size_t at, std::string_view replacement) {
  return pixels.replace(at, replacement.size(), replacement);
}

std::string Reversed(std::string pixels) { return {pixels.rbegin(), pixels.rend()}; }

std::vector<DecodeCase> Ean13Cases() {
  const std::string clean = Widen(symbol2712345678902, 2);
  // 1297313379629 at three pixels a module with one edge a pixel off in left places 2 and 3: the
  // 9 (set A) reads (8, 4, 3, 6) and the 7 (set B) (5, 4, 9, 3). Resampled, each turns into the
  // digit a whole module away, and "4225313 379629" passes the check digit.
  std::string edgesOff = Widen(EncodeEan13("1297313379629"), 3);
  edgesOff.replace(30, 21, "000000001111000111111");
  edgesOff.replace(51, 21, "000001111000000000111");
  // 8579672472580 at two pixels a module with one edge a pixel off in left places 5 and 6: the 7
  // (set B) reads (3, 3, 6, 2) and the 2 (set A) (4, 2, 3, 5), each as near a 5 in set A and a 9
  // in set B, and "7579659 472580" passes the check digit.
  std::string edgesHalfOff = Widen(EncodeEan13("8579672472580"), 2);
  edgesHalfOff.replace(62, 28, "0001110000001100001100011111");
  // Resampled, a start guard whose space is two modules wide still gives "101".
  std::string wideGuardSpace = Widen(symbol2712345678902, 6);
  wideGuardSpace.insert(6, 6, '0');
  // So does a middle guard whose centre space (module 47) is two modules wide.
  std::string wideMiddleSpace = Widen(symbol2712345678902, 6);
  wideMiddleSpace.insert(47 * 6, 6, '0');
  return {
      {"two pixels per module", clean, "2712345 678902"},
      {"three pixels per module", Widen(symbol2712345678902, 3), "2712345 678902"},
      {"two and a half pixels per module", WidenFractional(symbol2712345678902, 2.5),
       "2712345 678902"},
      {"UPC-A keeps its leading 0", Widen(EncodeEan13("0012345678905"), 2), "0012345 678905"},
      {"check digit 0", Widen(EncodeEan13("5012345678900"), 3), "5012345 678900"},
      {"end guard worn to one bar", Widen(symbol2712345678902.substr(0, 93), 2), "2712345 678902"},
      {"one pixel per module", Widen(symbol2712345678902, 1), ""},
      {"reversed line", Reversed(clean), ""},
      {"left half all in set B", Widen(symbolAllSetB, 2), ""},
      {"wrong check digit", Widen(EncodeEan13("2712345678903"), 2), ""},
      {"mark before the start guard", "11000000" + clean, ""},
      {"21 pixels", clean.substr(0, 21), ""},
      {"EAN-8 line", Widen(EncodeEan8("24680134"), 2), ""},
      {"mark right after the end guard", clean + "0000" + "11", ""},
      {"mark 6 modules after the end guard", clean + "000000000000" + "11", "2712345 678902"},
      {"two-module space in the start guard", wideGuardSpace, ""},
      {"two-module space in the middle guard", wideMiddleSpace, ""},
      // Guards that keep their run count but vote wrong, so everything after them still lines up.
      {"broken start guard", Spliced(clean, 0, "111101"), ""},
      {"broken middle guard", Spliced(clean, 90, "0101111100"), ""},
      // Each splice keeps the run count but votes to a two-run module string.
      {"unread left-half place", Spliced(clean, 34, "00011011111111"), ""},
      {"unread right-half 0 that the sum would not miss", Spliced(clean, 156, "11100100000000"),
       ""},
      {"empty line", "", ""},
      {"edges a third of a module off in two digits", edgesOff, ""},
      {"edges half a module off in two digits", edgesHalfOff, ""},
  };
}

TEST(Ean13Test, DecodesTableCases) {
  for (const DecodeCase& c : Ean13Cases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeEan13(c.pixels), c.expected);
  }
}

// One number per leading digit, so every parity entry and both left-half sets are read.
// Thickened bars turn a 1 towards a 7 and thinned ones a 7 towards a 1; one of each at places
// of the same weight keeps the check digit, so a read there would print a wrong number.
TEST(Ean13Test, RefusesOnesAndSevensCloseToEachOther) {
  constexpr std::size_t modulePixels = 10;
  std::string pixels = Widen(EncodeEan13("0137456789019"), modulePixels);
  // Places 1 and 3 of the left half, as space, bar, space, bar pixel widths. A 1 is
  // (20, 20, 20, 10) here and a 7 (10, 30, 10, 20).
  const auto draw = [&](std::size_t firstModule, std::initializer_list<int> widths) {
    std::string digit;
    char colour = '0';
    for (int width : widths) {
      digit.append(static_cast<std::size_t>(width), colour);
      colour = colour == '0' ? '1' : '0';
    }
    pixels.replace(firstModule * modulePixels, digit.size(), digit);
  };
  // Three fifths of the way to each other: nearer the other digit, but not by a whole module.
  draw(3, {14, 26, 14, 16});
  draw(17, {16, 24, 16, 14});
  EXPECT_EQ(DecodeEan13(pixels), "");
  // A fifth of the way: each is clearly itself.
  draw(3, {18, 22, 18, 12});
  draw(17, {12, 28, 12, 18});
  EXPECT_EQ(DecodeEan13(pixels), "0137456 789019");
}

TEST(Ean13Test, ReadsEveryLeadingDigit) {
  constexpr std::string_view numbers[] = {
      "0000001234572", "1000080425709", "2000159616839", "3000238807966", "4000317999093",
      "5000397190228", "6000476381355", "7000555572482", "8000634763618", "9000713954745",
  };
  for (std::string_view number : numbers) {
    SCOPED_TRACE(number);
    const std::string expected =
        std::string(number.substr(0, 7)) + " " + std::string(number.substr(7));
    EXPECT_EQ(DecodeEan13(Widen(EncodeEan13(number), 2)), expected);
  }
}

// Others draw pictures with the encoder, so it must agree with the symbol written out above.
TEST(Ean13Test, EncoderDrawsStandardModules) {
  EXPECT_EQ(EncodeEan13("2712345678902"), symbol2712345678902);
  EXPECT_EQ(EncodeEan13("271234567890"), "");
}

}  // namespace

}  // namespace strixa
