// SPDX-License-Identifier: Apache-2.0
#include "formats/pnm.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace strixa {

namespace {

struct PnmCase {
  std::string_view name;
  std::string bytes;
  std::vector<std::uint8_t> pixels;  // grey, or RGB; empty: must be refused
  std::string error = "";
};

// What a decode gives: the pixels row by row without padding, or the error.
std::vector<std::uint8_t> Decode(const std::string& bytes, std::string& error) {
  std::vector<std::uint8_t> pixels;
  DecodeLimits limits;
  limits.maxPixels = 1000;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  DecodePnm(
      {data, bytes.size()}, limits,
      [&](const PageView& page) {
        const int channels = page.layout == PixelLayout::Rgb24 ? 3 : 1;
        for (int y = 0; y < page.height; ++y) {
          const std::uint8_t* row = page.pixels + y * page.stride;
          pixels.insert(pixels.end(), row, row + page.width * channels);
        }
      },
      error);
  return pixels;
}

TEST(PnmTest, DecodesEveryKindAndRefusesDamagedFiles) {
  using namespace std::string_literals;
  const PnmCase cases[] = {
      {"P1 with bits run together and a comment",
       "P1 # c\n3 2\n101\n0 1 0",
       {0, 255, 0, 255, 0, 255}},
      {"P2 at maxval 4", "P2 2 1 4 0 4", {0, 255}},
      {"P3", "P3 1 1 255 1 2 3", {1, 2, 3}},
      {"P4 padded rows", "P4 3 2\n\xa0\x40"s, {0, 255, 0, 255, 0, 255}},
      {"P5 in place", "P5 2 2 255\n\x01\x02\x03\x04"s, {1, 2, 3, 4}},
      {"P5 16-bit", "P5 2 1 65535\n\xff\xff\x00\x00"s, {255, 0}},
      {"P6", "P6 1 1 255\n\x0a\x0b\x0c"s, {10, 11, 12}},
      {"short raster", "P5 2 2 255\n\x01\x02\x03"s, {}, "PNM: file ends inside the picture"},
      {"ASCII raster promises too much",
       "P2 30 30 255 1 2 3",
       {},
       "PNM: file ends inside the picture"},
      {"sample above maxval", "P2 2 1 4 0 5", {}, "PNM: damaged sample"},
      {"binary sample above maxval",
       "P5 1 1 100\n\xc8"s,
       {},
       "PNM: sample above the maximum value"},
      {"no white space after the header", "P5 1 1 255", {}, "PNM: damaged header"},
      {"maxval 0", "P2 1 1 0 0", {}, "PNM: damaged header"},
      {"zero width", "P5 0 1 255\n"s, {}, "picture has no pixels"},
      {"beyond the pixel limit", "P5 100 100 255\n"s, {}, "picture too large (100 x 100)"},
      {"huge sides", "P4 99999999999 1\n", {}, "PNM: damaged header"},
      // Cut to 32 bits these would be 2 x 1.
      {"sides that wrap", "P5 4294967298 4294967297 255\n\x01\x02"s, {}, "PNM: damaged header"},
  };
  for (const PnmCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    EXPECT_EQ(Decode(c.bytes, error), c.pixels);
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace

}  // namespace strixa
