// SPDX-License-Identifier: Apache-2.0
#include "progress.h"

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace strixa {

namespace {

TEST(ProgressTest, ShowsRateAndTimeLeft) {
  EXPECT_EQ(ProgressText(50, 200, 10.0),
            "[#######.......................] 50/200 files  5.0 files/s  0:30 left");
  EXPECT_EQ(ProgressText(0, 9, 0.0),
            "[..............................] 0/9 files  0.0 files/s  --:-- left");
  EXPECT_EQ(ProgressText(1, 3601, 1.0),
            "[..............................] 1/3601 files  1.0 files/s  1:00:00 left");
  EXPECT_EQ(ProgressText(200, 200, 40.0),
            "[##############################] 200/200 files  5.0 files/s  0:40 total");
}

// The bar is redrawn in place, cleared for a message, and ends its line after the last file.
TEST(ProgressTest, DrawsOnOneLine) {
  std::ostringstream errors;
  ProgressBar bar;
  bar.out = &errors;
  bar.total = 2;
  AdvanceProgress(bar);
  ClearProgress(bar);
  AdvanceProgress(bar);
  const std::string text = errors.str();
  EXPECT_EQ(text.find('\n'), text.size() - 1);
  EXPECT_NE(text.find("1/2 files"), std::string::npos);
  EXPECT_NE(text.find("\r" + std::string(10, ' ')), std::string::npos);
  EXPECT_NE(text.find("2/2 files"), std::string::npos);
}

#ifndef _WIN32
// The lines a terminal shows for bytes written to it: a carriage return goes back to the line's
// start, and what follows overwrites what was there.
std::vector<std::string> Screen(std::string_view bytes) {
  std::vector<std::string> rows(1);
  std::size_t column = 0;
  for (const char c : bytes) {
    if (c == '\n') {
      rows.emplace_back();
      column = 0;
    } else if (c == '\r') {
      column = 0;
    } else {
      std::string& row = rows.back();
      if (column < row.size()) {
        row[column] = c;
      } else {
        row += c;
      }
      ++column;
    }
  }
  return rows;
}

// The program with standard output and standard error on one terminal, as a user runs it: the
// bar is drawn, records scroll above it on lines of their own, and the summary ends the run.
TEST(ProgressTest, RecordsNeverShareALineWithTheBarOnATerminal) {
  const std::string sample = STRIXA_SOURCE_DIR "/samples/sample.bmp";
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_NE(child, -1);
  if (child == 0) {
    execl(STRIXA_BATCH, "strixa-batch", "-j", "1", sample.c_str(), sample.c_str(), sample.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string bytes;
  char buffer[4096];
  for (ssize_t got; (got = read(terminal, buffer, sizeof buffer)) > 0;) {
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  close(terminal);
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << bytes;

  std::vector<std::string> rows = Screen(bytes);
  ASSERT_FALSE(rows.empty());
  if (rows.back().empty()) {
    rows.pop_back();
  }
  int records = 0;
  bool barSeen = false;
  for (const std::string& row : rows) {
    SCOPED_TRACE(row);
    if (row.starts_with(sample + "\t")) {
      ++records;
    } else if (row.starts_with("[")) {
      // Only the finished bar keeps a line; it holds nothing else.
      EXPECT_NE(row.find("] 3/3 files"), std::string::npos);
      EXPECT_EQ(row.find('\t'), std::string::npos);
      barSeen = true;
    } else {
      EXPECT_EQ(&row, &rows.back());
      EXPECT_TRUE(
          row.starts_with("strixa-batch: 3 files: 3 with barcodes, 0 without, 0 errors; "
                          "24 barcodes in "));
    }
  }
  EXPECT_EQ(records, 24);
  EXPECT_TRUE(barSeen);
}
#endif

}  // namespace

}  // namespace strixa
