// SPDX-License-Identifier: Apache-2.0
#include "symbologies/code39.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "support/code39Encoder.h"

namespace strixa {

namespace {

struct WidthCase {
  std::string_view name, runs, expected;
};

// Ten runs: nine elements and the gap; the unit is the length divided by 9, remainder dropped.
constexpr WidthCase widthCases[] = {
    {"unit 2: 2 narrow, 3 wide", "110001100111001110011000", "NWNNWNWNN"},
    {"unit 3: 3 is narrow too", "110001100111001110011000000", "NNNNNNNNN"},
    {"one pixel narrow, ratio 2", "1001011011010", "NWNNWNWNN"},
    {"last run never classified", "10101010100000000000000000", "NNNNNNNNN"},
};

TEST(Code39Test, ClassifiesRunsAgainstTheUnit) {
  for (const WidthCase& c : widthCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RunsToCode39Widths(c.runs), c.expected);
  }
}

struct DecodeCase {
  std::string_view name;
  std::string pixels;
  std::string_view expected;  // "" = must not read
};

TEST(Code39Test, DecodesTableCases) {
  const std::string ab = Code39Pixels("*AB*", 1, 2, 1);
  const std::string wideAb = Code39Pixels("*AB*", 2, 5, 2);
  // Nine narrow elements match no character.
  const std::string unreadable = "101010101";
  const DecodeCase cases[] = {
      {"stop ends the line", ab, "AB"},
      {"ratio 3", Code39Pixels("*AB*", 1, 3, 1), "AB"},
      {"stop worn to one pixel", wideAb.substr(0, wideAb.size() - 1), "AB"},
      {"bars after a quiet zone", ab + "000000" + "1011", "AB"},
      {"noise after the stop", ab + "00000" + "1011", ""},
      {"cut after a character", Code39Pixels("*ABC", 1, 2, 1), ""},
      {"quiet zone after a character", Code39Pixels("*ABC", 1, 2, 1) + "00000000" + "1", ""},
      {"cut inside the stop", ab.substr(0, ab.size() - 2), ""},
      {"every character", Code39Pixels("*0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*", 2, 5, 2),
       "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%"},
      {"wider elements", Code39Pixels("*CODE39*", 3, 7, 3), "CODE39"},
      {"star in the middle kept", Code39Pixels("*AB**CD*", 2, 4, 2), "AB**CD"},
      {"21 pixels", ab.substr(0, 21), ""},
      {"single character", Code39Pixels("*A*", 1, 2, 1), ""},
      {"reversed line", std::string(ab.rbegin(), ab.rend()), ""},
      {"no start", Code39Pixels("AB*", 1, 2, 1), ""},
      {"start not first", Code39Pixels("X*AB*", 1, 2, 1), ""},
      {"unreadable character",
       Code39Pixels("*A", 1, 2, 1) + "0" + unreadable + "0" + Code39Pixels("B*", 1, 2, 1), ""},
      {"gap too wide for the unit", Code39Pixels("*AB*", 1, 2, 9), ""},
      // B twice as wide as the rest: two characters whose spaces closed up look like one.
      {"one character twice as wide",
       Code39Pixels("*A", 2, 4, 2) + "00" + Code39Pixels("B", 4, 8, 4) + "00" +
           Code39Pixels("C*", 2, 4, 2),
       ""},
      {"one character a fifth wider",
       Code39Pixels("*A", 5, 10, 5) + "00000" + Code39Pixels("B", 6, 12, 6) + "00000" +
           Code39Pixels("C*", 5, 10, 5),
       "ABC"},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeCode39(c.pixels), c.expected);
  }
}

TEST(Code39Test, KeepsAtMostAThousandCharacters) {
  // Built with append: GCC 12 at -O2 warns falsely (-Wrestrict) on a literal + a string temporary.
  const std::string thousand(1000, 'A');
  std::string longer = "*";
  longer.append(thousand).append("B*");
  // A star as the thousandth character is still dropped.
  std::string starLast = "*";
  starLast.append(999, 'A').append("*A*");
  std::string noStop = "*";
  noStop.append(thousand);
  EXPECT_EQ(DecodeCode39(Code39Pixels(longer, 1, 2, 1)), thousand);
  EXPECT_EQ(DecodeCode39(Code39Pixels(starLast, 1, 2, 1)), std::string(999, 'A'));
  // Without a stop the symbol is not whole, however long it is.
  EXPECT_EQ(DecodeCode39(Code39Pixels(noStop, 1, 2, 1) + "0101010101011"), "");
}

}  // namespace

}  // namespace strixa
