// The library against the command line: the same lines for the same picture in every pixel
// layout and with every option, plus its failures and two readers at once.
#include "strixa/strixa.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "driver/driver.h"
#include "platform/bitmap.h"
#include "strixa/strixa.hpp"
#include "support/builders.h"
#include "support/code128Encoder.h"
#include "support/code39Encoder.h"
#include "support/eanEncoder.h"
#include "support/fakePlatform.h"
#include "support/twoOfFiveEncoder.h"

namespace strixa {

namespace {

using Lines = std::vector<std::string>;

const std::string samplePath = STRIXA_SOURCE_DIR "/samples/sample.bmp";

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the tool prints under /P for the picture, extra switches first.
Lines CommandLineLines(const Image& picture, Lines switches = {}) {
  FakePlatform platform;
  platform.files["picture.bmp"] = MakeBmp(picture);
  platform.arguments = std::move(switches);
  platform.arguments.insert(platform.arguments.end(), {"/P", "picture.bmp"});
  RunProgram(platform);
  return platform.lines;
}

// The library's results as /P prints them, then each orientation.
struct Read {
  Lines lines;
  std::vector<int> orientations;
};

// From the C results or the wrapper's.
template <typename Barcodes>
Read ToRead(const Barcodes& barcodes) {
  Read read;
  for (const auto& b : barcodes) {
    read.lines.push_back(std::to_string(b.x) + '\t' + std::to_string(b.y) + '\t' +
                         std::to_string(b.width) + '\t' + std::to_string(b.height) + '\t' +
                         std::string(b.label) + '\t' + std::string(b.text) + '\r');
    read.orientations.push_back(b.orientation);
  }
  return read;
}

Image LoadSample() {
  Image image;
  EXPECT_TRUE(DecodeBmp(ReadBytes(samplePath), image));
  return image;
}

// Symbols of every kind read both ways along both axes (a mirrored one reads only reversed),
// and a short one only the fine scan finds.
Image DrawnPage() {
  const std::string ean8 = Widen(EncodeEan8("24680134"), 3);
  const std::string upcA = Widen(EncodeEan13("0012345678905"), 2);
  Image page = MakeBlankImage(900, 900, 240);
  DrawBars(page, Widen(EncodeEan13("5901234123457"), 2), 1, 40, 30, 90);
  DrawBars(page, Widen(EncodeCode128({104, 33, 34, 99, 12, 34, 56}), 2), 1, 420, 40, 90);
  DrawBars(page, Code39Pixels("*STRIXA*", 2, 5, 2), 1, 40, 260, 80);
  DrawBars(page, InterleavedTwoOfFivePixels("12345670", 3, 9), 1, 420, 300, 90);
  DrawBars(page, ean8, 1, 700, 420, 150, true);
  DrawBars(page, std::string(ean8.rbegin(), ean8.rend()), 1, 500, 600, 150, true);
  DrawBars(page, std::string(upcA.rbegin(), upcA.rend()), 1, 40, 480, 100);
  DrawBars(page, Widen(EncodeEan13("4006381333931"), 2), 1, 40, 820, 30);
  return page;
}

struct Layout {
  strixa_pixel_format format;
  int bytesPerPixel;
  int greyOffset;
};

constexpr Layout layouts[] = {
    {STRIXA_GREY8, 1, 0},  {STRIXA_BGR24, 3, 1},  {STRIXA_RGB24, 3, 1},
    {STRIXA_BGRA32, 4, 1}, {STRIXA_RGBA32, 4, 1},
};

// The picture's pixels in the layout, each row padded by 7 bytes and stored bottom row first
// when bottomUp (a negative stride). Every byte but the green one holds its inverse, so reading
// the wrong byte changes what is found.
struct Pixels {
  std::vector<std::uint8_t> bytes;
  const void* first = nullptr;
  std::ptrdiff_t stride = 0;
};

Pixels ConvertPixels(const Image& image, const Layout& layout, bool bottomUp = false) {
  Pixels pixels;
  const int step = layout.bytesPerPixel;
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(image.imageWidth) * step + 7;
  pixels.bytes.assign(static_cast<std::size_t>(rowBytes) * image.imageHeight, 0x5A);
  for (int y = 0; y < image.imageHeight; ++y) {
    std::uint8_t* row = &pixels.bytes[(bottomUp ? image.imageHeight - 1 - y : y) * rowBytes];
    for (int x = 0; x < image.imageWidth; ++x) {
      const std::uint8_t green = image.greyBytes[y * image.rowPitch + x * image.pixelStep];
      std::memset(row + x * step, 255 - green, static_cast<std::size_t>(step));
      row[x * step + layout.greyOffset] = green;
    }
  }
  pixels.stride = bottomUp ? -rowBytes : rowBytes;
  pixels.first = &pixels.bytes[bottomUp ? pixels.bytes.size() - rowBytes : 0];
  return pixels;
}

Read ReadPixels(strixa_reader* reader, const Pixels& pixels, const Image& picture,
                strixa_pixel_format format) {
  const strixa_barcode* barcodes = nullptr;
  size_t count = 0;
  EXPECT_EQ(strixa_read_pixels(reader, pixels.first, picture.imageWidth, picture.imageHeight,
                               pixels.stride, format, &barcodes, &count),
            STRIXA_OK)
      << strixa_reader_error(reader);
  return ToRead(std::span(barcodes, count));
}

TEST(ApiTest, ReadsEveryPixelLayoutAndTheFileAsTheCommandLine) {
  strixa_reader* reader = nullptr;
  ASSERT_EQ(strixa_reader_create(nullptr, &reader), STRIXA_OK);
  const Image sample = LoadSample();
  const Image page = DrawnPage();
  // Four upright, the mirrored UPC-A read backwards, then down the columns left to right the
  // mirrored EAN-8 read upwards and the plain one.
  const std::vector<int> pageOrientations = {
      STRIXA_UPRIGHT,          STRIXA_UPRIGHT,       STRIXA_UPRIGHT, STRIXA_UPRIGHT,
      STRIXA_UPRIGHT_REVERSED, STRIXA_FLAT_REVERSED, STRIXA_FLAT};
  for (const Image* picture : {&sample, &page}) {
    const Lines expected = CommandLineLines(*picture);
    ASSERT_GE(expected.size(), 7u);
    for (const Layout& layout : layouts) {
      for (bool bottomUp : {false, true}) {
        SCOPED_TRACE(std::to_string(picture->imageWidth) + " wide, format " +
                     std::to_string(layout.format) + (bottomUp ? " bottom up" : ""));
        const Read read =
            ReadPixels(reader, ConvertPixels(*picture, layout, bottomUp), *picture, layout.format);
        EXPECT_EQ(read.lines, expected);
        if (picture == &page) {
          EXPECT_EQ(read.orientations, pageOrientations);
        }
      }
    }
  }
  const strixa_barcode* barcodes = nullptr;
  size_t count = 0;
  EXPECT_EQ(strixa_read_bmp_file(reader, samplePath.c_str(), &barcodes, &count), STRIXA_OK);
  EXPECT_EQ(ToRead(std::span(barcodes, count)).lines, CommandLineLines(sample));
  EXPECT_STREQ(strixa_reader_error(reader), "");
  strixa_reader_destroy(reader);
}

TEST(ApiTest, OptionsMatchTheSwitchesAndChooseSymbologies) {
  const Image page = DrawnPage();
  const struct {
    int fine;
    unsigned symbologies;
    Lines switches;
    std::vector<std::string_view> labels;  // the command line's lines kept; empty keeps all
  } cases[] = {
      {1, STRIXA_ALL_SYMBOLOGIES, {"/F"}, {}},
      {0, STRIXA_EAN13 | STRIXA_CODE39 | STRIXA_EAN8, {}, {"EAN13", "CODE39", "EAN8"}},
      {1, STRIXA_UPCA | STRIXA_INTERLEAVED_TWO_OF_FIVE, {"/F"}, {"UPC-A", "2/5i"}},
      {0, 0, {}, {"none"}},
  };
  ASSERT_NE(CommandLineLines(page), CommandLineLines(page, {"/F"}));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.fine) + " " + std::to_string(c.symbologies));
    Lines expected = CommandLineLines(page, c.switches);
    std::erase_if(expected, [&](const std::string& line) {
      const std::string_view label = std::string_view(line).substr(0, line.rfind('\t'));
      return !c.labels.empty() &&
             std::ranges::count(c.labels, label.substr(label.rfind('\t') + 1)) == 0;
    });
    const strixa_options options = {c.fine, c.symbologies};
    strixa_reader* reader = nullptr;
    ASSERT_EQ(strixa_reader_create(&options, &reader), STRIXA_OK);
    EXPECT_EQ(ReadPixels(reader, ConvertPixels(page, layouts[0]), page, STRIXA_GREY8).lines,
              expected);
    strixa_reader_destroy(reader);
  }
}

TEST(ApiTest, RefusesBadArgumentsAndFilesWithAMessage) {
  // Unique per run, as other builds' tests may run beside this one.
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("strixa-api-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(folder);
  const std::string text = (folder / "notes.bmp").string();
  const std::string empty = (folder / "empty.bmp").string();
  const std::string missing = (folder / "missing.bmp").string();
  std::ofstream(text) << "BM and then only words\n";
  std::ofstream{empty};
  strixa_reader* reader = nullptr;
  ASSERT_EQ(strixa_reader_create(nullptr, &reader), STRIXA_OK);
  const std::uint8_t pixels[64] = {};
  const strixa_barcode* barcodes = nullptr;
  size_t count = 0;
  auto readPixels = [&](const void* p, int width, int height, ptrdiff_t stride, int format) {
    return strixa_read_pixels(reader, p, width, height, stride,
                              static_cast<strixa_pixel_format>(format), &barcodes, &count);
  };
  auto readFile = [&](const std::string& path) {
    return strixa_read_bmp_file(reader, path.c_str(), &barcodes, &count);
  };
  const struct {
    std::string_view name;
    strixa_status status, expected;
  } cases[] = {
      {"null pixels", readPixels(nullptr, 4, 4, 4, STRIXA_GREY8), STRIXA_ERROR_ARGUMENT},
      {"unknown format", readPixels(pixels, 4, 4, 16, 9), STRIXA_ERROR_ARGUMENT},
      {"width 0", readPixels(pixels, 0, 4, 4, STRIXA_GREY8), STRIXA_ERROR_ARGUMENT},
      {"height too large", readPixels(pixels, 4, 40000, 4, STRIXA_GREY8), STRIXA_ERROR_ARGUMENT},
      {"stride short of a row", readPixels(pixels, 4, 4, -11, STRIXA_BGR24), STRIXA_ERROR_ARGUMENT},
      {"stride overflowing the rows", readPixels(pixels, 4, 4, PTRDIFF_MAX / 2, STRIXA_GREY8),
       STRIXA_ERROR_ARGUMENT},
      {"null count", strixa_read_bmp_file(reader, samplePath.c_str(), &barcodes, nullptr),
       STRIXA_ERROR_ARGUMENT},
      {"null path", strixa_read_bmp_file(reader, nullptr, &barcodes, &count),
       STRIXA_ERROR_ARGUMENT},
      {"null reader", strixa_read_bmp_file(nullptr, samplePath.c_str(), &barcodes, &count),
       STRIXA_ERROR_ARGUMENT},
      {"missing file", readFile(missing), STRIXA_ERROR_FILE},
      {"folder", readFile(folder.string()), STRIXA_ERROR_FILE},
      {"text file", readFile(text), STRIXA_ERROR_FORMAT},
      {"empty file", readFile(empty), STRIXA_ERROR_FORMAT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.status, c.expected);
  }
  // The caller holds the path and puts it before the reason; the text must not repeat it.
  EXPECT_STREQ(strixa_reader_error(reader), "not a bitmap this library reads");
  // A failure after a success leaves no results behind.
  ASSERT_EQ(readFile(samplePath), STRIXA_OK);
  ASSERT_GT(count, 0u);
  EXPECT_EQ(readFile(missing), STRIXA_ERROR_FILE);
  EXPECT_EQ(barcodes, nullptr);
  EXPECT_EQ(count, 0u);
  strixa_reader_destroy(reader);
  std::filesystem::remove_all(folder);

  const strixa_options unknownSymbology = {0, 0x100};
  EXPECT_EQ(strixa_reader_create(&unknownSymbology, &reader), STRIXA_ERROR_ARGUMENT);
  EXPECT_EQ(reader, nullptr);
}

TEST(ApiTest, TwoReadersOnTwoThreadsReadAsOne) {
  const Image pictures[] = {LoadSample(), DrawnPage()};
  const Pixels pixels[] = {ConvertPixels(pictures[0], layouts[1]),
                           ConvertPixels(pictures[1], layouts[1])};
  Lines got[2][3];
  auto readRepeatedly = [&](int i) {
    strixa_reader* reader = nullptr;
    strixa_reader_create(nullptr, &reader);
    for (Lines& lines : got[i]) {
      lines = ReadPixels(reader, pixels[i], pictures[i], STRIXA_BGR24).lines;
    }
    strixa_reader_destroy(reader);
  };
  std::thread first(readRepeatedly, 0);
  std::thread second(readRepeatedly, 1);
  first.join();
  second.join();
  for (int i = 0; i < 2; ++i) {
    for (const Lines& lines : got[i]) {
      EXPECT_EQ(lines, CommandLineLines(pictures[i]));
    }
  }
}

TEST(ApiTest, WrapperGivesTheResultsAndThrowsTheMessage) {
  Reader reader;
  EXPECT_EQ(ToRead(reader.ReadBmpFile(samplePath)).lines, CommandLineLines(LoadSample()));
  try {
    reader.ReadBmpFile(samplePath + ".missing");
    ADD_FAILURE() << "no exception";
  } catch (const Error& e) {
    EXPECT_EQ(e.Status(), STRIXA_ERROR_FILE);
    EXPECT_NE(std::string(e.what()).find("sample.bmp.missing"), std::string::npos);
  }
  EXPECT_EQ(Version(), std::to_string(STRIXA_VERSION_MAJOR) + '.' +
                           std::to_string(STRIXA_VERSION_MINOR) + '.' +
                           std::to_string(STRIXA_VERSION_PATCH));
}

}  // namespace

}  // namespace strixa
