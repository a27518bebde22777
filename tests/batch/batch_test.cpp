// SPDX-License-Identifier: Apache-2.0
// Whole runs of strixa-batch on files in a temporary folder, checked against the command line's
// own output for the same pictures.
#include "batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include "driver/driver.h"
#include "strixa/strixa.h"
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

RunResult RunWith(const Lines& arguments, std::istream& in) {
  std::ostringstream out;
  std::ostringstream err;
  RunResult run;
  run.status = RunBatch(arguments, in, out, err, false);
  run.output = out.str();
  run.errors = err.str();
  return run;
}

RunResult RunWith(const Lines& arguments, const std::string& input = "") {
  std::istringstream in(input);
  return RunWith(arguments, in);
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
    // strixa prints the document pipeline's records.
    EXPECT_EQ(AsPositionLines(RunWith({"--engine=document", Path("p.bmp")}).output), expected);
  }
}

// jsonl records end with the library's corners and angle, in its order, one decimal each: an
// upright symbol's from its top-left corner, a flat one's from its top-right.
TEST_F(BatchTest, JsonlRecordsEndWithCornersAndAngle) {
  const RunResult run =
      RunWith({"--format=jsonl", "--engine=document", STRIXA_SOURCE_DIR "/samples/sample.bmp"});
  const Lines lines = SplitLines(run.output);
  ASSERT_EQ(lines.size(), 8u);
  const auto ending = [&](std::string_view label) {
    for (const std::string& line : lines) {
      if (line.find("\"label\":\"" + std::string(label) + "\"") != std::string::npos) {
        return line.substr(line.find(",\"orientation\""));
      }
    }
    return std::string();
  };
  // EAN13 35 41 364 130 upright; UPC-A 901 269 99 370 flat.
  EXPECT_EQ(ending("EAN13"),
            ",\"orientation\":\"upright\",\"corners\":[[34.0,40.0],[398.0,40.0],[398.0,170.0],"
            "[34.0,170.0]],\"angle\":0.0}");
  EXPECT_EQ(ending("UPC-A"),
            ",\"orientation\":\"flat\",\"corners\":[[999.0,268.0],[999.0,638.0],[900.0,638.0],"
            "[900.0,268.0]],\"angle\":90.0}");
}

// --engine reaches every reader: a symbol only the robust engine reads (light bars on dark) is
// found with robust and both, not with document.
TEST_F(BatchTest, TheEngineChosenReadsEveryFile) {
  Image page = MakeBlankImage(500, 260, 235);
  DrawBars(page, Widen(EncodeEan13("5901234123457"), 2), 1, 60, 60, 120);
  std::vector<std::uint8_t> bitmap = MakeBmp(page);
  // The pixels, after the headers, turned to their negative (the palette too, if any).
  for (std::size_t i = 54; i < bitmap.size(); ++i) {
    bitmap[i] = static_cast<std::uint8_t>(255 - bitmap[i]);
  }
  ASSERT_TRUE(WriteFile(Path("light-on-dark.bmp"), bitmap));
  const struct {
    std::string engine;
    std::size_t lines;
  } cases[] = {{"--engine=document", 0}, {"--engine=robust", 1}, {"--engine=both", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.engine);
    const RunResult run =
        RunWith({c.engine, "-j2", Path("light-on-dark.bmp"), Path("light-on-dark.bmp")});
    EXPECT_EQ(SplitLines(run.output).size(), 2 * c.lines);
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
  ASSERT_TRUE(WriteFile(Path("empty.jpg"), {}));
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
      {"empty",
       {Path("empty.jpg")},
       exitUnreadable,
       "strixa-batch: " + Path("empty.jpg") + ": the file is empty\n"},
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
            "{\"schema\":2,\"file\":\"" + Path("blank.bmp") + "\",\"barcodes\":0}");
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
  const std::string bmp = RunWith({"--engine=document", symbologies, Path("page.bmp")}).output;
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
  const RunResult pdf = RunWith({"--engine=document", symbologies, Path("page.pdf")});
  EXPECT_EQ(labelsAndTexts(pdf.output), labelsAndTexts(bmp));
  // An unknown operator in place of the first: a page the renderer reports errors on is drawn
  // once, as retries of damaged pages may cost as much again each, and gives only what that
  // drawing gives.
  std::vector<std::uint8_t> damaged = MakePdf({GreyOf(page)});
  const std::string content = "q 1100 0 0 700 0 0 cm";
  const auto at = std::search(damaged.begin(), damaged.end(), content.begin(), content.end());
  ASSERT_NE(at, damaged.end());
  *at = 'x';
  ASSERT_TRUE(WriteFile(Path("damaged.pdf"), damaged));
  const RunResult once = RunWith({"--engine=document", symbologies, Path("damaged.pdf")});
  EXPECT_EQ(once.errors, "");
  EXPECT_EQ(labelsAndTexts(once.output), Lines{"EAN8\t9638 5074"});
}

// Each page's records leave as soon as the page is read, so an interrupt loses none of them.
TEST_F(BatchTest, HandsOnEachPageAsItIsRead) {
  const GreyPicture grey = GreyOf(DrawnPage());
  const GreyPicture blank = GreyOf(MakeBlankImage(300, 200));
  if (!WriteTiff(Path("pages.tif"), {grey, blank, grey}, false)) {
    GTEST_SKIP() << "TIFF not built in";
  }
  strixa_reader* reader = nullptr;
  ASSERT_EQ(strixa_reader_create(nullptr, &reader), STRIXA_OK);
  std::vector<std::vector<int>> parts;
  const FileRecord rest =
      ReadInput(reader, {Path("pages.tif"), {}, true}, FileLimits{}, [&](FileRecord&& part) {
        parts.emplace_back();
        for (const BarcodeRecord& barcode : part.barcodes) {
          parts.back().push_back(barcode.page);
        }
      });
  strixa_reader_destroy(reader);
  EXPECT_EQ(parts, (std::vector<std::vector<int>>{{1, 1, 1, 1}, {3, 3, 3, 3}}));
  EXPECT_TRUE(rest.barcodes.empty());
  EXPECT_EQ(rest.error, "");
}

// A file's bytes are held whole while it is read: they count in the run's budget for files, and a
// file over the size limit is refused without reading it.
TEST_F(BatchTest, HoldsFilesReadInTheirBudget) {
  ASSERT_TRUE(WriteFile(Path("small.pgm"), MakePgm(GreyOf(DrawnPage()))));
  ASSERT_TRUE(WriteFile(Path("large.pgm"), MakePgm(GreyOf(MakeBlankImage(1100, 1000)))));
  struct Case {
    std::string name, error;
  };
  std::vector<Case> cases = {
      {"small.pgm", ""},
      {"large.pgm", "out of memory (more than the run's budget of 1 MiB for files read)"},
  };
#ifndef _WIN32
  // Sparse: no disk is spent on it, but a reader that read it would take a gigabyte.
  const std::string header = "P5 1 1 255\n";
  ASSERT_TRUE(WriteFile(Path("huge.pgm"), std::vector<std::uint8_t>(header.begin(), header.end())));
  fs::resize_file(Path("huge.pgm"), maxFileBytes + 1);
  cases.push_back({"huge.pgm", "file too large (more than 1024 MiB)"});
#endif
  strixa_reader* reader = nullptr;
  ASSERT_EQ(strixa_reader_create(nullptr, &reader), STRIXA_OK);
  strixa_budget* files = nullptr;
  ASSERT_EQ(strixa_budget_create(1 << 20, &files), STRIXA_OK);
  FileLimits limits;
  limits.fileMemory = files;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadInput(reader, {Path(c.name), {}, true}, limits).error, c.error);
    EXPECT_EQ(strixa_budget_used(files), 0u);
  }
  strixa_reader_destroy(reader);
  strixa_budget_destroy(files);
}

// A file's pages leave as they are read, so its last part may hold nothing of its own: a file
// with barcodes on an earlier page is still no nothing-found file, in records or the summary.
TEST_F(BatchTest, APagedFileEndingBlankIsNoEmptyFile) {
  if (!WriteTiff(Path("pages.tif"), {GreyOf(DrawnPage()), GreyOf(MakeBlankImage(300, 200))},
                 false)) {
    GTEST_SKIP() << "TIFF not built in";
  }
  const RunResult run = RunWith({"--format=jsonl", "--summary", Path("pages.tif")});
  EXPECT_EQ(SplitLines(run.output).size(), 4u);
  EXPECT_EQ(run.output.find("\"barcodes\":0"), std::string::npos);
  EXPECT_NE(run.errors.find("1 file: 1 with barcodes, 0 without, 0 errors; 4 barcodes"),
            std::string::npos);
}

// Inputs an attacker or a slip can hand over: each ends at once with its own message (a FIFO
// opened the usual way would wait for a writer for ever), and names are never written raw.
TEST_F(BatchTest, RefusesHostileInputsAtOnceWithAMessage) {
  ASSERT_TRUE(WriteFile(Path("found.bmp"), MakeBmp(DrawnPage())));
  const std::string longLine(maxListLine + 1, 'a');
  struct Case {
    std::string name;
    Lines arguments;
    std::string list;
    std::string errors;
  };
  std::vector<Case> cases = {
      {"a list line over the path limit, then a good one",
       {"-"},
       longLine + "\n" + Path("found.bmp") + "\n",
       "strixa-batch: -: line 1 of the list is longer than 4096 bytes, the path limit\n"},
      {"a list line of zero bytes without a line end",
       {"-"},
       std::string(3 * maxListLine, '\0'),
       "strixa-batch: -: line 1 of the list is longer than 4096 bytes, the path limit\n"},
      {"a NUL byte inside a listed path",
       {"-"},
       Path("found.bmp") + std::string(1, '\0') + "x\n",
       "strixa-batch: " + Path("found.bmp") +
           "\\x00x: a path cannot hold a NUL byte (-0 separates the list by them)\n"},
      {"control bytes in an option",
       {"--format=\x1b[2J"},
       "",
       "strixa-batch: invalid value '\\x1B[2J' for --format\n"
       "Try 'strixa-batch --help' for more information.\n"},
  };
#ifndef _WIN32
  // Windows names hold no control bytes, and its path limit differs.
  const std::string escName = Path("\x1b]0;title\x07\x7f.bmp");
  ASSERT_TRUE(WriteFile(escName, {'B', 'M'}));
  cases.push_back({"control bytes in a name",
                   {escName},
                   "",
                   "strixa-batch: " + Path("\\x1B]0;title\\x07\\x7F.bmp") +
                       ": not a bitmap this library reads\n"});
  const std::string longestPath = Path(std::string(maxListLine - Path("").size(), 'b'));
  cases.push_back({"a list line at the limit is a path",
                   {"-"},
                   longestPath + "\n",
                   "strixa-batch: " + longestPath + ": cannot open: File name too long\n"});
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  cases.push_back({"a FIFO in a list",
                   {"-"},
                   Path("fifo") + "\n",
                   "strixa-batch: " + Path("fifo") +
                       ": not a regular file (a pipe is read only when named on the command "
                       "line)\n"});
  cases.push_back({"a FIFO named without a writer",
                   {Path("fifo")},
                   "",
                   "strixa-batch: " + Path("fifo") + ": the pipe was empty\n"});
  cases.push_back({"a device", {"/dev/zero"}, "", "strixa-batch: /dev/zero: not a regular file\n"});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult run = RunWith(c.arguments, c.list);
    EXPECT_EQ(run.status, c.arguments[0].starts_with("--") ? exitUsage : exitUnreadable);
    EXPECT_EQ(run.errors, c.errors);
    EXPECT_EQ(run.output.find('\x1b'), std::string::npos);
  }
  // The good path after the long line is still read.
  EXPECT_EQ(SplitLines(RunWith({"-"}, cases[0].list).output).size(), 4u);
}

#ifndef _WIN32
// A list that cannot be read (standard input redirected from a folder) is an error, not an
// empty list.
TEST_F(BatchTest, SaysWhenTheListCannotBeRead) {
  std::ifstream folderAsList(folder);
  const RunResult run = RunWith({"-"}, folderAsList);
  EXPECT_EQ(run.status, exitUnreadable);
  EXPECT_EQ(run.errors, "strixa-batch: -: cannot read the list: Is a directory\n");
}

// A picture through a pipe named on the command line is read, whatever its format; the same
// pipe in a list is refused.
TEST_F(BatchTest, ReadsAPipeNamedOnTheCommandLine) {
  const std::vector<std::uint8_t> bmp = MakeBmp(DrawnPage());
  ASSERT_TRUE(WriteFile(Path("page.bmp"), bmp));
  const std::string fromFile = RunWith({Path("page.bmp")}).output;
  ASSERT_EQ(SplitLines(fromFile).size(), 4u);
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  // The writer gives up once the run is over, so a run that never reads cannot hang the test.
  std::atomic<bool> runOver = false;
  ASSERT_EQ(::fcntl(ends[1], F_SETFL, O_NONBLOCK), 0);
  std::thread writer([&] {
    std::size_t written = 0;
    while (written < bmp.size() && !runOver) {
      const ssize_t got = ::write(ends[1], bmp.data() + written, bmp.size() - written);
      if (got > 0) {
        written += static_cast<std::size_t>(got);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    ::close(ends[1]);
  });
  const std::string name = "/dev/fd/" + std::to_string(ends[0]);
  const RunResult run = RunWith({name});
  runOver = true;
  writer.join();
  ::close(ends[0]);
  std::string expected = fromFile;
  for (std::size_t at; (at = expected.find(Path("page.bmp"))) != std::string::npos;) {
    expected.replace(at, Path("page.bmp").size(), name);
  }
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(run.output, expected);
}
#endif

}  // namespace

}  // namespace strixa
