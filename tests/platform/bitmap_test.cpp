// SPDX-License-Identifier: Apache-2.0
#include "platform/bitmap.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#if defined(__linux__)
#include <sys/mman.h>
#endif
#if !defined(_WIN32)
#include <sys/stat.h>
#endif
#include <vector>

#include <gtest/gtest.h>

#include "image/image.h"
#include "platform/byteSource.h"
#include "platform/platform.h"
#include "read/pipeline.h"
#include "support/bmpWriter.h"
#include "support/builders.h"

namespace strixa {

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rows = std::vector<std::vector<std::uint32_t>>;

// The reader keeps one grey byte a pixel, the green of each colour: the pictures as those bytes,
// and expected 0xRRGGBB colours reduced to them.
std::vector<std::uint32_t> Greens(const Image& image) {
  EXPECT_EQ(image.pixelStep, 1);
  return {image.pixelBuffer.get(),
          image.pixelBuffer.get() + static_cast<std::size_t>(image.imageWidth) * image.imageHeight};
}

std::vector<std::uint32_t> GreensOf(std::vector<std::uint32_t> colours) {
  for (std::uint32_t& colour : colours) {
    colour = colour >> 8 & 0xFF;
  }
  return colours;
}

void ExpectEmpty(const Image& image) {
  EXPECT_EQ(image.pixelBuffer, nullptr);
  EXPECT_EQ(image.imageWidth, 0);
  EXPECT_EQ(image.imageHeight, 0);
  EXPECT_EQ(image.rowPitch, 0);
}

// Pictures given one row per inner vector, top row first; coloursUsed 0 means the whole palette.
BmpFile Indexed(int bitCount, std::uint32_t coloursUsed, std::vector<std::uint32_t> palette,
                const Rows& rows) {
  return {.width = static_cast<int>(rows[0].size()),
          .height = static_cast<int>(rows.size()),
          .bitCount = bitCount,
          .coloursUsed = coloursUsed,
          .palette = std::move(palette),
          .pixels = PackRows(rows, bitCount)};
}

BmpFile Direct(int bitCount, const Rows& rows, std::vector<std::uint32_t> masks = {},
               int headerSize = 40) {
  return {.headerSize = headerSize,
          .width = static_cast<int>(rows[0].size()),
          .height = static_cast<int>(rows.size()),
          .bitCount = bitCount,
          .compression = masks.empty() ? 0u : 3u,
          .masks = std::move(masks),
          .pixels = PackRows(rows, bitCount)};
}

BmpFile Rgb24File() {
  return Direct(24, {{0x010203, 0x040506, 0x070809}, {0x0A0B0C, 0x0D0E0F, 0x101112}});
}

BmpFile Pal8File() { return Indexed(8, 3, {0x112233, 0x445566, 0x778899}, {{0, 1, 2}, {2, 1, 0}}); }

BmpFile Core1File() {
  BmpFile file = Indexed(1, 0, {0x0000FF, 0x00FF00}, {{0, 1, 1}, {1, 0, 0}});
  file.headerSize = 12;
  return file;
}

BmpFile Core24File() { return Direct(24, {{0x123456}}, {}, 12); }

BmpFile Mask565File() {
  return Direct(16, {{0xF800, 0x07E0, 0x001F, 0x0020}}, {0xF800, 0x07E0, 0x001F});
}

// Six grey levels so that palette colour 0 is not black and skipped pixels stand out.
BmpFile RleFile(int bitCount, int width, int height, Bytes stream) {
  return {.width = width,
          .height = height,
          .bitCount = bitCount,
          .compression = bitCount == 8 ? 1u : 2u,
          .coloursUsed = 6,
          .palette = {0x101010, 0x202020, 0x303030, 0x404040, 0x505050, 0x606060},
          .pixels = std::move(stream)};
}

BmpFile Rle8Runs() {
  // Bottom row: run of 2, absolute block of 3 with its pad byte, end of line; top row: run of 5.
  return RleFile(8, 5, 2, {2, 1, 0, 3, 2, 3, 1, 0, 0, 0, 5, 2, 0, 1});
}

struct LoadCase {
  std::string name;
  Bytes file;
  int width, height;
  std::vector<std::uint32_t> colours;  // 0xRRGGBB, top row first
  std::size_t slack;                   // trailing bytes (last row padding) a file may lack
};

std::vector<LoadCase> LoadCases() {
  std::vector<LoadCase> cases;
  const auto Add = [&](std::string name, const BmpFile& file, int width, int height,
                       std::vector<std::uint32_t> colours, std::size_t slack) {
    cases.push_back({std::move(name), WriteBmp(file), width, height, std::move(colours), slack});
  };
  constexpr std::uint32_t white = 0xFFFFFF, black = 0x000000;
  const std::vector<std::uint32_t> pal8Colours = {0x112233, 0x445566, 0x778899,
                                                  0x778899, 0x445566, 0x112233};

  Add("1-bit, a row across two bytes",
      Indexed(1, 0, {black, white}, {{1, 0, 1, 1, 0, 0, 1, 0, 1}, {0, 1, 0, 0, 1, 1, 0, 1, 0}}), 9,
      2,
      {white, black, white, white, black, black, white, black, white,  // top
       black, white, black, black, white, white, black, white, black},
      2);
  Add("1-bit, core header with 3-byte palette entries", Core1File(), 3, 2,
      {0x0000FF, 0x00FF00, 0x00FF00, 0x00FF00, 0x0000FF, 0x0000FF}, 3);
  Add("1-bit, one-entry palette: index 1 is black", Indexed(1, 1, {white}, {{0, 1}}), 2, 1,
      {white, black}, 3);
  Add("4-bit, odd width", Indexed(4, 3, {0x102030, 0x405060, 0x708090}, {{2, 0, 1}, {1, 1, 2}}), 3,
      2, {0x708090, 0x102030, 0x405060, 0x405060, 0x405060, 0x708090}, 2);

  BmpFile full8 = Indexed(8, 0, {}, {{0, 200}, {255, 1}});
  for (std::uint32_t i = 0; i < 256; ++i) {
    full8.palette.push_back(i << 16 | (255 - i) << 8 | (i ^ 0x5A));
  }
  Add("8-bit, colour count 0 means the whole palette", full8, 2, 2,
      {0x00FF5A, 0xC83792, 0xFF00A5, 0x01FE5B}, 2);

  BmpFile topDown8 = Pal8File();
  topDown8.height = -2;
  topDown8.gap = 100;
  topDown8.pixels = PackRows({{0, 1, 2}, {2, 1, 0}}, 8, true);
  Add("8-bit, top-down rows after unused bytes", topDown8, 3, 2, pal8Colours, 1);
  for (int headerSize : {52, 56, 108, 124}) {
    BmpFile longHeader = Pal8File();
    longHeader.headerSize = headerSize;
    Add("8-bit, " + std::to_string(headerSize) + "-byte header", longHeader, 3, 2, pal8Colours, 1);
  }
  Add("8-bit, indexes past the palette read black",
      Indexed(8, 2, {0x112233, 0x445566}, {{0, 1, 2, 255}}), 4, 1,
      {0x112233, 0x445566, black, black}, 0);

  std::vector<std::uint32_t> longPalette(300, 0x00FF00);
  longPalette[0] = 0x0000FF;
  Add("8-bit, a stored palette longer than the depth needs",
      Indexed(8, 300, longPalette, {{0, 255, 0}, {255, 0, 255}}), 3, 2,
      {0x0000FF, 0x00FF00, 0x0000FF, 0x00FF00, 0x0000FF, 0x00FF00}, 1);

  Add("16-bit, 5-5-5 without masks, top bit ignored",
      Direct(16, {{0x7FFF, 0x7C00, 0x03E0, 0x8010, 0x0421}}), 5, 1,
      {white, 0xFF0000, 0x00FF00, 0x000084, 0x080808}, 2);
  Add("16-bit, 5-6-5 masks after a 40-byte header", Mask565File(), 4, 1,
      {0xFF0000, 0x00FF00, 0x0000FF, 0x000400}, 0);
  Add("16-bit, 4-4-4 masks and alpha inside a 124-byte header",
      Direct(16, {{0xF123, 0x0FFF}}, {0x0F00, 0x00F0, 0x000F, 0xF000}, 124), 2, 1,
      {0x112233, white}, 0);
  Add("16-bit, 1-, 2- and 3-bit channels repeat their bits",
      Direct(16, {{0x003F, 0x000A}}, {0x0001, 0x0006, 0x0038}), 2, 1, {white, 0x005524}, 0);
  Add("16-bit, an empty blue mask reads 0", Direct(16, {{0xFFFF}}, {0xF800, 0x07E0, 0}), 1, 1,
      {0xFFFF00}, 2);

  Add("24-bit, bottom-up rows with padding", Rgb24File(), 3, 2,
      {0x010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F, 0x101112}, 3);
  Add("24-bit, a row without padding", Direct(24, {{0x010203, 0x040506, 0x070809, 0x0A0B0C}}), 4, 1,
      {0x010203, 0x040506, 0x070809, 0x0A0B0C}, 0);
  Add("24-bit, core header", Core24File(), 1, 1, {0x123456}, 1);
  BmpFile topDown24 = Direct(24, {{0xFF0000}, {0x00FF00}, {0x0000FF}});
  topDown24.height = -3;
  topDown24.pixels = PackRows({{0xFF0000}, {0x00FF00}, {0x0000FF}}, 24, true);
  Add("24-bit, top-down rows", topDown24, 1, 3, {0xFF0000, 0x00FF00, 0x0000FF}, 1);

  Add("32-bit, fourth byte dropped", Direct(32, {{0xAA112233, 0xFF000000}}), 2, 1,
      {0x112233, black}, 0);
  Add("32-bit, masks in an unusual order",
      Direct(32, {{0x33002211}}, {0x000000FF, 0x0000FF00, 0xFF000000}), 1, 1, {0x112233}, 0);
  Add("32-bit, 10-bit channels keep their top bits",
      Direct(32, {{0x3FF80001}}, {0x3FF00000, 0x000FFC00, 0x000003FF}), 1, 1, {0xFF8000}, 0);
  Add("32-bit, masks inside a 52-byte header",
      Direct(32, {{0x33221100}}, {0x0000FF00, 0x00FF0000, 0xFF000000}, 52), 1, 1, {0x112233}, 0);
  Add("32-bit, masks and alpha inside a 56-byte header",
      Direct(32, {{0x7F445566}}, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}, 56), 1, 1,
      {0x445566}, 0);

  constexpr std::uint32_t g0 = 0x101010, g1 = 0x202020, g2 = 0x303030, g3 = 0x404040, g4 = 0x505050,
                          g5 = 0x606060;
  Add("RLE8, runs, padded absolute block, end of line and of bitmap", Rle8Runs(), 5, 2,
      {g2, g2, g2, g2, g2, g1, g1, g2, g3, g1}, 0);
  // Bottom row: one pixel, then a delta two right and one up; one pixel there; end of bitmap.
  Add("RLE8, a delta leaves skipped pixels black", RleFile(8, 4, 3, {1, 1, 0, 2, 2, 1, 1, 2, 0, 1}),
      4, 3, {black, black, black, black, black, black, black, g2, g1, black, black, black}, 0);
  Add("RLE8, last row closed without an end-of-bitmap code", RleFile(8, 2, 1, {2, 3, 0, 0}), 2, 1,
      {g3, g3}, 0);
  Add("RLE8, colour 0 written by a run", RleFile(8, 2, 1, {2, 0, 0, 1}), 2, 1, {g0, g0}, 0);
  // Bottom row: run of 5 alternating nibbles; top row: absolute block of 5 with a pad byte.
  Add("RLE4, alternating run and padded absolute block",
      RleFile(4, 5, 2, {5, 0x12, 0, 0, 0, 5, 0x12, 0x34, 0x50, 0, 0, 1}), 5, 2,
      {g1, g2, g3, g4, g5, g1, g2, g1, g2, g1}, 0);
  // Bottom row: unpadded absolute block of 3; delta one up; one pixel at the end of the row.
  Add("RLE4, absolute block without pad, then a delta",
      RleFile(4, 4, 2, {0, 3, 0x34, 0x50, 0, 2, 0, 1, 1, 0x10, 0, 1}), 4, 2,
      {black, black, black, g1, g3, g4, g5, black}, 0);
  // Common writers store each row's padding as pixels: those past the right edge are dropped.
  // Bottom row: run of 4 in a 3-pixel row; top row: absolute block of 4.
  Add("RLE8, run and absolute block past the right edge",
      RleFile(8, 3, 2, {4, 1, 0, 0, 0, 4, 2, 3, 4, 5, 0, 1}), 3, 2, {g2, g3, g4, g1, g1, g1}, 0);
  Add("RLE4, run and absolute block past the right edge",
      RleFile(4, 3, 2, {4, 0x12, 0, 0, 0, 4, 0x34, 0x52, 0, 1}), 3, 2, {g3, g4, g5, g1, g2, g1}, 0);
  Add("RLE8, a run after the row is full is dropped",
      RleFile(8, 3, 2, {3, 1, 2, 2, 0, 0, 3, 3, 0, 1}), 3, 2, {g3, g3, g3, g1, g1, g1}, 0);
  return cases;
}

TEST(BitmapTest, LoadsEveryDepthHeaderAndRowOrder) {
  for (const LoadCase& c : LoadCases()) {
    SCOPED_TRACE(c.name);
    Image image;
    ASSERT_EQ(DecodeBmp(c.file, image), BmpRefusal::None);
    EXPECT_EQ(image.imageWidth, c.width);
    EXPECT_EQ(image.imageHeight, c.height);
    EXPECT_EQ(image.rowPitch, c.width);
    EXPECT_EQ(Greens(image), GreensOf(c.colours));
    // Later stages read through PixelValue, which must see what the file set and black elsewhere.
    for (int i = 0; i < c.width * c.height; ++i) {
      EXPECT_EQ(PixelValue(image, i % c.width + 1, i / c.width + 1),
                static_cast<int>(c.colours[i] >> 8 & 0xFF))
          << "pixel " << i;
    }
  }
}

// Cutting a valid file anywhere before its last row's pixels ends must fail, not make pixels up:
// inside the headers (masks after a 40-byte header included) as a cut header, later as a pixel
// offset past the end or missing pixel data.
TEST(BitmapTest, RefusesEveryTruncation) {
  for (const LoadCase& c : LoadCases()) {
    SCOPED_TRACE(c.name);
    const std::size_t headerSize = c.file[14];
    const bool masksAfter = headerSize == 40 && c.file[30] == 3;
    const std::size_t headersEnd = 14 + headerSize + (masksAfter ? 12 : 0);
    for (std::size_t length = 0; length <= c.file.size(); ++length) {
      // A copy of exactly this length, so reading past it shows up under the address sanitizer.
      const Bytes prefix(c.file.begin(), c.file.begin() + static_cast<std::ptrdiff_t>(length));
      Image image;
      const BmpRefusal reason = DecodeBmp(prefix, image);
      const bool loaded = reason == BmpRefusal::None;
      ASSERT_EQ(loaded, length + c.slack >= c.file.size()) << "length " << length;
      if (loaded) {
        continue;
      }
      ExpectEmpty(image);
      if (length < headersEnd) {
        EXPECT_EQ(reason, BmpRefusal::TruncatedHeader) << "length " << length;
      } else {
        EXPECT_TRUE(reason == BmpRefusal::BadPixelOffset || reason == BmpRefusal::TruncatedData ||
                    reason == BmpRefusal::BadRle)
            << "length " << length << ", reason " << static_cast<int>(reason);
      }
    }
  }
}

struct Patch {
  std::size_t offset;
  std::uint32_t value;
  int size;
};

struct RefuseCase {
  std::string_view name;
  BmpFile (*base)();
  std::vector<Patch> patches;
  BmpRefusal reason;
};

const std::vector<RefuseCase> refuseCases = {
    {"signature BA", Rgb24File, {{1, 'A', 1}}, BmpRefusal::BadSignature},
    {"signature in lower case", Rgb24File, {{0, 'b' | 'm' << 8, 2}}, BmpRefusal::BadSignature},
    {"PNG signature",
     Rgb24File,
     {{0, 0x89 | 'P' << 8 | 'N' << 16 | 'G' << 24, 4}},
     BmpRefusal::BadSignature},
    {"JPEG signature", Rgb24File, {{0, 0xE0FFD8FF, 4}}, BmpRefusal::BadSignature},
    {"icon header", Rgb24File, {{0, 0x00010000, 4}}, BmpRefusal::BadSignature},
    {"header size 0", Rgb24File, {{14, 0, 4}}, BmpRefusal::BadHeaderSize},
    {"header size 16", Rgb24File, {{14, 16, 4}}, BmpRefusal::BadHeaderSize},
    {"header size 64", Rgb24File, {{14, 64, 4}}, BmpRefusal::BadHeaderSize},
    {"header size 66", Rgb24File, {{14, 66, 4}}, BmpRefusal::BadHeaderSize},
    {"124-byte header longer than the file",
     Rgb24File,
     {{14, 124, 4}},
     BmpRefusal::TruncatedHeader},
    // 5
    {"width 0", Rgb24File, {{18, 0, 4}}, BmpRefusal::BadDimensions},
    {"negative width", Rgb24File, {{18, 0xFFFFFFFD, 4}}, BmpRefusal::BadDimensions},
    {"width 32768", Rgb24File, {{18, 32768, 4}}, BmpRefusal::BadDimensions},
    {"height 0", Rgb24File, {{22, 0, 4}}, BmpRefusal::BadDimensions},
    {"height 32768", Rgb24File, {{22, 32768, 4}}, BmpRefusal::BadDimensions},
    {"height -32768", Rgb24File, {{22, 0xFFFF8000, 4}}, BmpRefusal::BadDimensions},
    {"height of the most negative int",
     Rgb24File,
     {{22, 0x80000000, 4}},
     BmpRefusal::BadDimensions},
    {"core header width 0", Core1File, {{18, 0, 2}}, BmpRefusal::BadDimensions},
    {"core header height 0", Core1File, {{20, 0, 2}}, BmpRefusal::BadDimensions},
    // 15
    {"bit count 0", Rgb24File, {{28, 0, 2}}, BmpRefusal::BadDepth},
    {"bit count 2", Pal8File, {{28, 2, 2}}, BmpRefusal::BadDepth},
    {"bit count 3", Rgb24File, {{28, 3, 2}}, BmpRefusal::BadDepth},
    {"bit count 64", Rgb24File, {{28, 64, 2}}, BmpRefusal::BadDepth},
    {"bit count 30000", Rgb24File, {{28, 30000, 2}}, BmpRefusal::BadDepth},
    {"core header at 16 bits", Core24File, {{24, 16, 2}}, BmpRefusal::BadDepth},
    {"core header at 32 bits", Core24File, {{24, 32, 2}}, BmpRefusal::BadDepth},
    // 22
    {"embedded JPEG", Rgb24File, {{30, 4, 4}}, BmpRefusal::BadDepth},
    {"embedded PNG", Rgb24File, {{30, 5, 4}}, BmpRefusal::BadDepth},
    {"compression 6", Rgb24File, {{30, 6, 4}}, BmpRefusal::BadDepth},
    {"compression 0xFFFFFFFF", Rgb24File, {{30, 0xFFFFFFFF, 4}}, BmpRefusal::BadDepth},
    {"RLE8 at 24 bits", Rgb24File, {{30, 1, 4}}, BmpRefusal::BadDepth},
    {"RLE4 at 8 bits", Pal8File, {{30, 2, 4}}, BmpRefusal::BadDepth},
    {"bit fields at 24 bits", Rgb24File, {{30, 3, 4}}, BmpRefusal::BadDepth},
    {"bit fields at 8 bits", Pal8File, {{30, 3, 4}}, BmpRefusal::BadDepth},
    {"top-down RLE8", Rle8Runs, {{22, 0xFFFFFFFE, 4}}, BmpRefusal::BadDepth},
    // 31
    {"pixel offset past the end", Rgb24File, {{10, 1000, 4}}, BmpRefusal::BadPixelOffset},
    {"pixel offset at the end", Rgb24File, {{10, 78, 4}}, BmpRefusal::BadPixelOffset},
    {"pixel offset 0", Rgb24File, {{10, 0, 4}}, BmpRefusal::BadPixelOffset},
    {"pixel offset inside the header", Rgb24File, {{10, 20, 4}}, BmpRefusal::BadPixelOffset},
    {"pixel offset too late for the rows", Rgb24File, {{10, 58, 4}}, BmpRefusal::TruncatedData},
    {"width larger than the stored rows", Rgb24File, {{18, 5, 4}}, BmpRefusal::TruncatedData},
    {"height larger than the stored rows", Rgb24File, {{22, 3, 4}}, BmpRefusal::TruncatedData},
    {"empty RLE stream", Rle8Runs, {{10, 92, 4}}, BmpRefusal::BadPixelOffset},
    // 39
    {"pixel offset inside the palette", Pal8File, {{10, 58, 4}}, BmpRefusal::BadPalette},
    {"colour count beyond the stored palette", Pal8File, {{46, 4, 4}}, BmpRefusal::BadPalette},
    {"colour count 0x12341234", Pal8File, {{46, 0x12341234, 4}}, BmpRefusal::BadPalette},
    {"palette image without a palette",
     Pal8File,
     {{46, 0, 4}, {10, 54, 4}},
     BmpRefusal::BadPalette},
    {"core palette with no room", Core1File, {{10, 26, 4}}, BmpRefusal::BadPalette},
    // 44
    {"overlapping masks", Mask565File, {{58, 0x0FE0, 4}}, BmpRefusal::BadMasks},
    {"mask with a gap", Mask565File, {{54, 0xD800, 4}}, BmpRefusal::BadMasks},
    {"all masks empty", Mask565File, {{54, 0, 4}, {58, 0, 4}, {62, 0, 4}}, BmpRefusal::BadMasks},
    {"mask wider than the pixel", Mask565File, {{54, 0x1F0000, 4}}, BmpRefusal::BadMasks},
    {"pixels start inside the masks", Mask565File, {{10, 60, 4}}, BmpRefusal::BadPixelOffset},
};

TEST(BitmapTest, RefusesDamagedHeaders) {
  for (const RefuseCase& c : refuseCases) {
    SCOPED_TRACE(c.name);
    Bytes file = WriteBmp(c.base());
    Image image;
    ASSERT_EQ(DecodeBmp(file, image), BmpRefusal::None) << "the undamaged file must load";
    for (const Patch& patch : c.patches) {
      for (int i = 0; i < patch.size; ++i) {
        file[patch.offset + i] = static_cast<std::uint8_t>(patch.value >> (8 * i));
      }
    }
    EXPECT_EQ(DecodeBmp(file, image), c.reason);
    ExpectEmpty(image);
  }
}

struct StreamCase {
  std::string_view name;
  int bitCount;
  Bytes stream;  // for a 4 x 2 picture
};

const std::vector<StreamCase> badStreams = {
    {"delta past the row", 8, {2, 1, 0, 2, 3, 0, 0, 1}},
    {"delta past the top row", 8, {0, 2, 0, 2, 0, 1}},
    {"delta up from the top row", 8, {0, 0, 0, 2, 0, 1, 0, 1}},
    {"end of stream without end of bitmap", 8, {2, 1}},
    {"end of stream inside a delta", 8, {0, 2, 1}},
    {"absolute block cut short", 8, {0, 4, 1, 2}},
    {"lone count byte", 8, {2, 1, 0}},
    {"RLE4 absolute block cut short", 4, {0, 4, 0x12}},
    {"RLE4 delta past the row", 4, {0, 2, 5, 0, 0, 1}},
};

TEST(BitmapTest, RefusesRleStreamsThatLeaveThePicture) {
  for (const StreamCase& c : badStreams) {
    SCOPED_TRACE(c.name);
    Image image;
    EXPECT_EQ(DecodeBmp(WriteBmp(RleFile(c.bitCount, 4, 2, c.stream)), image), BmpRefusal::BadRle);
    ExpectEmpty(image);
  }
}

// A two-byte stream may end a picture at once, but must not claim a huge one.
TEST(BitmapTest, BoundsRlePicturesByTheirStreamLength) {
  Image image;
  ASSERT_EQ(DecodeBmp(WriteBmp(RleFile(8, 64, 128, {0, 1})), image), BmpRefusal::None);
  EXPECT_EQ(Greens(image), GreensOf(std::vector<std::uint32_t>(64 * 128, 0x000000)));
  EXPECT_EQ(DecodeBmp(WriteBmp(RleFile(8, 64, 129, {0, 1})), image), BmpRefusal::TooLarge);
  ExpectEmpty(image);
  EXPECT_EQ(DecodeBmp(WriteBmp(RleFile(8, 32767, 32767, {0, 1})), image), BmpRefusal::TooLarge);
  ExpectEmpty(image);
}

#if defined(__linux__)
// Pixels a run-length stream never sets stay untouched zero pages, through loading and every
// scan pass: a sparse picture must not cost its whole buffer in memory.
TEST(BitmapTest, LeavesPixelsNoRunSetsUntouched) {
  Bytes stream = {1, 1};
  for (int row = 0; row < 4095; ++row) {
    stream.insert(stream.end(), {0, 0});
  }
  stream.insert(stream.end(), {0, 1});
  Image image;
  ASSERT_EQ(DecodeBmp(WriteBmp(RleFile(8, 4096, 4096, stream)), image), BmpRefusal::None);
  Reading reading;
  LocateCandidates(image, false, reading);
  LocateCandidates(image, true, reading);
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t size = std::size_t{4096} * 4096;
  std::vector<unsigned char> resident((size + page - 1) / page);
  ASSERT_EQ(::mincore(image.pixelBuffer.get(), size, resident.data()), 0);
  const auto residentPages = std::count_if(resident.begin(), resident.end(),
                                           [](unsigned char flags) { return (flags & 1) != 0; });
  EXPECT_LT(static_cast<std::size_t>(residentPages) * page, std::size_t{1} << 20);
  EXPECT_EQ(PixelValue(image, 1, 4096), 0x20);
}
#endif

TEST(BitmapTest, RefusesHugeSidesInATinyFile) {
  BmpFile file = Rgb24File();
  file.width = 32767;
  file.height = -32767;
  Image image;
  EXPECT_EQ(DecodeBmp(WriteBmp(file), image), BmpRefusal::TruncatedData);
  ExpectEmpty(image);
}

TEST(BitmapTest, FailureEmptiesAnImageThatHeldAPicture) {
  Image image;
  ASSERT_EQ(DecodeBmp(WriteBmp(Rgb24File()), image), BmpRefusal::None);
  const Bytes notBitmap = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(DecodeBmp(notBitmap, image), BmpRefusal::BadSignature);
  ExpectEmpty(image);
}

TEST(BitmapTest, ReadsTheSharedTestBitmaps) {
  Image image;
  ASSERT_EQ(DecodeBmp(MakeBmp({"#..", "x.#"}), image), BmpRefusal::None);
  EXPECT_EQ(Greens(image), GreensOf({0x000000, 0xFFFFFF, 0xFFFFFF, 0x787878, 0xFFFFFF, 0}));
}

// A private folder under the temporary directory, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder()
      : path_(std::filesystem::temp_directory_path() /
              ("strixa-bitmap-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string Write(const std::string& name, const Bytes& bytes) const {
    std::ofstream(path_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return (path_ / name).string();
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Files larger than one read piece, so rows and run-length codes straddle the seams between
// pieces: the streamed read must give exactly what the in-memory one gives, and a file cut
// short by one byte must still fail.
TEST(BitmapTest, StreamsLargeFilesAsTheyDecodeInMemory) {
  BmpFile rgb = {.width = 333, .height = 3001};  // rows of 1000 bytes, 3 MB
  for (std::size_t i = 0; i < 1000 * 3001; ++i) {
    rgb.pixels.push_back(static_cast<std::uint8_t>(i * 7 + i / 1000));
  }
  Bytes stream;
  for (int row = 0; row < 6000; ++row) {
    // Odd absolute blocks carry a pad byte, so codes fall on both even and odd offsets.
    stream.insert(stream.end(), {0, 253});
    for (int i = 0; i < 253; ++i) {
      stream.push_back(static_cast<std::uint8_t>((row + i) % 6));
    }
    stream.insert(stream.end(), {0, 3, static_cast<std::uint8_t>(row % 6), 0, 0});
  }
  stream.insert(stream.end(), {0, 1});
  // Pixels 2 MB after the headers: the read skips ahead rather than through them.
  BmpFile farPixels = Pal8File();
  farPixels.gap = 2 << 20;
  const ScratchFolder folder;
  for (const Bytes& file :
       {WriteBmp(rgb), WriteBmp(RleFile(8, 255, 6000, stream)), WriteBmp(farPixels)}) {
    SCOPED_TRACE(file.size());
    ASSERT_GT(file.size(), std::size_t{1} << 20);
    Image inMemory;
    ASSERT_EQ(DecodeBmp(file, inMemory), BmpRefusal::None);
    Image streamed;
    ASSERT_EQ(ReadBmpFile(folder.Write("large.bmp", file), streamed), BmpRefusal::None);
    ASSERT_EQ(streamed.imageWidth, inMemory.imageWidth);
    ASSERT_EQ(streamed.imageHeight, inMemory.imageHeight);
    const std::size_t size = static_cast<std::size_t>(inMemory.rowPitch) * inMemory.imageHeight;
    EXPECT_EQ(std::memcmp(streamed.pixelBuffer.get(), inMemory.pixelBuffer.get(), size), 0);

    const Bytes cut(file.begin(), file.end() - 4);
    const BmpRefusal reason = ReadBmpFile(folder.Write("cut.bmp", cut), streamed);
    EXPECT_TRUE(reason == BmpRefusal::TruncatedData || reason == BmpRefusal::BadRle);
    ExpectEmpty(streamed);
  }
}

// A read the system refuses is a failed read, not a short file, wherever it stops the decoder;
// a file that ends early is still cut short.
TEST(BitmapTest, TellsFailedReadsFromShortFiles) {
  const Bytes rgb = WriteBmp(Rgb24File());
  const Bytes rle = WriteBmp(Rle8Runs());
  BmpFile farPixels = Pal8File();
  farPixels.gap = 2 << 20;
  const Bytes far = WriteBmp(farPixels);
  const struct {
    std::string_view name;
    const Bytes& file;
    std::size_t stopAt;  // bytes served before the reader stops; the last 3 are row padding
    long long stop;      // what it then returns: -1 fails, 0 ends the data
    BmpRefusal reason;
  } cases[] = {
      {"fails in the headers", rgb, 20, -1, BmpRefusal::ReadFailed},
      {"fails in the pixels", rgb, rgb.size() - 4, -1, BmpRefusal::ReadFailed},
      {"fails in a run-length stream", rle, rle.size() - 3, -1, BmpRefusal::ReadFailed},
      {"ends in the pixels", rgb, rgb.size() - 4, 0, BmpRefusal::TruncatedData},
      {"serves it all", rgb, rgb.size(), 0, BmpRefusal::None},
      // With no file to seek in, the source reads through the 2 MB before the pixels.
      {"serves a gap before the pixels", far, far.size(), 0, BmpRefusal::None},
      {"fails past the gap", far, far.size() - 4, -1, BmpRefusal::ReadFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::size_t served = 0;
    // Seven bytes at most a call, so headers and rows take several reads.
    ByteSource source(c.file.size(), [&](std::uint8_t* target, std::size_t count) {
      const std::size_t length = std::min({count, std::size_t{7}, c.stopAt - served});
      if (length == 0) {
        return c.stop;
      }
      std::memcpy(target, c.file.data() + served, length);
      served += length;
      return static_cast<long long>(length);
    });
    Image image;
    EXPECT_EQ(ReadBmpSource(source, image), c.reason);
    EXPECT_EQ(image.pixelBuffer == nullptr, c.reason != BmpRefusal::None);
  }
}

// Anything that is not a readable bitmap file fails with a reason; a FIFO put where a file was
// must fail at once rather than wait for a writer.
TEST(BitmapTest, ReadsFilesAndRefusesEverythingElse) {
  const ScratchFolder folder;
  const Bytes bytes = WriteBmp(Rgb24File());
  const std::string good = folder.Write("good.bmp", bytes);
  std::filesystem::create_directory(folder / "folder.bmp");
  struct FileCase {
    std::string name, path;
    BmpRefusal reason;
  };
  std::vector<FileCase> cases = {
      {"0 bytes", folder.Write("empty.bmp", {}), BmpRefusal::TruncatedHeader},
      {"cut in the pixels", folder.Write("cut.bmp", Bytes(bytes.begin(), bytes.begin() + 70)),
       BmpRefusal::TruncatedData},
      {"text", folder.Write("notes.txt", {'n', 'o', 't', 'e', 's'}), BmpRefusal::BadSignature},
      {"missing", folder / "missing.bmp", BmpRefusal::CannotOpen},
      {"folder", folder / "folder.bmp", BmpRefusal::CannotOpen},
      {"empty path", "", BmpRefusal::CannotOpen},
  };
#if !defined(_WIN32)
  ASSERT_EQ(::mkfifo((folder / "fifo.bmp").c_str(), 0600), 0);
  cases.push_back({"FIFO", folder / "fifo.bmp", BmpRefusal::CannotOpen});
#endif
  Image image;
  ASSERT_EQ(ReadBmpFile(good, image), BmpRefusal::None);
  EXPECT_EQ(Greens(image), GreensOf({0x010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F, 0x101112}));
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadBmpFile(c.path, image), c.reason);
    ExpectEmpty(image);
  }

  // The system platform reads through the same reader.
  const std::unique_ptr<Platform> platform = MakeSystemPlatform(0, nullptr);
  ASSERT_TRUE(LoadImageFile(*platform, good, image));
  EXPECT_EQ(image.imageWidth, 3);
  EXPECT_FALSE(LoadImageFile(*platform, folder / "cut.bmp", image));
  ExpectEmpty(image);
}

}  // namespace

}  // namespace strixa
