// SPDX-License-Identifier: Apache-2.0
#include "driver/driver.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/builders.h"
#include "support/fakePlatform.h"
#include "support/programTexts.h"

namespace strixa {

namespace {

const std::vector<std::uint8_t> textFile = {'h', 'e', 'l', 'l', 'o', '\n'};

FakePlatform PlatformWith(std::vector<std::string> arguments) {
  FakePlatform platform;
  platform.arguments = std::move(arguments);
  platform.files["blank.bmp"] = MakeBmp(MakeBlankImage(30, 20));
  platform.files["notes.txt"] = textFile;
  platform.files["empty.bmp"] = {};
  return platform;
}

struct ParameterCase {
  std::string_view name;
  std::vector<std::string> arguments;
  std::string imageFileName;
  bool fineScan, printPositions, pauseAtEnd;
};

TEST(DriverTest, ReadsParametersUntilTheFirstNonEmptyFile) {
  const ParameterCase cases[] = {
      {"no parameters", {}, "", false, false, false},
      {"switches only", {"/F", "/P"}, "", true, true, false},
      {"all switches then file", {"/F", "/D", "/X", "blank.bmp"}, "blank.bmp", true, false, true},
      {"missing path is skipped", {"nothere.bmp"}, "", false, false, false},
      {"empty file is skipped", {"empty.bmp", "/P"}, "", false, true, false},
      {"lower-case switches ignored",
       {"/f", "/p", "/d", "blank.bmp"},
       "blank.bmp",
       false,
       false,
       false},
      {"switches after the file unread",
       {"blank.bmp", "/P", "/D"},
       "blank.bmp",
       false,
       false,
       false},
      {"switch between spaces", {" /P ", "blank.bmp"}, "blank.bmp", false, true, false},
      {"quotes inside a name removed", {"bl\"ank.bmp\""}, "blank.bmp", false, false, false},
      {"only spaces are trimmed", {"\t/P", "blank.bmp"}, "blank.bmp", false, false, false},
      {"empty parameter ends the loop", {"/F", "  ", "/P", "blank.bmp"}, "", true, false, false},
      {"text file ends the loop too",
       {"/D", "notes.txt", "blank.bmp"},
       "notes.txt",
       false,
       false,
       true},
  };
  for (const ParameterCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform platform = PlatformWith({});
    RunState state;
    ReadParameters(platform, c.arguments, state);
    EXPECT_EQ(state.imageFileName, c.imageFileName);
    EXPECT_EQ(state.fineScan, c.fineScan);
    EXPECT_EQ(state.printPositions, c.printPositions);
    EXPECT_EQ(state.pauseAtEnd, c.pauseAtEnd);
  }
}

TEST(DriverTest, FileTestComesBeforeSwitchTest) {
  FakePlatform platform = PlatformWith({});
  platform.files["/P"] = textFile;
  RunState state;
  ReadParameters(platform, {"/F", "/P", "blank.bmp"}, state);
  EXPECT_EQ(state.imageFileName, "/P");
  EXPECT_TRUE(state.fineScan);
  EXPECT_FALSE(state.printPositions);
}

TEST(DriverTest, CleansParameters) {
  EXPECT_EQ(CleanParameter("  a b  "), "a b");
  EXPECT_EQ(CleanParameter("\"C:\\my dir\\x.bmp\""), "C:\\my dir\\x.bmp");
  EXPECT_EQ(CleanParameter(" \" \" "), " ");
  EXPECT_EQ(CleanParameter("   "), "");
  EXPECT_EQ(CleanParameter("\tx\t"), "\tx\t");
}

struct EndCase {
  std::string_view name;
  std::vector<std::string> arguments;
  std::string output;
  std::vector<int> sleeps;
};

TEST(DriverTest, EndsEachRunWithItsTextAndPauses) {
  const EndCase cases[] = {
      {"no parameters: banner", {}, BannerBytes(2031), {2500}},
      {"switches only: banner, /D adds nothing", {"/D", "/F"}, BannerBytes(2031), {2500}},
      {"missing file: banner", {"nothere.bmp"}, BannerBytes(2031), {2500}},
      {"text file: cannot open", {"/D", "notes.txt"}, CannotOpenBytes("notes.txt"), {2000}},
      {"quoted text file name", {" \"notes.txt\" "}, CannotOpenBytes("notes.txt"), {2000}},
      {"blank bitmap: silent run", {"blank.bmp"}, "", {2000}},
      {"blank bitmap with /D", {"/D", "blank.bmp"}, "", {2000, 5000}},
  };
  for (const EndCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform platform = PlatformWith(c.arguments);
    platform.year = 2031;
    EXPECT_EQ(RunProgram(platform), 0);
    EXPECT_EQ(platform.output, c.output);
    EXPECT_EQ(platform.sleeps, c.sleeps);
    EXPECT_EQ(platform.titles,
              std::vector<std::string>{"Strixa / commandline barcode extraction tool"});
  }
}

TEST(DriverTest, SetsTheTitleFirstAndPausesAfterTheText) {
  FakePlatform platform = PlatformWith({"notes.txt"});
  RunProgram(platform);
  ASSERT_EQ(platform.events.size(), 14u);
  EXPECT_EQ(platform.events.front(), "title");
  EXPECT_EQ(platform.events.back(), "sleep 2000");
}

TEST(DriverTest, DamagedBitmapGivesTheCannotOpenMessage) {
  FakePlatform platform = PlatformWith({"bad.bmp"});
  std::vector<std::uint8_t> bytes = MakeBmp(MakeBlankImage(30, 20));
  bytes.resize(bytes.size() / 2);
  platform.files["bad.bmp"] = bytes;
  RunProgram(platform);
  EXPECT_EQ(platform.output, CannotOpenBytes("bad.bmp"));
  EXPECT_EQ(platform.sleeps, std::vector<int>{2000});
}

struct ShownNameCase {
  std::string_view name;
  std::string fileName, shown;
};

TEST(DriverTest, CannotOpenMessageEscapesControlCharactersInTheName) {
  const ShownNameCase cases[] = {
      {"CR LF cannot forge a result line", "x.bmp\r\nEAN13\t4006381 333931\r\nreal",
       "x.bmp\\r\\nEAN13\\t4006381 333931\\r\\nreal"},
      {"terminal sequences", "\x1B]0;owned\x07\x1B[2J.bmp", "\\x1B]0;owned\\x07\\x1B[2J.bmp"},
      {"lowest and highest control bytes", std::string("a\0\x1F\x7F", 4), "a\\x00\\x1F\\x7F"},
      {"backslashes stay", "C:\\scans\\x41.bmp", "C:\\scans\\x41.bmp"},
      {"space, tilde and UTF-8 stay", "~ \xC3\xA4 .txt", "~ \xC3\xA4 .txt"},
  };
  for (const ShownNameCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform platform = PlatformWith({c.fileName});
    platform.files[c.fileName] = textFile;
    RunProgram(platform);
    EXPECT_EQ(platform.output, CannotOpenBytes(c.shown));
  }
}

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

TEST(DriverTest, LocateCandidatesClimbsTheLadderUntilSomethingIsFound) {
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
    RunState state;
    state.image = MakeBlankImage(700, 500);
    for (const StripeBlock& b : c.blocks) {
      FillRect(state.image, b.x, b.y, b.width, b.height, b.background);
      for (int x = b.x; x < b.x + b.width; x += 8) {
        FillRect(state.image, x, b.y, 4, b.height, b.grey);
      }
    }
    state.candidateList.push_back(
        {1, 1, 5, 5, Orientation::Horizontal, "left from an earlier run"});
    LocateCandidates(state);
    EXPECT_EQ(state.threshold, c.threshold);
    std::vector<std::pair<int, int>> corners;
    for (const Candidate& candidate : state.candidateList) {
      corners.emplace_back(candidate.x, candidate.y);
    }
    EXPECT_EQ(corners, c.corners);
  }
}

}  // namespace

}  // namespace strixa
