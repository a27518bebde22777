// SPDX-License-Identifier: Apache-2.0
#include "support/readForms.h"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace strixa {

namespace {

TEST(ReadFormsTest, NormalFormsCompareReadersAlike) {
  struct Case {
    std::string_view name;
    Family family;
    std::string_view text, expected;
  };
  const Case cases[] = {
      {"EAN-13 as printed, with its space", Family::ean13, "5901234 123457", "5901234123457"},
      {"UPC-A's twelve digits", Family::ean13, "036000291452", "0036000291452"},
      {"UPC-A printed split", Family::ean13, "036000 291452", "0036000291452"},
      {"UPC-A already as EAN-13", Family::ean13, "0036000291452", "0036000291452"},
      {"EAN-8 split", Family::ean8, "9638 5074", "96385074"},
      {"EAN-8 is never led by a 0", Family::ean8, "963850749638", "963850749638"},
      {"Code 39 as read", Family::code39, "AB-1 $", "AB-1 $"},
      {"Code 128 keeps spaces and controls", Family::code128,
       "A B\x1D"
       "1",
       "A B\x1D"
       "1"},
      {"2 of 5 i digits", Family::interleaved, "0123", "0123"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Found found = NormalForm(c.family, c.text);
    EXPECT_EQ(found.family, c.family);
    EXPECT_EQ(found.text, c.expected);
  }
}

// The robust engine's results reach the benchmarks as the library's symbology and text: the
// family follows the symbology, and Code 128 is scored by its data, not its bracketed transcript.
TEST(ReadFormsTest, ResultTextsTakeTheirFamilyAndData) {
  using namespace std::string_view_literals;
  struct Case {
    std::string_view name;
    Symbology symbology;
    std::string_view text;
    Found expected;
  };
  const Case cases[] = {
      {"UPC-A is an EAN-13 led by 0",
       Symbology::UpcA,
       "0 36000 29145 2",
       {Family::ean13, "0036000291452"}},
      {"EAN-8", Symbology::Ean8, "9638 5074", {Family::ean8, "96385074"}},
      {"Code 128: the data after the identifier",
       Symbology::Code128,
       "A<GS>1\0]C0A\x1D"
       "1"sv,
       {Family::code128,
        "A\x1D"
        "1"}},
      {"EAN-128 is Code 128", Symbology::Ean128, "<EAN128>12\0]C112"sv, {Family::code128, "12"}},
      {"Code 39 as read", Symbology::Code39, "AB-1", {Family::code39, "AB-1"}},
      {"2 of 5", Symbology::TwoOfFive, "123", {Family::twoOfFive, "123"}},
      {"2 of 5 i", Symbology::InterleavedTwoOfFive, "0123", {Family::interleaved, "0123"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(NormalFormOfResult(c.symbology, c.text), c.expected);
  }
}

TEST(ReadFormsTest, Code128DataResolvesSetsAndFnc1) {
  struct Case {
    std::string_view name;
    std::vector<int> values;
    std::string expected;
  };
  const Case cases[] = {
      {"EAN-128: leading FNC1 left out", {105, 102, 12, 34}, "1234"},
      {"EAN-128: a later FNC1 is GS",
       {105, 102, 12, 102, 34},
       "12\x1D"
       "34"},
      {"set C pairs keep their 0", {105, 1, 0}, "0100"},
      {"set C's 99 is data", {105, 99, 1}, "9901"},
      {"set A: capitals and controls", {103, 33, 64 + 9, 95}, "A\t\x1F"},
      {"set B: lower case and DEL", {104, 65, 95}, "a\x7F"},
      {"B to C", {104, 33, 99, 12}, "A12"},
      {"A to B: 100 switches", {103, 33, 100, 65}, "Aa"},
      {"C to A: 101 switches", {105, 12, 101, 33}, "12A"},
      {"B to A: 101 switches", {104, 65, 101, 64}, std::string("a\0", 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Code128Data(c.values), c.expected);
  }
}

TEST(ReadFormsTest, Code39CheckIsTheSumModulo43) {
  EXPECT_EQ(Code39Check("CODE39"), 'W');  // 12 + 24 + 13 + 14 + 3 + 9 = 75, 75 - 43 = 32
  EXPECT_EQ(Code39Check("12345"), 'F');   // 15
  EXPECT_EQ(Code39Check("%%"), '+');      // 42 + 42 = 84, 84 - 43 = 41
}

TEST(ReadFormsTest, DrawnMatchesOnlyItsFamilyAndTexts) {
  const Drawn checked = {Family::code39, {"AB1X", "AB1"}};
  EXPECT_TRUE(checked.Matches({Family::code39, "AB1X"}));
  EXPECT_TRUE(checked.Matches({Family::code39, "AB1"}));
  EXPECT_FALSE(checked.Matches({Family::code39, "AB"}));
  EXPECT_FALSE(checked.Matches({Family::code128, "AB1"}));
  const Drawn nothing;
  EXPECT_FALSE(nothing.Matches({Family::none, ""}));
}

}  // namespace

}  // namespace strixa
