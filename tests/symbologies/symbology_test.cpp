// SPDX-License-Identifier: Apache-2.0
#include "symbologies/symbology.h"

#include <string_view>

#include <gtest/gtest.h>

namespace strixa {

namespace {

// The labels are printed and returned by the library: a changed one breaks every caller.
TEST(SymbologyTest, EachSymbologyHasItsPrintedLabel) {
  struct Case {
    Symbology symbology;
    std::string_view label;
  };
  constexpr Case cases[] = {
      {Symbology::None, ""},
      {Symbology::Ean13, "EAN13"},
      {Symbology::UpcA, "UPC-A"},
      {Symbology::Ean8, "EAN8"},
      {Symbology::Code128, "CODE128"},
      {Symbology::Ean128, "EAN128"},
      {Symbology::Code39, "CODE39"},
      {Symbology::TwoOfFive, "2/5"},
      {Symbology::InterleavedTwoOfFive, "2/5i"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(SymbologyLabel(c.symbology), c.label);
    // The API hands the label out as a C string.
    EXPECT_EQ(SymbologyLabel(c.symbology).data()[c.label.size()], '\0');
  }
}

TEST(SymbologyTest, ResultLineIsLabelTabText) {
  EXPECT_EQ(ResultLine(Symbology::InterleavedTwoOfFive, "0123"), "2/5i\t0123");
  EXPECT_EQ(ResultLine(Symbology::Ean128, ""), "EAN128\t");
  // Code 128 text may hold a tab of its own; only the first one ends the label.
  EXPECT_EQ(ResultLine(Symbology::Code128, "a\tb"), "CODE128\ta\tb");
}

}  // namespace

}  // namespace strixa
