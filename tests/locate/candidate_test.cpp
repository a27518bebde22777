#include "locate/candidate.h"

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

}  // namespace

}  // namespace strixa
