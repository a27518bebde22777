// SPDX-License-Identifier: Apache-2.0
#include "options.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace strixa {

namespace {

using Arguments = std::vector<std::string>;

TEST(OptionsTest, ReadsGnuStyleArguments) {
  BatchOptions options;
  std::string error;
  ASSERT_TRUE(
      ParseOptions({"-r0", "--format", "csv", "--header", "-j3", "--dpi=150", "--fine",
                    "--symbologies=ean13,itf", "--no-progress", "a.png", "-", "--", "-j", "--fine"},
                   options, error))
      << error;
  EXPECT_TRUE(options.recursive);
  EXPECT_TRUE(options.nulSeparated);
  EXPECT_EQ(options.format, OutputFormat::Csv);
  EXPECT_TRUE(options.header);
  EXPECT_EQ(options.threads, 3);
  EXPECT_EQ(options.dpi, 150);
  EXPECT_TRUE(options.fine);
  EXPECT_EQ(options.symbologies, 0x81u);
  EXPECT_EQ(options.progress, ProgressMode::Off);
  EXPECT_EQ(options.inputs, (Arguments{"a.png", "-", "-j", "--fine"}));
}

TEST(OptionsTest, TakesAValueFromTheNextArgument) {
  BatchOptions options;
  std::string error;
  ASSERT_TRUE(
      ParseOptions({"-j", "2", "--jobs", "5", "--symbologies", "2of5", "x"}, options, error));
  EXPECT_EQ(options.threads, 5);
  EXPECT_EQ(options.symbologies, 0x40u);
}

struct RefusedCase {
  Arguments arguments;
  std::string error;
};

TEST(OptionsTest, RefusesWhatItCannotUse) {
  const RefusedCase cases[] = {
      {{}, "no input files"},
      {{"--format=xml", "a"}, "invalid value 'xml' for --format"},
      {{"--symbologies=ean13,qr", "a"}, "invalid value 'ean13,qr' for --symbologies"},
      {{"--symbologies=", "a"}, "invalid value '' for --symbologies"},
      {{"-j0", "a"}, "invalid value '0' for -j"},
      {{"-j", "2x", "a"}, "invalid value '2x' for -j"},
      {{"--dpi=5", "a"}, "invalid value '5' for --dpi"},
      {{"a", "--jobs"}, "option '--jobs' requires a value"},
      {{"--fine=yes", "a"}, "option '--fine' takes no value"},
      {{"--colour", "a"}, "unknown option '--colour'"},
      {{"-rx", "a"}, "unknown option '-x'"},
  };
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.error);
    BatchOptions options;
    std::string error;
    EXPECT_FALSE(ParseOptions(c.arguments, options, error));
    EXPECT_EQ(error, c.error);
  }
}

TEST(OptionsTest, HelpAndVersionNeedNoInput) {
  BatchOptions options;
  std::string error;
  EXPECT_TRUE(ParseOptions({"--version"}, options, error));
  EXPECT_TRUE(options.version);
  EXPECT_TRUE(ParseOptions({"-h"}, options, error));
  EXPECT_TRUE(options.help);
}

}  // namespace

}  // namespace strixa
