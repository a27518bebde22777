// SPDX-License-Identifier: Apache-2.0
#include "symbologies/interleavedTwoOfFive.h"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "support/twoOfFiveEncoder.h"

namespace strixa {

namespace {

// Run widths in pixels: bar, space, bar, ...
const std::vector<int> start = {3, 3, 3, 3}, pair12 = {6, 3, 3, 6, 3, 3, 3, 3, 6, 6},
                       stop = {6, 3, 3};

TEST(InterleavedTwoOfFiveTest, DecodesTableCases) {
  const std::string symbol = InterleavedTwoOfFivePixels("12", 3, 6);
  const struct {
    std::string_view name;
    std::string pixels;
    std::string_view expected;  // "" = must not read
  } cases[] = {
      {"one pair", symbol, "12"},
      {"every digit as bars and as spaces", InterleavedTwoOfFivePixels("1234567890", 3, 6),
       "1234567890"},
      {"narrow 3, wide 9", InterleavedTwoOfFivePixels("0987654321", 3, 9), "0987654321"},
      {"narrow 2, wide 6", InterleavedTwoOfFivePixels("4711", 2, 6), "4711"},
      {"narrow 4, wide 12", InterleavedTwoOfFivePixels("5038", 4, 12), "5038"},
      // At two pixels a narrow element, a 2:1 pair leaves the unit's slack: each colour's two
      // widest elements are its wide ones, where the widths show the ratio plainly.
      {"narrow 2, wide 4", InterleavedTwoOfFivePixels("4711", 2, 4), "4711"},
      {"narrow 2, wide 4, stop worn to one pixel",
       AlternatingRuns({{2, 2, 2, 2}, {4, 2, 2, 4, 2, 2, 2, 2, 4, 4}, {4, 2, 1}}), "12"},
      {"narrow 2, wide 3", InterleavedTwoOfFivePixels("4711", 2, 3), ""},
      {"narrow 2, a wide bar 10",
       AlternatingRuns({{2, 2, 2, 2}, {10, 2, 2, 4, 2, 2, 2, 2, 4, 4}, {4, 2, 2}}), ""},
      {"narrow 2, three spaces of 4",
       AlternatingRuns({{2, 2, 2, 2}, {4, 4, 2, 4, 2, 2, 2, 2, 4, 4}, {4, 2, 2}}), ""},
      {"narrow 2, wide last stop bar",
       AlternatingRuns({{2, 2, 2, 2}, {4, 2, 2, 4, 2, 2, 2, 2, 4, 4}, {4, 2, 4}}), ""},
      {"bars 1, spaces 3", AlternatingRuns({start, {6, 6, 3, 6, 3, 3, 3, 3, 6, 3}, stop}), "13"},
      {"bars 1, three wide spaces", AlternatingRuns({start, {6, 6, 3, 6, 3, 6, 3, 3, 6, 3}, stop}),
       ""},
      // 54 pixels, unit 3: other elements need 6 pixels, the fifth space only 4, if it is wider
      // than the narrow spaces.
      {"4-pixel fifth space at unit 3",
       AlternatingRuns({start, {4, 3, 5, 3, 8, 3, 8, 8, 4, 4}, {8, 4, 4}}), "07"},
      {"fifth space as wide as a narrow one",
       AlternatingRuns({start, {4, 4, 5, 4, 8, 3, 8, 8, 4, 4}, {8, 4, 4}}), ""},
      // A Code 39 character (three wide) and its gap, as thick bars blur them: the gap, as wide
      // as the narrow spaces, would read as a fourth wide element and spell "24".
      {"Code 39 character and gap",
       AlternatingRuns({{7, 9, 7, 9}, {7, 9, 21, 9, 7, 25, 7, 9, 21, 9}, {21, 9, 7}}), ""},
      {"3-pixel fifth space at unit 3",
       AlternatingRuns({start, {4, 5, 5, 4, 8, 4, 8, 8, 4, 3}, {8, 4, 4}}), ""},
      {"wide first start bar",
       AlternatingRuns({{6, 3, 3, 3}, {6, 6, 3, 6, 3, 3, 3, 3, 6, 3}, stop}), ""},
      {"stop worn to one pixel", AlternatingRuns({start, pair12, {6, 3, 1}}), "12"},
      {"bars after a quiet zone", AlternatingRuns({start, pair12, stop, {30, 3}}), "12"},
      // A pair "16" after 12 whose narrow bars blur erased: it begins like the stop, and the
      // rest of it, up to its last wide bar, is half a pair of light.
      {"half a pair of light after a stop-like start",
       AlternatingRuns({start, pair12, {6, 3, 3, 21, 6, 3}, stop}), ""},
      // Read as a pair, the stop and what follows would add 12.
      {"pair after the stop", AlternatingRuns({start, pair12, {6, 3, 3, 10, 3, 3, 3, 3, 6, 6, 3}}),
       ""},
      {"noise after the stop", AlternatingRuns({start, pair12, stop, {17, 3}}), ""},
      {"cut after a pair", AlternatingRuns({start, pair12, {6, 3, 3, 6, 3, 3, 3, 3, 6}}), ""},
      {"cut inside the stop", AlternatingRuns({start, pair12, {6}}), ""},
      // Resamples to the four start modules, but its third element is wide.
      {"reversed stop as start", AlternatingRuns({{3, 3, 6, 3}, pair12, stop}), ""},
      {"start and stop only", InterleavedTwoOfFivePixels("", 3, 6), ""},
      {"one pixel per narrow element", InterleavedTwoOfFivePixels("12", 1, 2), ""},
      {"21 pixels", symbol.substr(0, 21), ""},
      {"reversed", std::string(symbol.rbegin(), symbol.rend()), ""},
      {"solid bar", AlternatingRuns({{30, 1, 1}}), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeInterleavedTwoOfFive(c.pixels), c.expected);
  }
}

TEST(InterleavedTwoOfFiveTest, EncoderInterleavesBarsAndSpaces) {
  EXPECT_EQ(InterleavedTwoOfFivePixels("12", 1, 2),
            "1010"            // start
            "11010010101100"  // bars 1 (wide, narrow, narrow, narrow, wide), spaces 2
            "1101");          // stop
  EXPECT_EQ(InterleavedTwoOfFivePixels("123", 3, 6), "");
  EXPECT_EQ(InterleavedTwoOfFivePixels("1x", 3, 6), "");
  EXPECT_EQ(InterleavedTwoOfFivePixels("12", 3, 0), "");
}

}  // namespace

}  // namespace strixa
