// SPDX-License-Identifier: Apache-2.0
#include "platform/commandLine.h"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "driver/driver.h"

namespace strixa {

namespace {

using Parameters = std::vector<std::string>;

struct SplitCase {
  std::string_view name, commandLine;
  Parameters expected;
};

const SplitCase splitCases[] = {
    {"empty line", "", {}},
    {"spaces only", "   ", {}},
    {"program name only", "Strixa.exe", {}},
    {"program name and trailing spaces", "Strixa.exe   ", {}},
    {"plain parameters", "Strixa.exe /P picture.bmp", {"/P", "picture.bmp"}},
    {"runs of spaces", "Strixa.exe   /F    /P  picture.bmp  ", {"/F", "/P", "picture.bmp"}},
    {"spaces before the program name", "  Strixa.exe picture.bmp", {"picture.bmp"}},
    {"quoted program path with spaces",
     "\"C:\\Program Files\\Strixa\\Strixa.exe\" /F a.bmp",
     {"/F", "a.bmp"}},
    {"quoted program path straight before a parameter",
     "\"C:\\a b\\Strixa.exe\"/D a.bmp",
     {"/D", "a.bmp"}},
    {"unterminated quoted program path", "\"C:\\a b\\Strixa.exe /P a.bmp", {}},
    {"unquoted program name ends at the first space", "C:\\a\"b c.bmp", {"c.bmp"}},
    {"quoted parameter keeps its spaces",
     "Strixa.exe \"C:\\my pictures\\a  b.bmp\" /P",
     {"C:\\my pictures\\a  b.bmp", "/P"}},
    {"quoted switch between spaces", "Strixa.exe \" /P \" a.bmp", {" /P ", "a.bmp"}},
    {"quote inside a parameter stays", "Strixa.exe bl\"ank.bmp", {"bl\"ank.bmp"}},
    {"quote inside does not join across a space",
     "Strixa.exe bl\"ank x.bmp\"",
     {"bl\"ank", "x.bmp\""}},
    {"empty quoted parameter", "Strixa.exe \"\" a.bmp", {"", "a.bmp"}},
    {"unterminated quote runs to the end", "Strixa.exe \"a  b", {"a  b"}},
    {"text after a closing quote starts the next parameter", "Strixa.exe \"a b\"c", {"a b", "c"}},
    {"tab is not a separator", "Strixa.exe a\tb", {"a\tb"}},
};

TEST(CommandLineTest, SplitsTableCases) {
  for (const SplitCase& c : splitCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SplitCommandLine(c.commandLine), c.expected);
  }
}

// The pieces go through the same cleaning as every parameter; a quoted switch must come out
// as the switch and a quoted path with spaces as the path.
TEST(CommandLineTest, CleanedPiecesGiveSwitchesAndPaths) {
  const Parameters pieces =
      SplitCommandLine("\"C:\\Strixa dir\\Strixa.exe\" \" /P \"  \"/F\" \" C:\\my dir\\a.bmp \"");
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(CleanParameter(pieces[0]), "/P");
  EXPECT_EQ(CleanParameter(pieces[1]), "/F");
  EXPECT_EQ(CleanParameter(pieces[2]), "C:\\my dir\\a.bmp");
}

}  // namespace

}  // namespace strixa
