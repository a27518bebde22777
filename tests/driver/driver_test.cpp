// SPDX-License-Identifier: Apache-2.0
#include "driver/driver.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "locate/candidate.h"
#include "support/builders.h"
#include "support/code128Encoder.h"
#include "support/fakePlatform.h"
#include "support/programTexts.h"
#include "symbologies/symbology.h"

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

// Two Code 128 symbols with one text side by side, 20 modules apart; and one symbol at 8.34 pixels
// per module, where the locator takes a 4-module space for a quiet zone and finds two halves.
TEST(DriverTest, ARunPrintsEachSymbolOnceAndEachOfTwoEqualSymbols) {
  const std::string symbol = EncodeCode128({104, 44, 65, 66, 69, 76, 13, 99, 47, 11});
  const std::string quiet(10, '0');
  struct Case {
    std::string_view name;
    std::string modules;
    double pixelsPerModule;
    std::size_t lines;
  };
  const Case cases[] = {
      {"two symbols side by side", quiet + symbol + quiet + quiet + symbol + quiet, 4.17, 2},
      {"one large symbol", quiet + symbol + quiet, 8.34, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool fine : {false, true}) {
      const std::string pixels = WidenFractional(c.modules, c.pixelsPerModule);
      Image image = MakeBlankImage(static_cast<int>(pixels.size()) + 2, 460);
      DrawBars(image, pixels, 1, 2, 20, 420);
      FakePlatform platform;
      platform.files["labels.bmp"] = MakeBmp(image);
      platform.arguments = {"/P", "labels.bmp"};
      if (fine) {
        platform.arguments.insert(platform.arguments.begin(), "/F");
      }
      RunProgram(platform);
      ASSERT_EQ(platform.lines.size(), c.lines) << fine;
      for (const std::string& line : platform.lines) {
        EXPECT_TRUE(line.ends_with("\tCODE128\tLabel-4711\r")) << line;
      }
    }
  }
}

TEST(DriverTest, PrintResultsWritesTextOrPositionsWithAnExtraCarriageReturn) {
  const std::vector<Candidate> resultList = {
      {120, 88, 214, 131, Orientation::Horizontal, "4006381 333931", Symbology::Ean13},
      {-5, 7, 0, 1000, Orientation::VerticalReversed, "1234", Symbology::TwoOfFive},
  };
  FakePlatform plain;
  PrintResults(plain, resultList, false);
  EXPECT_EQ(plain.output, "EAN13\t4006381 333931\r\n2/5\t1234\r\n");
  FakePlatform positioned;
  PrintResults(positioned, resultList, true);
  EXPECT_EQ(positioned.output,
            "120\t88\t214\t131\tEAN13\t4006381 333931\r\r\n"
            "-5\t7\t0\t1000\t2/5\t1234\r\r\n");
}

}  // namespace

}  // namespace strixa
