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

// --engine chooses the library's engine; both when not given, the last one given when repeated.
TEST(OptionsTest, ChoosesTheEngine) {
  const struct {
    Arguments arguments;
    strixa_engine engine;
  } cases[] = {
      {{"a"}, STRIXA_ENGINE_BOTH},
      {{"--engine=document", "a"}, STRIXA_ENGINE_DOCUMENT},
      {{"--engine", "robust", "a"}, STRIXA_ENGINE_ROBUST},
      {{"--engine=both", "a"}, STRIXA_ENGINE_BOTH},
      {{"--engine=robust", "--engine=document", "a"}, STRIXA_ENGINE_DOCUMENT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.front());
    BatchOptions options;
    std::string error;
    ASSERT_TRUE(ParseOptions(c.arguments, options, error)) << error;
    EXPECT_EQ(options.engine, c.engine);
    EXPECT_EQ(options.inputs, Arguments{"a"});
  }
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
      {{"--engine=fast", "a"}, "invalid value 'fast' for --engine"},
      {{"--engine=", "a"}, "invalid value '' for --engine"},
      {{"--engine=Both", "a"}, "invalid value 'Both' for --engine"},
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
