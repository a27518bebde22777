// SPDX-License-Identifier: Apache-2.0
#include "symbologies/twoOfFive.h"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "support/twoOfFiveEncoder.h"

namespace strixa {

namespace {

// Run widths in pixels at narrow 3, wide 6: bar, space, bar, ...
const std::vector<int> start = {6, 3, 6, 3, 3, 3}, one = {6, 3, 3, 3, 3, 3, 3, 3, 6, 3},
                       two = {3, 3, 6, 3, 3, 3, 3, 3, 6, 3}, stop = {6, 3, 3};

struct LineCase {
  std::string_view name;
  std::string pixels;
  std::string_view expected;  // "" = must not read
};

TEST(TwoOfFiveTest, DecodesTableCases) {
  const std::string symbol = TwoOfFivePixels("12", 3, 6);
  const LineCase cases[] = {
      {"two digits", symbol, "12"},
      {"every digit", TwoOfFivePixels("0123456789", 3, 6), "0123456789"},
      {"narrow 2, wide 4", TwoOfFivePixels("90", 2, 4), "90"},
      {"narrow 4, wide 8", TwoOfFivePixels("4711", 4, 8), "4711"},
      // Unit 3: bars of 12 are wide, spaces of up to 5 narrow.
      {"uneven narrow spaces",
       AlternatingRuns({start, {12, 3, 3, 5, 3, 4, 3, 5, 12, 3}, two, stop}), "12"},
      {"wide space", AlternatingRuns({start, {12, 3, 3, 6, 3, 4, 3, 5, 12, 3}, two, stop}), ""},
      {"wide spaces lift the unit to 4 over 6-pixel bars",
       AlternatingRuns({start, {6, 9, 3, 9, 3, 9, 3, 9, 6, 9}, two, stop}), ""},
      {"5-pixel bars at unit 2",
       AlternatingRuns(
           {start, {5, 3, 2, 3, 2, 3, 2, 3, 5, 3}, {2, 3, 5, 3, 2, 3, 2, 3, 5, 3}, stop}),
       "12"},
      {"4-pixel bars at unit 2",
       AlternatingRuns(
           {start, {4, 3, 2, 3, 2, 3, 2, 3, 4, 3}, {2, 3, 5, 3, 2, 3, 2, 3, 5, 3}, stop}),
       ""},
      {"start bars of 4", AlternatingRuns({{4, 3, 4, 3, 3, 3}, one, two, stop}), ""},
      {"start bars of 5", AlternatingRuns({{5, 3, 5, 3, 3, 3}, one, two, stop}), "12"},
      {"start bars of 7", AlternatingRuns({{7, 3, 7, 3, 3, 3}, one, two, stop}), "12"},
      {"start bars of 8", AlternatingRuns({{8, 3, 8, 3, 3, 3}, one, two, stop}), "12"},
      {"start bars of 9", AlternatingRuns({{9, 3, 9, 3, 3, 3}, one, two, stop}), "12"},
      {"start with a wide third bar", AlternatingRuns({{6, 3, 6, 3, 6, 3}, one, two, stop}), ""},
      {"three wide bars", AlternatingRuns({start, one, {6, 3, 6, 3, 6, 3, 3, 3, 3, 3}, two, stop}),
       ""},
      {"wide, narrow, wide stop", AlternatingRuns({start, one, two, {6, 3, 3, 3, 6}}), "12"},
      {"stop worn to one pixel", AlternatingRuns({start, one, two, {6, 3, 1}}), "12"},
      {"wide last bar worn thin", AlternatingRuns({start, one, two, {6, 3, 3, 3, 2}}), "12"},
      {"bars after a quiet zone", AlternatingRuns({start, one, two, stop, {12, 3}}), "12"},
      // Read as a digit, the stop and what follows would add a 1.
      {"bars after the stop",
       AlternatingRuns({start, one, two, {6, 3, 3, 10, 3, 3, 3, 3, 6, 3, 3}}), ""},
      {"noise after the stop", AlternatingRuns({start, one, two, stop, {11, 3}}), ""},
      {"cut after a digit", AlternatingRuns({start, one, two, {6, 3, 3, 3, 3, 3, 3, 3, 6}}), ""},
      {"cut inside a digit", AlternatingRuns({start, one, two, {3, 3, 6, 3, 3}}), ""},
      {"stop with a wide last bar", AlternatingRuns({start, one, two, {6, 3, 6}}), ""},
      {"single digit", TwoOfFivePixels("5", 3, 6), ""},
      {"start and stop only", TwoOfFivePixels("", 3, 6), ""},
      {"one pixel per narrow element", TwoOfFivePixels("12", 1, 2), ""},
      {"ratio 3 at narrow 3", TwoOfFivePixels("12", 3, 9), "12"},
      {"21 pixels", symbol.substr(0, 21), ""},
      {"reversed", std::string(symbol.rbegin(), symbol.rend()), ""},
      {"solid bar", AlternatingRuns({{30, 1, 1}}), ""},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeTwoOfFive(c.pixels), c.expected);
  }
}

TEST(TwoOfFiveTest, ClassifiesRunWidths) {
  const LineCase cases[] = {
      // 40 pixels, unit 2: inner runs need 5 pixels, the last only 3.
      {"last run wide, inner runs of its length not",
       AlternatingRuns({{4, 4, 4, 4, 4, 4, 4, 4, 4, 4}}), "NNNNNNNNNW"},
      {"last run equal to the unit", AlternatingRuns({{4, 4, 4, 4, 4, 4, 4, 4, 4, 2}}),
       "NNNNNNNNNN"},
      {"inner run above the unit + 2", AlternatingRuns({{5, 4, 4, 4, 4, 4, 4, 4, 4, 2}}),
       "WNNNNNNNNN"},
      {"41 pixels still unit 2", AlternatingRuns({{5, 4, 4, 4, 4, 4, 4, 4, 4, 4}}), "WNNNNNNNNW"},
      {"spaces count towards the unit", AlternatingRuns({{6, 9, 3, 9, 6, 9, 3, 9, 3, 9}}),
       "NWNWNWNWNW"},
      {"unit 0", "101", "NNW"},
      {"nothing", "", ""},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RunsToTwoOfFiveWidths(c.pixels), c.expected);
  }
}

TEST(TwoOfFiveTest, EncoderDrawsStartDigitsAndStop) {
  EXPECT_EQ(TwoOfFivePixels("7", 2, 5),
            "111110011111001100"          // start
            "11001100110011111001111100"  // 7: narrow, narrow, narrow, wide, wide bars
            "111110011");                 // stop
  EXPECT_EQ(TwoOfFivePixels("1a", 3, 6), "");
  EXPECT_EQ(TwoOfFivePixels("1", 0, 6), "");
}

}  // namespace

}  // namespace strixa
