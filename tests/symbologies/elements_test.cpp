// SPDX-License-Identifier: Apache-2.0
#include "symbologies/elements.h"

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace strixa {

namespace {

struct TakeRunsCase {
  std::string_view name;
  int start;
  std::string_view pixels;
  int runCount;
  std::string_view expected;
};

constexpr TakeRunsCase takeRunsCases[] = {
    {"three runs stop before the fourth", 1, "1101001", 3, "1101"},
    {"one run", 1, "1101001", 1, "11"},
    {"from the middle", 3, "1101001", 2, "01"},
    {"light run in the middle", 5, "1101001", 1, "00"},
    {"the last run is never taken", 1, "1101", 3, ""},
    {"more runs than the text holds", 5, "1101001", 2, ""},
    {"run count 0", 1, "1101001", 0, ""},
    {"negative run count", 1, "1101001", -1, ""},
    {"start on the last pixel", 7, "1101001", 1, ""},
    {"start beyond the end", 8, "1101001", 1, ""},
    {"start before the text", 0, "1101001", 1, ""},
    {"empty text", 1, "", 1, ""},
};

TEST(ElementsTest, TakesRuns) {
  for (const TakeRunsCase& c : takeRunsCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TakeRuns(c.start, c.pixels, c.runCount), c.expected);
  }
}

struct ModulesCase {
  std::string_view name, pixels;
  int moduleCount;
  std::string_view expected;
};

constexpr ModulesCase modulesCases[] = {
    {"half dark window votes bar", "11100011", 4, "1101"},
    {"length not a multiple is spread", "10", 3, "110"},
    {"two and a half pixels per module", "11000", 2, "10"},
    {"one pixel per module is always bar", "0000000", 7, "1111111"},
    {"empty piece is all bars", "", 5, "11111"},
    {"five pixel windows", "11111000001111100000", 4, "1010"},
    {"two dark of five is bar", "1100000000", 2, "10"},
    {"one dark of five is space", "1000000000", 2, "00"},
    {"one dark of four is space", "0001", 1, "0"},
    {"no modules", "1100", 0, ""},
};

TEST(ElementsTest, ResamplesRunsToModules) {
  for (const ModulesCase& c : modulesCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RunsToModules(c.pixels, c.moduleCount), c.expected);
  }
}

// The quiet zones and Code 39's character widths are measured against it, so an even count must
// keep taking the upper of the two middle values.
TEST(ElementsTest, MedianIsTheUpperMiddleValue) {
  struct Case {
    std::vector<std::size_t> values;
    std::size_t expected;
  };
  const Case cases[] = {
      {{}, 0}, {{7}, 7}, {{3, 1, 2}, 2}, {{4, 1, 3, 2}, 3}, {{5, 5, 1, 1}, 5}, {{9, 1, 1, 1}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.values));
    EXPECT_EQ(MedianOf(c.values), c.expected);
  }
}

TEST(ElementsTest, FindsFirstEqualPattern) {
  constexpr std::array<std::string_view, 3> table = {"101", "010", "101"};
  EXPECT_EQ(FindPattern(table, "101"), 0);
  EXPECT_EQ(FindPattern(table, "010"), 1);
  EXPECT_EQ(FindPattern(table, "111"), -1);
}

}  // namespace

}  // namespace strixa
