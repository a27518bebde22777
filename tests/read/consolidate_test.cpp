// SPDX-License-Identifier: Apache-2.0
#include "read/consolidate.h"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "decode/dispatcher.h"
#include "locate/candidate.h"
#include "read/pipeline.h"
#include "support/builders.h"
#include "symbologies/symbology.h"

namespace strixa {

namespace {

using enum Orientation;

// "x,y,width,height,orientation,line;" per record, the line with its label, so whole lists
// compare in one go.
std::string Describe(const std::vector<Candidate>& list) {
  std::string text;
  for (const Candidate& c : list) {
    for (int value : {c.x, c.y, c.width, c.height, static_cast<int>(c.orientation)}) {
      text += std::to_string(value) + ",";
    }
    text += (c.symbology == Symbology::None ? c.text : ResultLine(c.symbology, c.text)) + ";";
  }
  return text;
}

// The candidates with each text written as a result line ("EAN13\t...") split into its
// symbology and text, so the cases read as the lines they print.
std::vector<Candidate> Labelled(std::vector<Candidate> list) {
  using enum Symbology;
  for (Candidate& c : list) {
    for (Symbology symbology :
         {Ean13, UpcA, Ean8, Code128, Ean128, Code39, TwoOfFive, InterleavedTwoOfFive}) {
      const std::string label = std::string(SymbologyLabel(symbology)) + '\t';
      if (c.text.starts_with(label)) {
        c.symbology = symbology;
        c.text.erase(0, label.size());
      }
    }
  }
  return list;
}

TEST(ConsolidateTest, ConsolidateMergesEqualTextsCloseTogether) {
  const std::string t = "EAN13\t4006381 333931";
  struct Case {
    std::string_view name;
    std::vector<Candidate> candidates;
    std::string expected;
  };
  const Case cases[] = {
      {"x 49 apart merges and grows the height",
       {{100, 100, 200, 60, Horizontal, t}, {149, 130, 200, 70, Horizontal, t}},
       "100,100,200,100,0," + t + ";"},
      {"x 50 apart stays two results",
       {{100, 100, 200, 60, Horizontal, t}, {150, 130, 200, 70, Horizontal, t}},
       "100,100,200,60,0," + t + ";150,130,200,70,0," + t + ";"},
      {"x 49 to the left merges too",
       {{100, 100, 200, 60, Horizontal, t}, {51, 130, 200, 70, Horizontal, t}},
       "100,100,200,100,0," + t + ";"},
      {"different labels stay apart",
       {{100, 100, 200, 60, Horizontal, "EAN13\t0036000 291452"},
        {100, 110, 200, 60, Horizontal, "UPC-A\t0036000 291452"}},
       "100,100,200,60,0,EAN13\t0036000 291452;100,110,200,60,0,UPC-A\t0036000 291452;"},
      {"reversed horizontal compares x",
       {{100, 100, 200, 60, Horizontal, t}, {110, 300, 200, 60, HorizontalReversed, t}},
       "100,100,200,260,0," + t + ";"},
      {"vertical candidate compares y and grows the width",
       {{100, 100, 200, 60, Horizontal, t}, {300, 120, 60, 200, Vertical, t}},
       "100,100,260,60,0," + t + ";"},
      {"vertical candidate 50 rows away stays apart",
       {{100, 100, 200, 60, Horizontal, t}, {100, 150, 60, 200, VerticalReversed, t}},
       "100,100,200,60,0," + t + ";100,150,60,200,3," + t + ";"},
      {"horizontal candidate into a vertical result compares x",
       {{100, 100, 60, 200, Vertical, t}, {120, 400, 200, 60, Horizontal, t}},
       "100,100,60,360,1," + t + ";"},
      {"candidate above shrinks the height, y stays",
       {{100, 200, 200, 90, Horizontal, t}, {100, 150, 200, 20, Horizontal, t}},
       "100,200,200,70,0," + t + ";"},
      {"three candidates: the third joins the first result",
       {{100, 100, 200, 60, Horizontal, t},
        {160, 100, 200, 60, Horizontal, t},
        {130, 180, 200, 60, Horizontal, t}},
       "100,100,200,140,0," + t + ";160,100,200,60,0," + t + ";"},
      {"other texts and far results are passed over",
       {{100, 100, 200, 60, Horizontal, "CODE39\tA"},
        {300, 100, 200, 60, Horizontal, t},
        {100, 100, 200, 60, Horizontal, t},
        {110, 150, 200, 60, Horizontal, t}},
       "100,100,200,60,0,CODE39\tA;300,100,200,60,0," + t + ";100,100,200,110,0," + t + ";"},
      {"empty decodings contribute nothing",
       {{100, 100, 200, 60, Horizontal, ""}, {500, 100, 200, 60, Vertical, ""}},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Candidate> resultList = {{1, 2, 3, 4, Vertical, "left over from before"}};
    ConsolidateResults(Labelled(c.candidates), resultList);
    EXPECT_EQ(Describe(resultList), c.expected);
  }
}

// Bars 2 pixels per module with spaces of 1 to 3 modules in columns 21..204 of rows 21..100, split
// by a 4-module space at 109..116; a copy 40 light pixels further on fills columns 245..428 of
// rows 21..80.
Image MakeSplitAndSideBySide() {
  Image image = MakeBlankImage(450, 200);
  const std::string half = "1011001110001011100110";
  DrawBars(image, half + half + "0000" + half + half, 2, 21, 21, 80);
  DrawBars(image, half + half + "0000" + half + half, 2, 245, 21, 60);
  return image;
}

TEST(ConsolidateTest, AppendNewBarcodesKeepsOneLinePerBarcode) {
  const std::string t = "CODE128\tLabel-4711";
  const Candidate first = Labelled({{21, 21, 88, 60, Horizontal, t}})[0];
  struct Case {
    std::string_view name;
    Candidate second;
    bool kept;
  };
  const Case cases[] = {
      {"the other piece of the split symbol", {117, 21, 88, 60, HorizontalReversed, t}, false},
      {"a piece on other lines beside the split", {117, 41, 88, 60, Horizontal, t}, false},
      {"the symbol beside it, a quiet zone away", {245, 21, 184, 60, Horizontal, t}, true},
      {"the symbol beside it with overlapping boxes", {100, 21, 328, 60, Horizontal, t}, true},
      {"another text on the other piece",
       {117, 21, 88, 60, Horizontal, "CODE128\tLabel-4712"},
       true},
      {"below, the bars going on between", {80, 110, 88, 20, Horizontal, t}, false},
      {"below, light between", {80, 150, 88, 20, Horizontal, t}, true},
      {"below, its length apart along the bars", {80, 169, 88, 20, Horizontal, t}, true},
      {"below but beside it along the lines", {110, 110, 88, 20, Horizontal, t}, true},
      {"beside it along the lines, sharing none", {110, 82, 88, 20, Horizontal, t}, true},
      {"read across, box touching", {109, 81, 40, 80, Vertical, t}, false},
      {"read across, box apart", {110, 82, 40, 80, VerticalReversed, t}, true},
      {"within the merge distance of the candidates", {70, 300, 88, 20, Horizontal, t}, false},
  };
  const Image image = MakeSplitAndSideBySide();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Candidate> resultList = {first};
    const std::vector<Candidate> second = Labelled({c.second});
    AppendNewBarcodes(image, resultList, second);
    const std::string firstLine = Describe({first});
    EXPECT_EQ(Describe(resultList), c.kept ? firstLine + Describe(second) : firstLine);
  }
}

// Glare can leave a piece of a 2 of 5 symbol that reads as a whole one; with no check character,
// reads of one symbol that differ only by digits at one end leave no line.
TEST(ConsolidateTest, AppendNewBarcodesDropsDisagreeingTwoOfFivePieces) {
  struct Case {
    std::string_view name;
    std::string firstLine;
    Candidate second;
    bool bothKept;
  };
  const Case cases[] = {
      {"a piece on lines beside", "2/5\t0245", {117, 41, 88, 60, Horizontal, "2/5\t245"}, false},
      {"a longer read on lines beside",
       "2/5\t245",
       {117, 41, 88, 60, Horizontal, "2/5\t0245"},
       false},
      {"interleaved, cut at the stop end",
       "2/5i\t002456",
       {117, 41, 88, 60, Horizontal, "2/5i\t0024"},
       false},
      {"a piece in the middle", "2/5\t02456", {117, 41, 88, 60, Horizontal, "2/5\t245"}, true},
      {"another symbology", "CODE39\t0245", {117, 41, 88, 60, Horizontal, "CODE39\t245"}, true},
      {"the symbol beside it, a quiet zone away",
       "2/5\t0245",
       {245, 21, 184, 60, Horizontal, "2/5\t245"},
       true},
  };
  const Image image = MakeSplitAndSideBySide();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Candidate> first = Labelled({{21, 21, 88, 60, Horizontal, c.firstLine}});
    std::vector<Candidate> resultList = first;
    const std::vector<Candidate> second = Labelled({c.second});
    AppendNewBarcodes(image, resultList, second);
    EXPECT_EQ(Describe(resultList), c.bothKept ? Describe(first) + Describe(second) : "");
  }
}

// The locator may give a box far wider than the symbol; a tight read of the same bars inside it
// is the same barcode, while a box that holds only part of the bars proves nothing.
TEST(ConsolidateTest, AppendNewBarcodesJoinsATightBoxInsideAWideOne) {
  const std::string t = "CODE128\tLabel-4711";
  const Candidate wide = Labelled({{21, 21, 400, 60, Horizontal, t}})[0];
  struct Case {
    std::string_view name;
    Candidate second;
    bool kept;
  };
  const Case cases[] = {
      {"the bars' own box", {101, 41, 88, 40, Horizontal, t}, false},
      {"a box over half the bars", {101, 41, 40, 40, Horizontal, t}, true},
  };
  // Bars in columns 101..188 of rows 21..100, nothing else.
  Image image = MakeBlankImage(450, 200);
  const std::string half = "1011001110001011100110";
  DrawBars(image, half + half, 2, 101, 21, 80);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Candidate> resultList = {wide};
    const std::vector<Candidate> second = Labelled({c.second});
    AppendNewBarcodes(image, resultList, second);
    const std::string firstLine = Describe({wide});
    EXPECT_EQ(Describe(resultList), c.kept ? firstLine + Describe(second) : firstLine);
  }
}

std::string Refuse(std::string_view) { return {}; }
std::string ReadAnyBars(std::string_view pixels) { return pixels.empty() ? "" : "12345"; }
// The bars below end in a wide bar, so this reads them only reversed.
std::string ReadLeadingWideBar(std::string_view pixels) {
  return pixels.starts_with("1111") ? "0036000 291452" : "";
}

// Bars 2 pixels wide and 2 apart ending in a 4-pixel bar, in columns 21..60 of rows 21..60
// and again of rows 101..140.
Image MakeTwoSymbols() {
  Image image = MakeBlankImage(100, 160);
  for (int top : {21, 101}) {
    for (int column = 21; column <= 53; column += 4) {
      FillRect(image, column, top, 2, 40, 0);
    }
    FillRect(image, 57, top, 4, 40, 0);
  }
  return image;
}

TEST(ConsolidateTest, DecodeResultsDecodesAndMerges) {
  struct Case {
    std::string_view name;
    DecoderChain chain;
    std::string_view candidates, results;
    int lineThreshold;
  };
  // 39 white pixels of 61 over 60 give 165, and 148.5 goes to the even base 148; reading
  // nothing ends on its last step, 173.
  const Case cases[] = {
      {"both decode and merge",
       {ReadAnyBars, Refuse, Refuse, Refuse, Refuse, Refuse},
       "11,11,60,60,0,CODE128\t12345;12,91,60,60,0,CODE128\t12345;",
       "11,11,60,140,0,CODE128\t12345;",
       148},
      {"reversed reads keep their orientation",
       {Refuse, Refuse, ReadLeadingWideBar, Refuse, Refuse, Refuse},
       "11,11,60,60,2,UPC-A\t036000 291452;12,91,60,60,2,UPC-A\t036000 291452;",
       "11,11,60,140,2,UPC-A\t036000 291452;",
       148},
      {"nothing decoded prints nothing",
       {Refuse, Refuse, Refuse, Refuse, Refuse, Refuse},
       "11,11,60,60,0,;12,91,60,60,0,;",
       "",
       173},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Image image = MakeTwoSymbols();
    Reading reading;
    reading.candidateList = {{11, 11, 60, 60, Horizontal, ""}, {12, 91, 60, 60, Horizontal, ""}};
    reading.resultList = {{1, 1, 1, 1, Horizontal, "stale"}};
    DecodeResults(image, c.chain, reading);
    EXPECT_EQ(Describe(reading.candidateList), c.candidates);
    EXPECT_EQ(Describe(reading.resultList), c.results);
    EXPECT_EQ(reading.lineThreshold, c.lineThreshold);
  }
}

}  // namespace

}  // namespace strixa
