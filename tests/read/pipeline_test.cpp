// SPDX-License-Identifier: Apache-2.0
#include "read/pipeline.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "image/image.h"
#include "locate/candidate.h"
#include "support/builders.h"
#include "support/eanEncoder.h"
#include "symbologies/symbology.h"

namespace strixa {

namespace {

// Upright stripes, four columns of grey in every eight, over a block of background.
struct StripeBlock {
  int x, y, width, height;
  std::uint8_t background, grey;
};

struct LadderCase {
  std::string_view name;
  std::vector<StripeBlock> blocks;
  int threshold;
  std::vector<std::pair<int, int>> corners;  // x and y of each candidate, in list order
};

TEST(PipelineTest, LocateCandidatesClimbsTheLadderUntilSomethingIsFound) {
  // Stripes of grey 100 on grey 170 form a solid blot at 200 and 230, so only 160 sees them;
  // grey 225 on white is seen at 230 only; grey 120 on white at every level.
  const StripeBlock seenEverywhere{40, 40, 200, 120, 255, 120};
  const StripeBlock seenAt160{40, 300, 200, 120, 170, 100};
  const StripeBlock seenAt230{400, 40, 200, 120, 255, 225};
  const LadderCase cases[] = {
      {"nothing anywhere", {}, 230, {}},
      {"found at 200: no further level runs",
       {seenEverywhere, seenAt160, seenAt230},
       200,
       {{17, 31}}},
      {"found at 160: 230 never runs", {seenAt160, seenAt230}, 160, {{17, 291}}},
      {"found at 230 only", {seenAt230}, 230, {{359, 31}}},
  };
  for (const LadderCase& c : cases) {
    SCOPED_TRACE(c.name);
    Image image = MakeBlankImage(700, 500);
    for (const StripeBlock& b : c.blocks) {
      FillRect(image, b.x, b.y, b.width, b.height, b.background);
      for (int x = b.x; x < b.x + b.width; x += 8) {
        FillRect(image, x, b.y, 4, b.height, b.grey);
      }
    }
    Reading reading;
    reading.candidateList.push_back(
        {1, 1, 5, 5, Orientation::Horizontal, "left from an earlier run"});
    LocateCandidates(image, false, reading);
    EXPECT_EQ(reading.threshold, c.threshold);
    std::vector<std::pair<int, int>> corners;
    for (const Candidate& candidate : reading.candidateList) {
      corners.emplace_back(candidate.x, candidate.y);
    }
    EXPECT_EQ(corners, c.corners);
  }
}

// A short EAN-13 symbol only the fine scan's denser lines find, above a tall one both scans read.
Image MakeTallAndShortSymbol() {
  Image image = MakeBlankImage(420, 400, 240);
  DrawBars(image, Widen(EncodeEan13("4006381333931"), 2), 1, 40, 30, 30);
  DrawBars(image, Widen(EncodeEan13("5901234123457"), 2), 1, 40, 130, 200);
  return image;
}

TEST(PipelineTest, ReadPictureScansAsAsked) {
  const std::string tall = "EAN13\t5901234 123457";
  const std::string shortOne = "EAN13\t4006381 333931";
  struct Case {
    std::string_view name;
    Scan scan;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {"normal", Scan::Normal, {tall}},
      {"fine", Scan::Fine, {shortOne, tall}},
      {"normal, then what only the fine scan found", Scan::NormalThenFine, {tall, shortOne}},
  };
  const Image image = MakeTallAndShortSymbol();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Reading reading = ReadPicture(image, {.scan = c.scan});
    std::vector<std::string> texts;
    for (const Candidate& result : reading.resultList) {
      texts.push_back(ResultLine(result.symbology, PrintedPart(result.text)));
    }
    EXPECT_EQ(texts, c.texts);
  }
}

}  // namespace

}  // namespace strixa
