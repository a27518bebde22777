// SPDX-License-Identifier: Apache-2.0
#include "symbologies/ean8.h"

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

// 24680134 written out, to check the encoder against: start guard, 2 4 6 8, middle guard,
// 0 1 3 4, end guard.
constexpr std::string_view symbol24680134 =
    "1010010011010001101011110110111"
    "010101110010110011010000101011100101";

std::string Reversed(std::string pixels) { return {pixels.rbegin(), pixels.rend()}; }

// Pixels from run lengths, a bar first.
std::string FromRuns(std::initializer_list<int> runs) {
  std::string pixels;
  char colour = '1';
  for (int run : runs) {
    pixels.append(static_cast<std::size_t>(run), colour);
    colour = colour == '1' ? '0' : '1';
  }
  return pixels;
}

std::vector<DecodeCase> Ean8Cases() {
  const std::string clean = Widen(symbol24680134, 2);
  // A tilted line through plain 2 of 5 at six pixels a module, all its spaces narrow. Each digit
  // resampled on its own reads, and "7127 5529" passes the check digit, but the third digits of
  // both halves span under six of the symbol's modules.
  const std::string twoOfFive =
      FromRuns({6, 6, 6, 6, 12, 7, 11, 7, 11, 7, 5, 7, 5, 7, 6,  6, 12, 6, 12, 6, 6, 6,
                6, 6, 6, 6, 12, 6, 6,  6, 12, 6, 6, 6, 6, 7, 11, 7, 5,  7, 11, 7, 11});
  // Resampled, a start guard whose space is two modules wide still gives "101".
  std::string wideGuardSpace = Widen(symbol24680134, 6);
  wideGuardSpace.insert(6, 6, '0');
  // 2194 2921 with one edge moved in its second and fourth digits: set A 1 and 4 become set B 5
  // and 0, and "2590 2921" still passes the check digit.
  std::string mixedSets = EncodeEan8("21942921");
  mixedSets.replace(10, 7, "0111001");
  mixedSets.replace(24, 7, "0100111");
  // The third digit, a set A 6, drawn four pixels a module among digits of six: it reads as a 6,
  // but a line whose digits are not all alike wide is no EAN symbol.
  std::string squeezed = Widen(symbol24680134, 6);
  squeezed.replace(17 * 6, 7 * 6, Widen("0101111", 4));
  return {
      {"two pixels per module", clean, "2468 0134"},
      {"a digit squeezed to under five modules", squeezed, ""},
      {"left half mixing sets A and B", Widen(mixedSets, 2), ""},
      {"three pixels per module", Widen(symbol24680134, 3), "2468 0134"},
      {"second number, two pixels", Widen(EncodeEan8("13579241"), 2), "1357 9241"},
      {"second number, three pixels", Widen(EncodeEan8("13579241"), 3), "1357 9241"},
      {"left half in set B", Widen(EncodeEan8("13579241", true), 2), "1357 9241"},
      {"check digit 0", Widen(EncodeEan8("12345670"), 3), "1234 5670"},
      {"end guard worn to one bar", Widen(symbol24680134.substr(0, 65), 2), "2468 0134"},
      {"mark beyond the quiet zone", clean + "00000000000000" + "11", "2468 0134"},
      // Six modules of space after the guard end the symbol; five may still be inside one.
      {"mark 6 modules after the end guard", clean + "000000000000" + "11", "2468 0134"},
      {"mark 5 modules after the end guard", clean + "0000000000" + "11", ""},
      {"one pixel per module", Widen(symbol24680134, 1), ""},
      {"second number, one pixel", Widen(EncodeEan8("13579241"), 1), ""},
      {"reversed line", Reversed(clean), ""},
      {"wrong check digit", Widen(EncodeEan8("24680135"), 2), ""},
      {"broken start guard", "111101" + clean.substr(6), ""},
      {"broken middle guard", clean.substr(0, 62) + "0101111100" + clean.substr(72), ""},
      {"unread right-half 0 that the sum would not miss",
       clean.substr(0, 72) + "11100100000000" + clean.substr(86), ""},
      {"21 pixels", clean.substr(0, 21), ""},
      // Passes both guards and the check digit as "0000 5234"; only the missing end tells.
      {"EAN-13 line", Widen(EncodeEan13("0000012347537"), 2), ""},
      {"EAN-13 line, three pixels", Widen(EncodeEan13("0000012897421"), 3), ""},
      {"mark right after the end guard", clean + "0000" + "11", ""},
      {"two-module space in the start guard", wideGuardSpace, ""},
      {"line through plain 2 of 5", twoOfFive, ""},
  };
}

TEST(Ean8Test, DecodesTableCases) {
  for (const DecodeCase& c : Ean8Cases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeEan8(c.pixels), c.expected);
  }
}

TEST(Ean8Test, EncoderDrawsStandardModules) {
  EXPECT_EQ(EncodeEan8("24680134"), symbol24680134);
  EXPECT_EQ(EncodeEan8("2468013x"), "");
}

}  // namespace

}  // namespace strixa
