// SPDX-License-Identifier: Apache-2.0
// The reader's engines: what only the robust engine reads, one barcode for a symbol both read,
// and the reader's options held under each.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "strixa/strixa.h"
#include "strixa/strixa.hpp"
#include "support/code128Encoder.h"
#include "support/eanEncoder.h"
#include "support/turnedSymbol.h"

namespace strixa {

namespace {

const std::string ean13 = EncodeEan13("5901234123457");
constexpr std::string_view ean13Text = "5901234 123457";

// One grey picture of the drawings' pictures side by side, all as high as the first.
struct Row {
  std::vector<std::uint8_t> grey;
  int width = 0;
  int height = 0;
};

Row SideBySide(const std::vector<Drawing>& drawings) {
  std::vector<Picture> pictures(drawings.size());
  Row row;
  for (std::size_t i = 0; i < drawings.size(); ++i) {
    DrawSymbol(drawings[i], pictures[i]);
    row.width += pictures[i].image.imageWidth;
  }
  row.height = pictures[0].image.imageHeight;
  for (int y = 0; y < row.height; ++y) {
    for (const Picture& picture : pictures) {
      const int width = picture.image.imageWidth;
      const auto start = picture.grey.begin() + static_cast<std::ptrdiff_t>(y) * width;
      row.grey.insert(row.grey.end(), start, start + width);
    }
  }
  return row;
}

// A barcode that keeps its strings beyond its reader.
struct Kept : Barcode {
  std::string keptText, keptData;
};

std::vector<Kept> ReadWith(strixa_engine engine, const Row& row,
                           const strixa_options& options = strixa_default_options()) {
  Reader reader(options);
  reader.SetEngine(engine);
  std::vector<Kept> kept;
  for (const Barcode& b :
       reader.ReadPixels(row.grey.data(), row.width, row.height, row.width, STRIXA_GREY8)) {
    kept.push_back({b, std::string(b.text), std::string(b.data)});
  }
  for (Kept& k : kept) {
    k.text = k.keptText;
    k.data = k.keptData;
  }
  return kept;
}

TEST(EngineTest, SetterRefusesUnknownEnginesAndKeepsTheLastOne) {
  strixa_reader* reader = nullptr;
  ASSERT_EQ(strixa_reader_create(nullptr, &reader), STRIXA_OK);
  const struct {
    std::string_view name;
    strixa_status status, expected;
  } cases[] = {
      {"document", strixa_reader_set_engine(reader, STRIXA_ENGINE_DOCUMENT), STRIXA_OK},
      {"both", strixa_reader_set_engine(reader, STRIXA_ENGINE_BOTH), STRIXA_OK},
      {"robust", strixa_reader_set_engine(reader, STRIXA_ENGINE_ROBUST), STRIXA_OK},
      {"below", strixa_reader_set_engine(reader, static_cast<strixa_engine>(-1)),
       STRIXA_ERROR_ARGUMENT},
      {"above", strixa_reader_set_engine(reader, static_cast<strixa_engine>(3)),
       STRIXA_ERROR_ARGUMENT},
      {"without a reader", strixa_reader_set_engine(nullptr, STRIXA_ENGINE_BOTH),
       STRIXA_ERROR_ARGUMENT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.status, c.expected);
  }
  EXPECT_STREQ(strixa_reader_error(reader),
               "engine 3: it must be document (0), robust (1) or both (2)");
  // The refusals left the robust engine chosen: a turned symbol still reads.
  const Row turned =
      SideBySide({{.modules = ean13, .height = 120, .angle = 40, .width = 320, .heightPx = 320}});
  const strixa_barcode* barcodes = nullptr;
  std::size_t count = 0;
  ASSERT_EQ(strixa_read_pixels(reader, turned.grey.data(), turned.width, turned.height,
                               turned.width, STRIXA_GREY8, &barcodes, &count),
            STRIXA_OK);
  EXPECT_EQ(count, 1u);
  strixa_reader_destroy(reader);
}

// Pictures only the robust engine reads: nothing from the document pipeline alone, one barcode
// from the robust engine and from both.
TEST(EngineTest, OnlyTheRobustEngineReadsPhotosHardPictures) {
  const struct {
    std::string_view name;
    Drawing drawing;
    strixa_orientation orientation;
    std::string_view label = "EAN13", text = ean13Text, data = "5901234123457", id = "]E0";
  } cases[] = {
      {"turned 40 degrees",
       {.modules = ean13, .height = 120, .angle = 40, .width = 320, .heightPx = 320},
       STRIXA_UPRIGHT},
      {"turned 60 degrees",
       {.modules = ean13, .height = 120, .angle = 60, .width = 320, .heightPx = 320},
       STRIXA_FLAT},
      {"turned 220 degrees",
       {.modules = ean13, .height = 120, .angle = 220, .width = 320, .heightPx = 320},
       STRIXA_UPRIGHT_REVERSED},
      {"turned 310 degrees",
       {.modules = ean13, .height = 120, .angle = 310, .width = 320, .heightPx = 320},
       STRIXA_FLAT_REVERSED},
      {"light bars on dark", {.modules = ean13, .ink = 255, .paper = 0}, STRIXA_UPRIGHT},
      // An FNC1 inside: printed by name, sent as GS, from the transmission after the text's NUL.
      {"Code 128, light on dark",
       {.modules = EncodeCode128({104, 51, 84, 82, 73, 88, 65, 102, 17}), .ink = 255, .paper = 0},
       STRIXA_UPRIGHT,
       "CODE128",
       "Strixa<FNC1>1",
       "Strixa\x1d"
       "1",
       "]C0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Row row = SideBySide({c.drawing});
    EXPECT_TRUE(ReadWith(STRIXA_ENGINE_DOCUMENT, row).empty());
    for (const strixa_engine engine : {STRIXA_ENGINE_ROBUST, STRIXA_ENGINE_BOTH}) {
      SCOPED_TRACE(engine);
      const std::vector<Kept> read = ReadWith(engine, row);
      ASSERT_EQ(read.size(), 1u);
      const Kept& b = read[0];
      EXPECT_EQ(b.label, c.label);
      EXPECT_EQ(b.text, c.text);
      EXPECT_EQ(b.data, c.data);
      EXPECT_EQ(b.symbologyId, c.id);
      EXPECT_EQ(b.orientation, c.orientation);
      EXPECT_GE(b.angle, 0.0f);
      EXPECT_LT(b.angle, 360.0f);
      EXPECT_NEAR(std::remainder(b.angle - c.drawing.angle, 360.0), 0.0, 2.0);
      // The rectangle is the box of the engine's corners, in whole pixels.
      float left = b.corners[0].x, top = b.corners[0].y, right = left, bottom = top;
      for (const strixa_point& p : b.corners) {
        left = std::min(left, p.x);
        top = std::min(top, p.y);
        right = std::max(right, p.x);
        bottom = std::max(bottom, p.y);
      }
      EXPECT_NEAR(b.x - 1, left, 1.0);
      EXPECT_NEAR(b.y - 1, top, 1.0);
      EXPECT_NEAR(b.x - 1 + b.width, right, 1.0);
      EXPECT_NEAR(b.y - 1 + b.height, bottom, 1.0);
    }
  }
}

TEST(EngineTest, BothReportASymbolBothEnginesReadOnceAsTheDocumentPipelineDoes) {
  const Row row = SideBySide({{.modules = ean13}});
  const std::vector<Kept> document = ReadWith(STRIXA_ENGINE_DOCUMENT, row);
  ASSERT_EQ(document.size(), 1u);
  ASSERT_EQ(ReadWith(STRIXA_ENGINE_ROBUST, row).size(), 1u);
  const std::vector<Kept> both = ReadWith(STRIXA_ENGINE_BOTH, row);
  ASSERT_EQ(both.size(), 1u);
  EXPECT_EQ(both[0].text, ean13Text);
  EXPECT_EQ(both[0].x, document[0].x);
  EXPECT_EQ(both[0].y, document[0].y);
  EXPECT_EQ(both[0].width, document[0].width);
  EXPECT_EQ(both[0].height, document[0].height);
  EXPECT_EQ(both[0].angle, 0.0f);
  EXPECT_EQ(both[0].corners[2].x, document[0].corners[2].x);
}

// Labels carry the same text twice: two symbols are two barcodes, whichever engine read them.
TEST(EngineTest, BothKeepTwoSymbolsOfOneTextSideBySide) {
  const Drawing upright = {.modules = ean13, .width = 320, .heightPx = 320};
  const Drawing turned = {
      .modules = ean13, .height = 120, .angle = 40, .width = 320, .heightPx = 320};
  const struct {
    std::string_view name;
    Row row;
    std::size_t documentReads;
  } cases[] = {
      {"both upright", SideBySide({upright, upright}), 2},
      {"upright, then turned", SideBySide({upright, turned}), 1},
      {"turned, then upright", SideBySide({turned, upright}), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadWith(STRIXA_ENGINE_DOCUMENT, c.row).size(), c.documentReads);
    const std::vector<Kept> both = ReadWith(STRIXA_ENGINE_BOTH, c.row);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].text, ean13Text);
    EXPECT_EQ(both[1].text, ean13Text);
    // The document pipeline's reads come first.
    EXPECT_EQ(both[0].angle, 0.0f);
  }
}

TEST(EngineTest, RobustEngineReportsOnlyTheChosenSymbologies) {
  const Row row =
      SideBySide({{.modules = ean13, .height = 120, .angle = 40, .width = 320, .heightPx = 320}});
  const struct {
    unsigned symbologies;
    std::size_t expected;
  } cases[] = {
      {STRIXA_ALL_SYMBOLOGIES, 1},
      {STRIXA_EAN13, 1},
      {STRIXA_ALL_SYMBOLOGIES & ~STRIXA_EAN13, 0},
      {STRIXA_CODE128 | STRIXA_UPCA, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.symbologies);
    for (const strixa_engine engine : {STRIXA_ENGINE_ROBUST, STRIXA_ENGINE_BOTH}) {
      SCOPED_TRACE(engine);
      EXPECT_EQ(ReadWith(engine, row, {0, c.symbologies}).size(), c.expected);
    }
  }
}

}  // namespace

}  // namespace strixa
