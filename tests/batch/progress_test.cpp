#include "progress.h"

#include <sstream>

#include <gtest/gtest.h>

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

}  // namespace

}  // namespace strixa
