// Whole runs of strixa-batch on files in a temporary folder, checked against the command line's
// own output for the same pictures.
#include "batch.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "driver/driver.h"
#include "support/batch/formatWriters.h"
#include "support/builders.h"
#include "support/code128Encoder.h"
#include "support/eanEncoder.h"
#include "support/fakePlatform.h"
#include "support/twoOfFiveEncoder.h"

namespace strixa {

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

struct RunResult {
  int status = 0;
  std::string output;
  std::string errors;
};

RunResult RunWith(const Lines& arguments, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  RunResult run;
  run.status = RunBatch(arguments, in, out, err, false);
  run.output = out.str();
  run.errors = err.str();
  return run;
}

Lines SplitLines(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

// Lines as `strixa /P` prints them, without their CR CR LF.
Lines PositionLines(const std::vector<std::uint8_t>& bmp) {
  FakePlatform platform;
  platform.files["picture.bmp"] = bmp;
  platform.arguments = {"/P", "picture.bmp"};
  RunProgram(platform);
  Lines lines;
  for (std::string line : platform.lines) {
    line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The same fields from tsv records: x, y, width, height, label, text.
Lines AsPositionLines(const std::string& tsv) {
  Lines lines;
  for (const std::string& line : SplitLines(tsv)) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) {
      f.push_back(field);
    }
    lines.push_back(f.at(4) + "\t" + f.at(5) + "\t" + f.at(6) + "\t" + f.at(7) + "\t" + f.at(2) +
                    "\t" + f.at(3));
  }
  return lines;
}

class BatchTest : public testing::Test {
 protected:
  fs::path folder = fs::temp_directory_path() / ("strixa-batch-" + std::to_string(::getpid()));
  void SetUp() override { fs::create_directories(folder); }
  void TearDown() override { fs::remove_all(folder); }
  // With '/' throughout, as the program joins the names it finds in folders.
  std::string Path(const std::string& name) const { return folder.generic_string() + "/" + name; }
};

// Several symbols upright and flat, as in the command line's own end-to-end tests.
Image DrawnPage() {
  Image page = MakeBlankImage(900, 700, 236);
  DrawBars(page, Widen(EncodeEan13("2712345678902"), 3), 1, 60, 40, 100);
  DrawBars(page, Widen(EncodeEan8("24680134"), 3), 1, 480, 40, 100);
  DrawBars(page, InterleavedTwoOfFivePixels("12345670", 3, 9), 1, 60, 480, 90);
  DrawBars(page, Widen(EncodeCode128({104, 33, 34, 99, 12, 34, 56}), 2), 1, 400, 200, 300, true);
  return page;
}

TEST_F(BatchTest, ReportsWhatTheCommandLinePrintsWithPositions) {
  std::ifstream sampleFile(STRIXA_SOURCE_DIR "/samples/sample.bmp", std::ios::binary);
  const std::vector<std::uint8_t> sample{std::istreambuf_iterator<char>(sampleFile),
                                         std::istreambuf_iterator<char>()};
  Image small = MakeBlankImage(420, 220);
  DrawBars(small, Widen(EncodeEan8("24680134"), 3), 1, 60, 50, 110);
  const std::vector<std::vector<std::uint8_t>> bitmaps = {
      sample, MakeBmp(DrawnPage()), MakeBmp(RotateImage(DrawnPage(), 2)), MakeBmp(small)};
  for (std::size_t i = 0; i < bitmaps.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(WriteFile(Path("p.bmp"), bitmaps[i]));
    const Lines expected = PositionLines(bitmaps[i]);
    EXPECT_GE(expected.size(), 1u);
    EXPECT_EQ(AsPositionLines(RunWith({Path("p.bmp")}).output), expected);
  }
}

// The drawn page in every format gives the bitmap's records; lossless pages the very same
// rectangles, JPEG and PDF pages (whose edges are not exact) the same labels and texts.
TEST_F(BatchTest, EveryFormatGivesTheBitmapsResultsInInputOrder) {
  const Image page = DrawnPage();
  const GreyPicture grey = GreyOf(page);
  ASSERT_TRUE(WriteFile(Path("page.bmp"), MakeBmp(page)));
  struct Case {
    std::string name;
    bool written;
    bool exactRectangles;
  };
  const Case cases[] = {
      {"grey.png", WritePng(Path("grey.png"), grey, false), true},
      {"colour.png", WritePng(Path("colour.png"), grey, true), true},
      {"grey.tif", WriteTiff(Path("grey.tif"), {grey}, false), true},
      {"colour.tif", WriteTiff(Path("colour.tif"), {grey}, true), true},
      {"lossless.webp", WriteWebp(Path("lossless.webp"), grey), true},
      {"page.pgm", WriteFile(Path("page.pgm"), MakePgm(grey)), true},
      {"page.pdf", WriteFile(Path("page.pdf"), MakePdf({grey})), false},
      {"grey.jpg", WriteJpeg(Path("grey.jpg"), grey, false, 95), false},
      {"colour.jpg", WriteJpeg(Path("colour.jpg"), grey, true, 95), false},
  };
  const std::string bmpRecords = RunWith({Path("page.bmp")}).output;
  ASSERT_EQ(SplitLines(bmpRecords).size(), 4u) << bmpRecords;
  Lines arguments = {"-j", "2", "--dpi=72", Path("page.bmp")};
  std::string expected = bmpRecords;
  for (const Case& c : cases) {
    if (!c.written) {
      GTEST_LOG_(INFO) << c.name << ": format not built in";
      continue;
    }
    arguments.push_back(Path(c.name));
    std::string records = bmpRecords;
    for (std::size_t at; (at = records.find(Path("page.bmp"))) != std::string::npos;) {
      records.replace(at, Path("page.bmp").size(), Path(c.name));
    }
    expected += records;
  }
  const RunResult run = RunWith(arguments);
  EXPECT_EQ(run.status, exitFound);
  EXPECT_EQ(run.errors, "");
  // Compare labels and texts everywhere, rectangles where the format is lossless.
  const Lines got = SplitLines(run.output);
  const Lines want = SplitLines(expected);
  ASSERT_EQ(got.size(), want.size()) << run.output;
  for (std::size_t i = 0; i < got.size(); ++i) {
    const bool exact = std::none_of(std::begin(cases), std::end(cases), [&](const Case& c) {
      return !c.exactRectangles && got[i].starts_with(Path(c.name) + "\t");
    });
    const auto head = [](const std::string& line) {
      std::size_t end = 0;
      for (int tab = 0; tab < 4; ++tab) {
        end = line.find('\t', end + 1);
      }
      return line.substr(0, end);
    };
    EXPECT_EQ(exact ? got[i] : head(got[i]), exact ? want[i] : head(want[i]));
  }
}

TEST_F(BatchTest, ExitStatusTellsWhatHappened) {
  ASSERT_TRUE(WriteFile(Path("found.bmp"), MakeBmp(DrawnPage())));
  ASSERT_TRUE(WriteFile(Path("blank.bmp"), MakeBmp(MakeBlankImage(200, 100))));
  ASSERT_TRUE(WriteFile(Path("text.bmp"), {'h', 'i', '\n'}));
  fs::create_directories(folder / "sub");
  struct Case {
    std::string name;
    Lines arguments;
    int status;
    std::string errors;
  };
  const Case cases[] = {
      {"found", {Path("found.bmp"), Path("blank.bmp")}, exitFound, ""},
      {"nothing found", {Path("blank.bmp")}, exitNothingFound, ""},
      {"unknown format",
       {Path("found.bmp"), Path("text.bmp")},
       exitUnreadable,
       "strixa-batch: " + Path("text.bmp") + ": unknown format\n"},
      {"missing",
       {Path("none.png")},
       exitUnreadable,
       "strixa-batch: " + Path("none.png") + ": cannot open: No such file or directory\n"},
      {"directory without -r",
       {Path("sub")},
       exitUnreadable,
       "strixa-batch: " + Path("sub") + ": is a directory (-r reads its files)\n"},
      {"usage",
       {"--jobs=x", Path("found.bmp")},
       exitUsage,
       "strixa-batch: invalid value 'x' for --jobs\n"
       "Try 'strixa-batch --help' for more information.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult run = RunWith(c.arguments);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.errors, c.errors);
  }
}

// Records of a file list, keeping only each one's file name column.
Lines FileColumn(const std::string& output) {
  Lines files;
  for (const std::string& line : SplitLines(output)) {
    files.push_back(line.substr(0, line.find('\t')));
  }
  return files;
}

TEST_F(BatchTest, ReadsListsFromStandardInputAndWalksFolders) {
  Image one = MakeBlankImage(420, 220);
  DrawBars(one, Widen(EncodeEan8("24680134"), 3), 1, 60, 50, 110);
  fs::create_directories(folder / "tree" / "b");
  ASSERT_TRUE(WriteFile(Path("tree/b/1.bmp"), MakeBmp(one)));
  ASSERT_TRUE(WriteFile(Path("tree/a.bmp"), MakeBmp(one)));
  ASSERT_TRUE(WriteFile(Path("tree/c.bmp"), MakeBmp(one)));
#ifdef _WIN32
  const std::string odd = Path("semi;colon.bmp");  // no line ends in Windows names
  const std::string escapedOdd = odd;
#else
  const std::string odd = Path("line\nbreak.bmp");
  const std::string escapedOdd = Path("line\\nbreak.bmp");
#endif
  ASSERT_TRUE(WriteFile(odd, MakeBmp(one)));

  EXPECT_EQ(FileColumn(RunWith({"-r", Path("tree")}).output),
            (Lines{Path("tree/a.bmp"), Path("tree/b/1.bmp"), Path("tree/c.bmp")}));
  EXPECT_EQ(
      FileColumn(RunWith({"-"}, Path("tree/c.bmp") + "\n" + Path("tree/a.bmp") + "\n").output),
      (Lines{Path("tree/c.bmp"), Path("tree/a.bmp")}));
  const RunResult nul =
      RunWith({"-0", Path("tree/c.bmp"), "-"}, odd + '\0' + Path("tree/a.bmp") + '\0');
  EXPECT_EQ(FileColumn(nul.output), (Lines{Path("tree/c.bmp"), escapedOdd, Path("tree/a.bmp")}));
  EXPECT_EQ(nul.status, exitFound);
}

// The summary is on at a terminal unless refused, off elsewhere unless asked for; a file where
// nothing was found is a record in jsonl, and in tsv under --list-empty.
TEST_F(BatchTest, SummaryAndEmptyFilesFollowTheOptions) {
  ASSERT_TRUE(WriteFile(Path("found.bmp"), MakeBmp(DrawnPage())));
  ASSERT_TRUE(WriteFile(Path("blank.bmp"), MakeBmp(MakeBlankImage(200, 100))));
  const auto run = [&](Lines arguments, bool terminal) {
    arguments.insert(arguments.end(), {Path("found.bmp"), Path("blank.bmp")});
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    RunBatch(arguments, in, out, err, terminal, false);
    return RunResult{0, out.str(), err.str()};
  };
  const std::string summary =
      "strixa-batch: 2 files: 1 with barcodes, 1 without, 0 errors; 4 barcodes in ";
  EXPECT_EQ(run({"--no-progress"}, true).errors.rfind(summary, 0), 0u);
  EXPECT_EQ(run({"--no-progress", "--no-summary"}, true).errors, "");
  EXPECT_EQ(run({}, false).errors, "");
  EXPECT_EQ(run({"--summary"}, false).errors.rfind(summary, 0), 0u);
  EXPECT_EQ(SplitLines(run({}, false).output).size(), 4u);
  EXPECT_EQ(SplitLines(run({"--list-empty"}, false).output).back(),
            Path("blank.bmp") + std::string(10, '\t'));
  EXPECT_EQ(SplitLines(run({"--format=jsonl"}, false).output).back(),
            "{\"schema\":1,\"file\":\"" + Path("blank.bmp") + "\",\"barcodes\":0}");
}

// A picture placed in a PDF at 72 dpi, one pixel a point, comes out more than four times its
// size at the default 300 dpi; the PDF must still give what its own pixels give.
TEST_F(BatchTest, PdfPagesGiveWhatTheirPicturesGive) {
  Image page = MakeBlankImage(1100, 700, 236);
  DrawBars(page, Widen(EncodeEan8("96385074"), 4), 1, 60, 40, 150);
  DrawBars(page, TwoOfFivePixels("000001", 3, 8), 1, 500, 40, 150);
  DrawBars(page, Widen(EncodeEan13("0036000291452"), 3), 1, 60, 400, 200);
  ASSERT_TRUE(WriteFile(Path("page.bmp"), MakeBmp(page)));
  const std::string symbologies = "--symbologies=ean8,2of5,upca";
  const std::string bmp = RunWith({symbologies, Path("page.bmp")}).output;
  ASSERT_EQ(SplitLines(bmp).size(), 3u);
  if (!WriteFile(Path("page.pdf"), MakePdf({GreyOf(page)})) ||
      RunWith({Path("page.pdf")}).errors.find("not built in") != std::string::npos) {
    GTEST_SKIP() << "PDF not built in";
  }
  const auto labelsAndTexts = [](const std::string& output) {
    Lines fields;
    for (const std::string& line : SplitLines(output)) {
      const std::size_t label = line.find('\t', line.find('\t') + 1) + 1;
      fields.push_back(line.substr(label, line.find('\t', line.find('\t', label) + 1) - label));
    }
    std::ranges::sort(fields);
    return fields;
  };
  const RunResult pdf = RunWith({symbologies, Path("page.pdf")});
  EXPECT_EQ(labelsAndTexts(pdf.output), labelsAndTexts(bmp));
}

}  // namespace

}  // namespace strixa
