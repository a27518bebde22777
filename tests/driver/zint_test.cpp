// SPDX-License-Identifier: Apache-2.0
// Symbols drawn by an independent encoder, the zint command-line tool, when it is installed.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "driver/driver.h"
#include "support/fakePlatform.h"

namespace strixa {

namespace {

bool HaveZint() { return std::system("command -v zint >/dev/null 2>&1") == 0; }

// The lines a run prints for the bitmap zint draws with arguments and whitespace modules of margin
// beside the symbol, or one "zint failed" line.
std::vector<std::string> ReadZintSymbol(const std::string& arguments, int whitespace = 10,
                                        bool fine = false) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("strixa-zint-" + std::to_string(::getpid()) + ".bmp"))
                               .string();
  const std::string command = "zint --filetype=BMP --notext -w " + std::to_string(whitespace) +
                              " --vwhitesp=10 -o '" + path + "' " + arguments + " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) {
    return {"zint failed: " + command};
  }
  std::ifstream in(path, std::ios::binary);
  FakePlatform platform;
  platform.files["zint.bmp"] = {std::istreambuf_iterator<char>(in), {}};
  std::filesystem::remove(path);
  if (fine) {
    platform.arguments.push_back("/F");
  }
  platform.arguments.push_back("zint.bmp");
  RunProgram(platform);
  return platform.lines;
}

struct ZintCase {
  std::string_view name;
  std::string arguments;
  std::string expected;
};

TEST(ZintTest, ReadsSymbolsAnIndependentEncoderDraws) {
  if (!HaveZint()) {
    GTEST_SKIP() << "zint is not installed (apt-get install zint); skipping encoder cross-checks";
  }
  const ZintCase cases[] = {
      {"EAN-13 at 2 px", "-b EANX --scale=1 -d 271234567890", "EAN13\t2712345 678902"},
      {"EAN-13 at 3 px", "-b EANX --scale=1.5 -d 590123412345", "EAN13\t5901234 123457"},
      {"EAN-13 at 4 px turned", "-b EANX --scale=2 --rotate=90 -d 400638133393",
       "EAN13\t4006381 333931"},
      {"UPC-A at 2 px", "-b UPCA --scale=1 -d 01234567890", "UPC-A\t012345 678905"},
      {"UPC-A at 3 px upside down", "-b UPCA --scale=1.5 --rotate=180 -d 03600029145",
       "UPC-A\t036000 291452"},
      {"EAN-8 at 2 px", "-b EANX --scale=1 -d 2468013", "EAN8\t2468 0134"},
      {"EAN-8 at 3 px turned", "-b EANX --scale=1.5 --rotate=270 -d 1357924", "EAN8\t1357 9241"},
      {"Code 128 set B", "-b CODE128 --scale=1 -d 'Hello, world'", "CODE128\tHello, world"},
      {"Code 128 set C", "-b CODE128 --scale=1 -d 12345678", "CODE128\t12345678"},
      {"Code 128 set A", "-b CODE128 --scale=1.5 --esc -d 'AB\\tCD'", "CODE128\tAB<HT>CD"},
      {"Code 128 set changes", "-b CODE128 --scale=1 -d 'ab123456cd'", "CODE128\tab123456cd"},
      {"Code 128 turned", "-b CODE128 --scale=1.5 --rotate=90 -d 'Strixa-7'", "CODE128\tStrixa-7"},
      {"GS1-128", "-b GS1_128 --scale=1 -d '[01]12345678901231'", "EAN128\t0112345678901231"},
      {"GS1-128 starting in set B keeps FNC1 as text", "-b GS1_128 --scale=1 -d '[10]ABC123[21]42'",
       "CODE128\t<FNC1>10ABC123<FNC1>2142"},
      {"Code 39", "-b CODE39 --scale=1 -d 'CODE-39 $'", "CODE39\tCODE-39 $"},
      {"Code 39 with check character", "-b CODE39 --vers=1 --scale=1 -d ABC123", "CODE39\tABC123$"},
      {"Code 39 turned", "-b CODE39 --scale=1.5 --rotate=180 -d A1B2", "CODE39\tA1B2"},
      {"interleaved 2 of 5", "-b C25INTER --scale=1.5 -d 12345678", "2/5i\t12345678"},
      {"interleaved 2 of 5 turned", "-b C25INTER --scale=1.5 --rotate=90 -d 0123456789",
       "2/5i\t0123456789"},
  };
  for (const ZintCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadZintSymbol(c.arguments), std::vector<std::string>{c.expected});
  }
}

// Symbols with margins of 0, 3 and 4 modules, as labels are cropped and printed; at 0 the bars run
// into the picture's edge.
TEST(ZintTest, ReadsSymbolsWithNarrowMarginsOrNone) {
  if (!HaveZint()) {
    GTEST_SKIP() << "zint is not installed (apt-get install zint); skipping encoder cross-checks";
  }
  const ZintCase cases[] = {
      {"Code 128", "-b CODE128 --scale=1 -d Strixa-128", "CODE128\tStrixa-128"},
      {"GS1-128", "-b GS1_128 --scale=1 -d '[01]04012345678901'", "EAN128\t0104012345678901"},
      {"Code 39", "-b CODE39 --scale=1 -d STRIXA-39", "CODE39\tSTRIXA-39"},
      {"EAN-8", "-b EANX --scale=1 -d 2468013", "EAN8\t2468 0134"},
      {"2 of 5", "-b C25IND --scale=1 -d 1234567", "2/5\t1234567"},
  };
  for (const ZintCase& c : cases) {
    for (int whitespace : {0, 3, 4}) {
      for (bool fine : {false, true}) {
        SCOPED_TRACE(std::string(c.name) + ", margin " + std::to_string(whitespace) +
                     (fine ? ", /F" : ""));
        EXPECT_EQ(ReadZintSymbol(c.arguments, whitespace, fine),
                  std::vector<std::string>{c.expected});
      }
    }
  }
  // Interleaved 2 of 5 asks for its whole quiet zone, or bars that run into both edges.
  for (bool fine : {false, true}) {
    EXPECT_EQ(ReadZintSymbol("-b C25INTER --scale=1 -d 12345678", 0, fine),
              std::vector<std::string>{"2/5i\t12345678"});
  }
}

}  // namespace

}  // namespace strixa
