// SPDX-License-Identifier: Apache-2.0
#include "locate/candidate.h"

#include <random>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace strixa {

namespace {

using enum Orientation;

struct OverlapCase {
  std::string_view name;
  Box a, b;
  bool overlap;
};

TEST(CandidateTest, RectanglesOverlapIncludingTouchingEdges) {
  const OverlapCase cases[] = {
      {"shared right edge", {1, 1, 10, 10}, {11, 1, 10, 10}, true},
      {"one column apart", {1, 1, 10, 10}, {12, 1, 10, 10}, false},
      {"single corner", {1, 1, 10, 10}, {11, 11, 5, 5}, true},
      {"one row apart below", {1, 1, 10, 10}, {1, 12, 10, 10}, false},
      {"shared bottom edge", {1, 1, 10, 10}, {1, 11, 10, 10}, true},
      {"inside", {1, 1, 100, 100}, {20, 20, 5, 5}, true},
      {"left of", {30, 1, 10, 10}, {1, 1, 28, 10}, false},
      {"above", {1, 30, 10, 10}, {1, 1, 10, 28}, false},
  };
  for (const OverlapCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RectanglesOverlap(c.a, c.b), c.overlap);
    EXPECT_EQ(RectanglesOverlap(c.b, c.a), c.overlap);
  }
}

TEST(CandidateTest, OverlapsCandidateLooksAtTheWholeList) {
  std::vector<Candidate> candidateList;
  EXPECT_FALSE(OverlapsCandidate({1, 1, 10, 10}, candidateList));
  candidateList.push_back({100, 100, 50, 20, Horizontal, ""});
  candidateList.push_back({1, 300, 40, 90, Vertical, ""});
  EXPECT_FALSE(OverlapsCandidate({1, 1, 10, 10}, candidateList));
  EXPECT_TRUE(OverlapsCandidate({41, 390, 5, 5}, candidateList));
  EXPECT_TRUE(OverlapsCandidate({150, 120, 1, 1}, candidateList));
  EXPECT_FALSE(OverlapsCandidate({151, 121, 1, 1}, candidateList));
}

// Random rectangles, many of them with edges on or next to cell borders, some far past the grid
// or with negative sides: the index must answer as the walk over the whole list does.
TEST(CandidateTest, OverlapIndexAnswersAsTheWholeListDoes) {
  std::mt19937 random(20261207);
  const auto pick = [&random](int below) { return static_cast<int>(random() % below); };
  const auto coordinate = [&](int size) {
    return pick(2) == 0 ? pick(size + 400) - 200 : 64 * pick(size / 64 + 3) + pick(5) - 2;
  };
  const auto side = [&] {
    switch (pick(6)) {
      case 0:
        return -pick(80);
      case 1:
        return pick(3000);
      case 2:
        return 64 * pick(4) + pick(5) - 2;
      default:
        return pick(150);
    }
  };
  int overlaps = 0;
  int misses = 0;
  for (int round = 0; round < 40; ++round) {
    const int width = 1 + pick(1500);
    const int height = 1 + pick(1500);
    OverlapIndex index(width, height);
    std::vector<Candidate> candidateList;
    for (int i = 0; i < 300; ++i) {
      const Box box{coordinate(width), coordinate(height), side(), side()};
      const bool expected = OverlapsCandidate(box, candidateList);
      ASSERT_EQ(index.Overlaps(box), expected)
          << "round " << round << " query " << i << ": " << box.x << ", " << box.y << ", "
          << box.width << ", " << box.height;
      (expected ? overlaps : misses) += 1;
      // Mostly only clear rectangles are kept, as in the passes; a few overlapping ones too,
      // since refinement can grow a recorded candidate over its neighbours.
      if (!expected || pick(5) == 0) {
        candidateList.push_back({box.x, box.y, box.width, box.height, Horizontal, ""});
        index.Add(box);
      }
    }
  }
  EXPECT_GT(overlaps, 2000);
  EXPECT_GT(misses, 2000);
}

}  // namespace

}  // namespace strixa
