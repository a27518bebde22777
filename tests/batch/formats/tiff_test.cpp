// SPDX-License-Identifier: Apache-2.0
#include "formats/tiff.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <unistd.h>
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
  const auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
      out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
  };
  const auto append32 = [&](std::uint32_t v) {
    out.resize(out.size() + 4);
    put32(out.size() - 4, v);
  };
  const bool tiled = l.tileWidth != 0;
  const std::uint32_t blockWidth = tiled ? l.tileWidth : static_cast<std::uint32_t>(l.width);
  const std::uint32_t blockHeight = tiled ? l.tileHeight : static_cast<std::uint32_t>(l.height);
  const int planeCount = l.planes ? l.samples : 1;
  const int perPixel = l.planes ? 1 : l.samples;
  std::vector<std::uint32_t> offsets;
  std::vector<std::uint32_t> counts;
  for (int plane = 0; plane < planeCount; ++plane) {
    for (std::uint32_t top = 0; top < static_cast<std::uint32_t>(l.height); top += blockHeight) {
      for (std::uint32_t left = 0; left < static_cast<std::uint32_t>(l.width); left += blockWidth) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        for (std::uint32_t y = top; y < top + blockHeight; ++y) {
          for (std::uint32_t x = left; x < left + blockWidth; ++x) {
            for (int s = 0; s < perPixel; ++s) {
              const bool inside = x < static_cast<std::uint32_t>(l.width) &&
                                  y < static_cast<std::uint32_t>(l.height);
              out.push_back(
                  inside ? SampleAt(static_cast<int>(x), static_cast<int>(y), l.planes ? plane : s)
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
  // Tag, type (3 short, 4 long) and values; values over four bytes go before the directory.
  const std::vector<std::uint32_t> bits(static_cast<std::size_t>(l.samples), 8);
  std::vector<std::tuple<std::uint16_t, std::uint16_t, std::vector<std::uint32_t>>> fields = {
      {256, 4, {static_cast<std::uint32_t>(l.width)}},
      {257, 4, {static_cast<std::uint32_t>(l.height)}},
      {258, 3, bits},
      {259, 3, {1}},
      {262, 3, {l.photometric}},
  };
  if (!tiled) {
    fields.push_back({273, 4, offsets});
  }
  fields.push_back({277, 3, {static_cast<std::uint32_t>(l.samples)}});
  if (!tiled) {
    fields.push_back({278, 4, {static_cast<std::uint32_t>(l.height)}});
    fields.push_back({279, 4, counts});
  }
  fields.push_back({284, 3, {l.planes ? 2u : 1u}});
  if (tiled) {
    fields.push_back({322, 4, {l.statedTileSide != 0 ? l.statedTileSide : l.tileWidth}});
    fields.push_back({323, 4, {l.statedTileSide != 0 ? l.statedTileSide : l.tileHeight}});
    fields.push_back({324, 4, offsets});
    fields.push_back({325, 4, counts});
  }
  std::vector<std::uint32_t> valuesAt;
  for (const auto& [tag, type, values] : fields) {
    if (out.size() % 2 != 0) {
      out.push_back(0);
    }
    valuesAt.push_back(static_cast<std::uint32_t>(out.size()));
    for (const std::uint32_t v : values) {
      if (type == 3) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
      } else {
        append32(v);
      }
    }
  }
  if (out.size() % 2 != 0) {
    out.push_back(0);
  }
  put32(4, static_cast<std::uint32_t>(out.size()));
  out.push_back(static_cast<std::uint8_t>(fields.size()));
  out.push_back(0);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const auto& [tag, type, values] = fields[i];
    const std::size_t bytes = values.size() * (type == 3 ? 2 : 4);
    for (const std::uint16_t half : {tag, type}) {
      out.push_back(static_cast<std::uint8_t>(half));
      out.push_back(static_cast<std::uint8_t>(half >> 8));
    }
    append32(static_cast<std::uint32_t>(values.size()));
    if (bytes > 4) {
      append32(valuesAt[i]);
    } else {
      const std::size_t at = out.size();
      append32(0);
      std::copy_n(out.begin() + valuesAt[i], bytes, out.begin() + static_cast<std::ptrdiff_t>(at));
    }
  }
  append32(0);
  return out;
}

// The first page's grey bytes (green of RGBA) and whether they came as grey; empty on an error.
struct FirstPage {
  std::vector<std::uint8_t> grey;
  bool asGrey = false;
  std::string error;
};

FirstPage ReadFirstPage(const std::vector<std::uint8_t>& bytes) {
  FirstPage page;
  DecodeLimits limits;
  std::vector<std::uint8_t> grey;
  bool asGrey = false;
  if (!DecodePages(
          Format::Tiff, bytes, limits,
          [&](const PageView& view) {
            asGrey = view.layout == PixelLayout::Grey8;
            const int step = asGrey ? 1 : 4;
            const int offset = asGrey ? 0 : 1;
            for (int y = 0; y < view.height; ++y) {
              for (int x = 0; x < view.width; ++x) {
                grey.push_back(view.pixels[y * view.stride + x * step + offset]);
              }
            }
          },
          page.error)) {
    return page;
  }
  page.grey = std::move(grey);
  page.asGrey = asGrey;
  return page;
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
    RawLayout layout{c.width, c.height, c.samples, c.photometric, false, 0, 0, 0};
    const FirstPage strips = ReadFirstPage(RawTiff(layout));
    ASSERT_EQ(strips.grey.size(), static_cast<std::size_t>(c.width * c.height)) << strips.error;
    if (c.samples == 3) {
      layout.planes = true;
      EXPECT_EQ(ReadFirstPage(RawTiff(layout)).grey, strips.grey);
    }
    layout.planes = c.planes;
    layout.tileWidth = c.tileWidth;
    layout.tileHeight = c.tileHeight;
    const FirstPage tiles = ReadFirstPage(RawTiff(layout));
    EXPECT_EQ(tiles.error, "");
    EXPECT_TRUE(tiles.asGrey);
    EXPECT_EQ(tiles.grey, strips.grey);
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
