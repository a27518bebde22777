// SPDX-License-Identifier: Apache-2.0
#include "formats/tiff.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "formats/format.h"
#include "support/batch/formatWriters.h"

namespace strixa {

namespace {

// A grey TIFF of pageCount pages, 5 x 3 pixels each.
std::vector<std::uint8_t> TiffOfPages(int pageCount) {
  const GreyPicture page{5, 3, std::vector<std::uint8_t>(15, 128)};
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("strixa-tiff-" + std::to_string(::getpid()) + ".tif"))
                               .string();
  std::vector<std::uint8_t> bytes;
  if (WriteTiff(path, std::vector<GreyPicture>(static_cast<std::size_t>(pageCount), page), false)) {
    std::ifstream file(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  std::filesystem::remove(path);
  return bytes;
}

// An uncompressed TIFF built byte by byte, so tests can damage any field: one strip, or tiles of
// tileWidth x tileHeight whose parts beyond the page hold a filler no pixel has.
struct RawLayout {
  int width = 0;
  int height = 0;
  int samples = 1;
  std::uint16_t photometric = 1;  // min-is-black
  bool planes = false;            // separate planes
  std::uint32_t tileWidth = 0;    // 0: one strip (a strip per plane)
  std::uint32_t tileHeight = 0;
  std::uint32_t lastTileBytes = 0;   // when not 0, the last tile's byte count as written
  std::uint32_t statedTileSide = 0;  // when not 0, the tile sides as written
};

std::uint8_t SampleAt(int x, int y, int sample) {
  return static_cast<std::uint8_t>((x * 7 + y * 13 + sample * 85) % 251);
}

std::vector<std::uint8_t> RawTiff(const RawLayout& l) {
  std::vector<std::uint8_t> out = {'I', 'I', 42, 0, 0, 0, 0, 0};
  const auto put = [&](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
  };
  const auto width = static_cast<std::uint32_t>(l.width);
  const auto height = static_cast<std::uint32_t>(l.height);
  const bool tiled = l.tileWidth != 0;
  const std::uint32_t blockWidth = tiled ? l.tileWidth : width;
  const std::uint32_t blockHeight = tiled ? l.tileHeight : height;
  std::vector<std::uint32_t> offsets;
  std::vector<std::uint32_t> counts;
  for (int plane = 0; plane < (l.planes ? l.samples : 1); ++plane) {
    for (std::uint32_t top = 0; top < height; top += blockHeight) {
      for (std::uint32_t left = 0; left < width; left += blockWidth) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        for (std::uint32_t y = top; y < top + blockHeight; ++y) {
          for (std::uint32_t x = left; x < left + blockWidth; ++x) {
            for (int s = plane; s < (l.planes ? plane + 1 : l.samples); ++s) {
              out.push_back(x < width && y < height
                                ? SampleAt(static_cast<int>(x), static_cast<int>(y), s)
                                : 0xfe);
            }
          }
        }
        counts.push_back(static_cast<std::uint32_t>(out.size()) - offsets.back());
      }
    }
  }
  if (l.lastTileBytes != 0) {
    counts.back() = l.lastTileBytes;
  }
  // Every field as 32-bit values, which libtiff takes for its 16-bit fields too, in the order of
  // their tags; lists go before the directory.
  const std::uint32_t statedWidth = l.statedTileSide != 0 ? l.statedTileSide : l.tileWidth;
  const std::uint32_t statedHeight = l.statedTileSide != 0 ? l.statedTileSide : l.tileHeight;
  std::vector<std::pair<std::uint16_t, std::vector<std::uint32_t>>> fields = {
      {256, {width}},
      {257, {height}},
      {258, std::vector<std::uint32_t>(static_cast<std::size_t>(l.samples), 8)},
      {259, {1}},
      {262, {l.photometric}}};
  if (!tiled) {
    fields.push_back({273, offsets});
  }
  fields.push_back({277, {static_cast<std::uint32_t>(l.samples)}});
  if (!tiled) {
    fields.insert(fields.end(), {{278, {height}}, {279, counts}});
  }
  fields.push_back({284, {l.planes ? 2u : 1u}});
  if (tiled) {
    fields.insert(fields.end(),
                  {{322, {statedWidth}}, {323, {statedHeight}}, {324, offsets}, {325, counts}});
  }
  std::vector<std::uint32_t> listAt;
  for (const auto& field : fields) {
    out.resize(out.size() + out.size() % 2);
    listAt.push_back(static_cast<std::uint32_t>(out.size()));
    for (std::size_t i = 0; field.second.size() > 1 && i < field.second.size(); ++i) {
      put(field.second[i], 4);
    }
  }
  out.resize(out.size() + out.size() % 2);
  for (int i = 0; i < 4; ++i) {
    out[4 + i] = static_cast<std::uint8_t>(out.size() >> (8 * i));
  }
  put(static_cast<std::uint32_t>(fields.size()), 2);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const auto& [tag, values] = fields[i];
    put(tag, 2);
    put(4, 2);
    put(static_cast<std::uint32_t>(values.size()), 4);
    put(values.size() > 1 ? listAt[i] : values[0], 4);
  }
  put(0, 4);
  return out;
}

// The first page's grey bytes (green of RGBA), empty on an error; asGrey tells whether it came as
// one grey byte a pixel.
std::vector<std::uint8_t> FirstPageGrey(const std::vector<std::uint8_t>& bytes, bool& asGrey,
                                        std::string& error) {
  std::vector<std::uint8_t> grey;
  const auto take = [&](const PageView& view) {
    asGrey = view.layout == PixelLayout::Grey8;
    const int step = asGrey ? 1 : 4;
    for (int y = 0; y < view.height; ++y) {
      for (int x = 0; x < view.width; ++x) {
        grey.push_back(view.pixels[y * view.stride + x * step + (asGrey ? 0 : 1)]);
      }
    }
  };
  if (!DecodePages(Format::Tiff, bytes, DecodeLimits{}, take, error)) {
    grey.clear();
  }
  return grey;
}

// Pages read before an error are kept; the error names the page, and its text is what the batch
// prints, so each kind is written out whole.
TEST(TiffTest, StopsAtItsLimitsWithTheirOwnTexts) {
  if (!IsFormatBuilt(Format::Tiff)) {
    GTEST_SKIP() << "TIFF not built in";
  }
  const std::vector<std::uint8_t> threePages = TiffOfPages(3);
  ASSERT_FALSE(threePages.empty());
  const struct {
    std::string_view name;
    int maxPages;
    int maxSide;
    std::int64_t maxFilePixels;
    int pagesRead;
    std::string_view error;
  } cases[] = {
      {"as many pages as allowed", 3, 5, 45, 3, ""},
      {"one page too many", 2, 5, 45, 2, "TIFF: more than 2 pages"},
      {"a page wider than allowed", 3, 4, 45, 0, "picture too large (5 x 3) (page 1)"},
      {"over the file's budget", 3, 5, 30, 2,
       "TIFF: over the file's budget of 0 megapixels (page 3)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DecodeLimits limits;
    limits.maxPages = c.maxPages;
    limits.maxSide = c.maxSide;
    limits.maxFilePixels = c.maxFilePixels;
    int pages = 0;
    std::string error;
    const bool read = DecodePages(
        Format::Tiff, threePages, limits, [&](const PageView&) { ++pages; }, error);
    EXPECT_EQ(read, c.error.empty());
    EXPECT_EQ(pages, c.pagesRead);
    EXPECT_EQ(error, c.error);
  }
}

// Tiles give the same grey bytes as strips of the same picture (and as libtiff's RGBA conversion,
// which separate-plane strips still take), one grey byte a pixel.
TEST(TiffTest, TilesReadAsTheStripsOfTheirPicture) {
  if (!IsFormatBuilt(Format::Tiff)) {
    GTEST_SKIP() << "TIFF not built in";
  }
  const struct {
    std::string_view name;
    int samples;
    std::uint16_t photometric;
    bool planes;
    int width;
    int height;
    std::uint32_t tileWidth;
    std::uint32_t tileHeight;
  } cases[] = {
      {"grey, whole tiles", 1, 1, false, 48, 32, 16, 16},
      {"min-is-white grey, edges cut", 1, 0, false, 45, 37, 16, 32},
      {"RGB, edges cut", 3, 2, false, 45, 37, 32, 16},
      {"RGB in separate planes", 3, 2, true, 45, 37, 16, 16},
      {"one tile beyond the page", 3, 2, false, 20, 9, 64, 48},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RawLayout layout{c.width, c.height, c.samples, c.photometric};
    bool asGrey = false;
    std::string error;
    const std::vector<std::uint8_t> strips = FirstPageGrey(RawTiff(layout), asGrey, error);
    ASSERT_EQ(strips.size(), static_cast<std::size_t>(c.width * c.height)) << error;
    if (c.samples == 3) {
      layout.planes = true;
      EXPECT_EQ(FirstPageGrey(RawTiff(layout), asGrey, error), strips);
    }
    layout.planes = c.planes;
    layout.tileWidth = c.tileWidth;
    layout.tileHeight = c.tileHeight;
    asGrey = false;
    EXPECT_EQ(FirstPageGrey(RawTiff(layout), asGrey, error), strips) << error;
    EXPECT_TRUE(asGrey);
  }
}

// Damaged tiles end the file with an error naming the page; a tile size no page needs is refused
// before anything is allocated for it.
TEST(TiffTest, DamagedTilesFailWithTheirPage) {
  if (!IsFormatBuilt(Format::Tiff)) {
    GTEST_SKIP() << "TIFF not built in";
  }
  const struct {
    std::string_view name;
    std::uint32_t statedTileSide;
    std::uint32_t lastTileBytes;
    std::string_view error;
  } cases[] = {
      {"tiles of a terabyte", 1u << 20, 0, "TIFF: damaged tile size (page 1)"},
      {"a tile short of its bytes", 0, 100, "(page 1)"},
      {"a tile past the end of the file", 0, 1u << 30, "(page 1)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::uint8_t> bytes =
        RawTiff({40, 20, 1, 1, false, 16, 16, c.lastTileBytes, c.statedTileSide});
    DecodeLimits limits;
    int pages = 0;
    std::string error;
    EXPECT_FALSE(DecodePages(
        Format::Tiff, bytes, limits, [&](const PageView&) { ++pages; }, error));
    EXPECT_EQ(pages, 0);
    EXPECT_TRUE(error.starts_with("TIFF: ") && error.ends_with(c.error)) << error;
  }
}

}  // namespace

}  // namespace strixa
