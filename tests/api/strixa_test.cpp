// SPDX-License-Identifier: Apache-2.0
// The library against the command line: the same lines for the same picture in every pixel
// layout and with every option, plus its failures and two readers at once.
#include "strixa/strixa.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "driver/driver.h"
#include "formats/format.h"
#include "platform/bitmap.h"
#include "strixa/strixa.hpp"
#include "support/batch/formatWriters.h"
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
  EXPECT_EQ(DecodeBmp(ReadBytes(samplePath), image), BmpRefusal::None);
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
      {1, STRIXA_ALL_SYMBOLOGIES, {}, {}},
      {0, STRIXA_EAN13 | STRIXA_CODE39 | STRIXA_EAN8, {}, {"EAN13", "CODE39", "EAN8"}},
      {1, STRIXA_UPCA | STRIXA_INTERLEAVED_TWO_OF_FIVE, {}, {"UPC-A", "2/5i"}},
      {0, 0, {}, {"none"}},
  };
  ASSERT_NE(CommandLineLines(page), CommandLineLines(page, {"/F"}));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.fine) + " " + std::to_string(c.symbologies));
    // Fine reading adds what /F finds and the normal scan does not; this page has one text per
    // symbol.
    Lines expected = CommandLineLines(page, c.switches);
    if (c.fine != 0) {
      for (const std::string& line : CommandLineLines(page, {"/F"})) {
        const std::string_view text = std::string_view(line).substr(line.find('\t', 13));
        if (std::ranges::none_of(expected,
                                 [&](const std::string& e) { return e.ends_with(text); })) {
          expected.push_back(line);
        }
      }
    }
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

// A Gaussian blur of the standard deviation, along each axis, edges repeated.
Image Blurred(const Image& image, double sigma) {
  const int width = image.imageWidth;
  const int height = image.imageHeight;
  const int radius = static_cast<int>(3 * sigma);
  std::vector<double> weights;
  for (int d = -radius; d <= radius; ++d) {
    weights.push_back(std::exp(-d * d / (2 * sigma * sigma)));
  }
  const double total = std::accumulate(weights.begin(), weights.end(), 0.0);
  std::vector<double> grey(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      grey[y * width + x] = PixelValue(image, x + 1, y + 1);
    }
  }
  for (bool rows : {true, false}) {
    std::vector<double> next(grey.size());
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        double sum = 0;
        for (int d = -radius; d <= radius; ++d) {
          const int u = std::clamp(rows ? x + d : x, 0, width - 1);
          const int v = std::clamp(rows ? y : y + d, 0, height - 1);
          sum += weights[d + radius] * grey[v * width + u];
        }
        next[y * width + x] = sum / total;
      }
    }
    grey = std::move(next);
  }
  Image blurred = MakeBlankImage(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto value = static_cast<std::uint8_t>(std::lround(grey[y * width + x]));
      SetPixel(blurred, x + 1, y + 1, value, value, value);
    }
  }
  return blurred;
}

// Fine reading finds all the normal scan finds, in its order and with its rectangles, and then
// what only /F finds: on a blurred symbol that /F alone misses, and on a small one only /F reads.
TEST(ApiTest, FineReadingOnlyAdds) {
  std::vector<Image> pictures;
  Image sharp = MakeBlankImage(492, 260);
  DrawBars(sharp, Widen(EncodeEan13("5901234123457"), 4), 1, 65, 21, 218);
  pictures.push_back(Blurred(sharp, 2.5));
  pictures.push_back(DrawnPage());
  pictures.push_back(LoadSample());
  bool fineAloneLoses = false;
  bool fineAloneFinds = false;
  for (const Image& picture : pictures) {
    const Lines normal = CommandLineLines(picture);
    const Lines fineAlone = CommandLineLines(picture, {"/F"});
    const strixa_options options = {1, STRIXA_ALL_SYMBOLOGIES};
    strixa_reader* reader = nullptr;
    ASSERT_EQ(strixa_reader_create(&options, &reader), STRIXA_OK);
    const Lines fine =
        ReadPixels(reader, ConvertPixels(picture, layouts[0]), picture, STRIXA_GREY8).lines;
    strixa_reader_destroy(reader);
    ASSERT_GE(fine.size(), normal.size());
    EXPECT_EQ(Lines(fine.begin(), fine.begin() + static_cast<std::ptrdiff_t>(normal.size())),
              normal);
    for (const std::string& line : fineAlone) {
      const std::string_view text = std::string_view(line).substr(line.find('\t', 13));
      EXPECT_TRUE(std::ranges::any_of(fine, [&](const std::string& f) {
        return f.ends_with(text);
      })) << line;
      fineAloneFinds |= std::ranges::count(normal, line) == 0;
    }
    fineAloneLoses |= fineAlone.size() < normal.size();
  }
  // The pictures show both faults of /F alone.
  EXPECT_TRUE(fineAloneLoses);
  EXPECT_TRUE(fineAloneFinds);
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

// One symbol per picture: the text as the command line prints it beside the data as encoded.
TEST(ApiTest, GivesTheDataAndSymbologyIdentifierBesideTheText) {
  constexpr int startA = 103, startB = 104, startC = 105;
  const struct {
    std::string_view name;
    std::string pixels;
    std::string_view label, text, data, id;
  } cases[] = {
      {"EAN-13 without its space", Widen(EncodeEan13("5901234123457"), 2), "EAN13",
       "5901234 123457", "5901234123457", "]E0"},
      {"UPC-A as 13 digits", Widen(EncodeEan13("0036000291452"), 2), "UPC-A", "036000 291452",
       "0036000291452", "]E0"},
      {"EAN-8", Widen(EncodeEan8("96385074"), 3), "EAN8", "9638 5074", "96385074", "]E4"},
      {"control characters, NUL, and the same names spelt out",
       Widen(EncodeCode128({startA, 33, 73, 64, 100, 28, 40, 52, 30}), 2), "CODE128",
       "A<HT><NUL><HT>", std::string_view("A\t\0<HT>", 7), "]C0"},
      {"SHIFT and FNC4", Widen(EncodeCode128({startB, 65, 98, 73, 100, 33}), 2), "CODE128",
       "a<SHIFT>i<FNC4>A", "a\t\xC1", "]C0"},
      {"GS1: FNC1 first, then as GS",
       Widen(EncodeCode128({startC, 102, 10, 12, 34, 102, 21, 56}), 2), "EAN128",
       "101234<FNC1>2156",
       "101234\x1D"
       "2156",
       "]C1"},
      {"FNC1 first after Start B", Widen(EncodeCode128({startB, 102, 33, 34}), 2), "CODE128",
       "<FNC1>AB", "AB", "]C1"},
      {"FNC1 after one letter", Widen(EncodeCode128({startB, 33, 102, 17, 18}), 2), "CODE128",
       "A<FNC1>12", "A12", "]C2"},
      {"Code 39, check character unverified", Code39Pixels("*STRIXA-39*", 2, 5, 2), "CODE39",
       "STRIXA-39", "STRIXA-39", "]A0"},
      {"2 of 5", TwoOfFivePixels("123456", 3, 8), "2/5", "123456", "123456", "]S0"},
      {"interleaved 2 of 5", InterleavedTwoOfFivePixels("12345670", 3, 9), "2/5i", "12345670",
       "12345670", "]I0"},
  };
  Reader wrapper;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Image page = MakeBlankImage(static_cast<int>(c.pixels.size()) + 120, 160, 240);
    DrawBars(page, c.pixels, 1, 60, 30, 100);
    const Pixels pixels = ConvertPixels(page, layouts[0]);
    // The command line prints the text alone, so it must not see the data.
    const Lines printed = CommandLineLines(page);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_TRUE(printed[0].ends_with(std::string(c.label) + '\t' + std::string(c.text) + '\r'));
    const auto barcodes = wrapper.ReadPixels(pixels.first, page.imageWidth, page.imageHeight,
                                             pixels.stride, STRIXA_GREY8);
    ASSERT_EQ(barcodes.size(), 1u);
    const Barcode b = barcodes[0];
    EXPECT_EQ(b.label, c.label);
    EXPECT_EQ(b.text, c.text);
    EXPECT_EQ(b.data, c.data);
    EXPECT_EQ(b.symbologyId, c.id);
    const strixa_barcode& raw = *std::span(barcodes.base()).data();
    EXPECT_EQ(raw.data[raw.data_length], '\0');
    EXPECT_EQ(std::strlen(raw.symbology_id), 3u);
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

TEST(ApiTest, ReadsABitmapFileAndItsBytesAsItsPixels) {
  Reader reader;
  const Image sample = LoadSample();
  const Lines expected =
      ToRead(reader.ReadPixels(sample.greyBytes, sample.imageWidth, sample.imageHeight,
                               sample.rowPitch, STRIXA_GREY8))
          .lines;
  ASSERT_FALSE(expected.empty());
  const std::vector<std::uint8_t> bytes = ReadBytes(samplePath);
  for (const bool inMemory : {false, true}) {
    SCOPED_TRACE(inMemory ? "bytes" : "file");
    const Barcodes barcodes = inMemory ? reader.ReadEncoded(std::as_bytes(std::span(bytes)))
                                       : reader.ReadFile(samplePath);
    EXPECT_EQ(ToRead(barcodes).lines, expected);
    for (const Barcode b : barcodes) {
      EXPECT_EQ(b.page, 1);
    }
  }
}

TEST(ApiTest, ReaderOptionsRefuseValuesOutOfRange) {
  strixa_reader* reader = nullptr;
  ASSERT_EQ(strixa_reader_create(nullptr, &reader), STRIXA_OK);
  const struct {
    std::string_view name;
    strixa_status status, expected;
  } cases[] = {
      {"pages from 1, all", strixa_reader_set_pages(reader, 1, 0), STRIXA_OK},
      {"pages 3 to 4", strixa_reader_set_pages(reader, 3, 2), STRIXA_OK},
      {"first page 0", strixa_reader_set_pages(reader, 0, 1), STRIXA_ERROR_ARGUMENT},
      {"negative count", strixa_reader_set_pages(reader, 1, -1), STRIXA_ERROR_ARGUMENT},
      {"pages without a reader", strixa_reader_set_pages(nullptr, 1, 0), STRIXA_ERROR_ARGUMENT},
      {"lowest dpi", strixa_reader_set_pdf_dpi(reader, 10), STRIXA_OK},
      {"highest dpi", strixa_reader_set_pdf_dpi(reader, 2400), STRIXA_OK},
      {"dpi below", strixa_reader_set_pdf_dpi(reader, 9), STRIXA_ERROR_ARGUMENT},
      {"dpi above", strixa_reader_set_pdf_dpi(reader, 2401), STRIXA_ERROR_ARGUMENT},
      {"dpi without a reader", strixa_reader_set_pdf_dpi(nullptr, 300), STRIXA_ERROR_ARGUMENT},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.status, c.expected);
  }
  EXPECT_STREQ(strixa_reader_error(reader), "a PDF resolution of 2401 dpi: it must be 10 to 2400");
  strixa_reader_destroy(reader);
}

TEST(ApiTest, SaysWhichFormatsItReads) {
  EXPECT_EQ(strixa_reads_format("bmp"), 1);
  for (const char* name : std::initializer_list<const char*>{"BMP", "gif", "", nullptr}) {
    SCOPED_TRACE(name == nullptr ? "null" : name);
    EXPECT_EQ(strixa_reads_format(name), 0);
  }
}

// A folder of its own for one test's files, removed after it.
struct TempFolder {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      ("strixa-api-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  TempFolder() { std::filesystem::create_directories(path); }
  ~TempFolder() { std::filesystem::remove_all(path); }
  std::string File(const std::string& name) const { return (path / name).string(); }
};

// The library's read of a file or of its bytes: the lines as /P prints them, each with its page
// in front, and the status.
struct FileRead {
  strixa_status status = STRIXA_OK;
  Lines lines;
  std::string error;
};

FileRead ReadFileOrBytes(strixa_reader* reader, const std::string& path, bool inMemory) {
  const strixa_barcode* barcodes = nullptr;
  size_t count = 0;
  FileRead read;
  if (inMemory) {
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    read.status = strixa_read_encoded(reader, bytes.data(), bytes.size(), &barcodes, &count);
  } else {
    read.status = strixa_read_file(reader, path.c_str(), &barcodes, &count);
  }
  read.error = strixa_reader_error(reader);
  const Lines lines = ToRead(std::span(barcodes, count)).lines;
  for (std::size_t i = 0; i < count; ++i) {
    read.lines.push_back(std::to_string(barcodes[i].page) + ": " + lines[i]);
  }
  return read;
}

// Lines of one page's read as ReadFileOrBytes gives them.
Lines OnPage(int page, const Lines& lines) {
  Lines paged;
  for (const std::string& line : lines) {
    paged.push_back(std::to_string(page) + ": " + line);
  }
  return paged;
}

// What strixa_read_pixels finds in the pixels a file decodes to (every page of it, in order):
// each format's reading through the library must come to the same.
Lines PixelReadOf(const std::vector<std::uint8_t>& bytes, int dpi) {
  DecodeLimits limits;
  limits.dpi = dpi;
  Reader reader;
  Lines lines;
  std::string error;
  const Format format = SniffFormat(bytes);
  const auto readPage = [&](const PageView& view) {
    const strixa_pixel_format pixelFormat = view.layout == PixelLayout::Grey8   ? STRIXA_GREY8
                                            : view.layout == PixelLayout::Rgb24 ? STRIXA_RGB24
                                                                                : STRIXA_RGBA32;
    const Lines page =
        ToRead(reader.ReadPixels(view.pixels, view.width, view.height, view.stride, pixelFormat))
            .lines;
    const Lines paged = OnPage(view.number, page);
    lines.insert(lines.end(), paged.begin(), paged.end());
  };
  if (format == Format::Bmp) {
    Image image;
    EXPECT_EQ(DecodeBmp(bytes, image), BmpRefusal::None);
    readPage(
        {image.greyBytes, image.imageWidth, image.imageHeight, image.rowPitch, PixelLayout::Grey8});
    FreePixelBuffer(image);
  } else {
    EXPECT_TRUE(DecodePages(format, bytes, limits, readPage, error)) << error;
  }
  return lines;
}

// Each format writes the drawn page; reading the file, or its bytes, finds what reading the
// pixels it decodes to finds. PDF pages are drawn at 72 dpi, a point a pixel, as written.
TEST(ApiTest, ReadsEveryBuiltFormatAsThePixelsItHolds) {
  const TempFolder folder;
  const GreyPicture page = GreyOf(DrawnPage());
  const struct {
    std::string_view name, format, file;
    std::function<bool(const std::string&)> write;
  } cases[] = {
      {"BMP", "bmp", "page.bmp",
       [&](const std::string& path) { return WriteFile(path, MakeBmp(DrawnPage())); }},
      {"PGM", "pnm", "page.pgm",
       [&](const std::string& path) { return WriteFile(path, MakePgm(page)); }},
      {"grey PNG", "png", "page.png",
       [&](const std::string& path) { return WritePng(path, page, false); }},
      {"colour PNG", "png", "colour.png",
       [&](const std::string& path) { return WritePng(path, page, true); }},
      {"colour JPEG", "jpeg", "page.jpg",
       [&](const std::string& path) { return WriteJpeg(path, page, true, 95); }},
      {"progressive JPEG", "jpeg", "progressive.jpg",
       [&](const std::string& path) { return WriteJpeg(path, page, false, 90, true); }},
      {"grey TIFF", "tiff", "page.tif",
       [&](const std::string& path) { return WriteTiff(path, {page}, false); }},
      {"colour TIFF", "tiff", "colour.tif",
       [&](const std::string& path) { return WriteTiff(path, {page}, true); }},
      {"WebP", "webp", "page.webp", [&](const std::string& path) { return WriteWebp(path, page); }},
      {"PDF", "pdf", "page.pdf",
       [&](const std::string& path) { return WriteFile(path, MakePdf({page})); }},
  };
  strixa_reader* reader = nullptr;
  ASSERT_EQ(strixa_reader_create(nullptr, &reader), STRIXA_OK);
  ASSERT_EQ(strixa_reader_set_pdf_dpi(reader, 72), STRIXA_OK);
  const Lines drawn = OnPage(1, CommandLineLines(DrawnPage()));
  ASSERT_EQ(drawn.size(), 7u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (strixa_reads_format(std::string(c.format).c_str()) == 0) {
      GTEST_LOG_(INFO) << c.name << " not built in";
      continue;
    }
    const std::string path = folder.File(std::string(c.file));
    ASSERT_TRUE(c.write(path));
    std::vector<FileRead> reads;
    for (const bool inMemory : {false, true}) {
      reads.push_back(ReadFileOrBytes(reader, path, inMemory));
    }
    // This program holds two copies of the decoders, the shared library's and its own, and the
    // PDF renderer keeps one error callback for the process: the one of the copy that set it up
    // last. The format tests count errors with this program's copy, so it sets up last.
    const Lines expected = PixelReadOf(ReadBytes(path), 72);
    // Every format keeps the symbols readable: the pixels are read as the command line reads the
    // drawing.
    EXPECT_EQ(expected.size(), drawn.size());
    for (const FileRead& read : reads) {
      SCOPED_TRACE(&read == &reads[0] ? "file" : "bytes");
      EXPECT_EQ(read.status, STRIXA_OK) << read.error;
      EXPECT_EQ(read.lines, expected);
    }
  }
  strixa_reader_destroy(reader);
}

// Two pages with a symbol, a blank one between: each barcode says its page, and the pages option
// chooses which are read.
TEST(ApiTest, MultiPageFilesGiveEachBarcodeItsPageWithinThePagesChosen) {
  const TempFolder folder;
  const auto symbolPage = [](const std::string& modules) {
    Image page = MakeBlankImage(400, 160, 240);
    DrawBars(page, modules, 1, 60, 30, 100);
    return GreyOf(page);
  };
  const std::vector<GreyPicture> pages = {symbolPage(Widen(EncodeEan13("5901234123457"), 2)),
                                          GreyOf(MakeBlankImage(300, 160, 240)),
                                          symbolPage(Code39Pixels("*PAGE-3*", 2, 5, 2))};
  const struct {
    std::string_view format, file;
  } files[] = {{"tiff", "pages.tif"}, {"pdf", "pages.pdf"}};
  const struct {
    int first, count;
    std::vector<std::string> expected;  // page: label
  } cases[] = {
      {1, 0, {"1: EAN13", "3: CODE39"}},
      {2, 0, {"3: CODE39"}},
      {1, 2, {"1: EAN13"}},
      {3, 1, {"3: CODE39"}},
      {2, INT_MAX, {"3: CODE39"}},
      {2, 1, {}},
      {4, 0, {}},
  };
  Reader reader;
  reader.SetPdfDpi(72);
  for (const auto& f : files) {
    SCOPED_TRACE(f.format);
    if (!SupportsFormat(std::string(f.format))) {
      GTEST_LOG_(INFO) << f.format << " not built in";
      continue;
    }
    const std::string path = folder.File(std::string(f.file));
    ASSERT_TRUE(f.format == "tiff" ? WriteTiff(path, pages, false)
                                   : WriteFile(path, MakePdf(pages)));
    for (const auto& c : cases) {
      SCOPED_TRACE(std::to_string(c.first) + ", " + std::to_string(c.count));
      reader.SetPages(c.first, c.count);
      std::vector<std::string> got;
      for (const Barcode b : reader.ReadFile(path)) {
        got.push_back(std::to_string(b.page) + ": " + std::string(b.label));
      }
      EXPECT_EQ(got, c.expected);
    }
  }
}

// A page past the size limit after a page with a barcode: the limit's status and message, and
// the first page's barcode still handed out.
TEST(ApiTest, AFailureOnALaterPageKeepsTheBarcodesOfThePagesBefore) {
  const TempFolder folder;
  Image first = MakeBlankImage(320, 160, 240);
  DrawBars(first, Widen(EncodeEan13("5901234123457"), 2), 1, 60, 30, 100);
  const std::vector<GreyPicture> pages = {
      GreyOf(first), GreyPicture{32768, 1, std::vector<std::uint8_t>(32768, 255)}};
  const struct {
    std::string_view format, file, error;
  } files[] = {
      {"tiff", "long.tif", "picture too large (32768 x 1) (page 2)"},
      {"pdf", "long.pdf", "PDF: picture too large (32768 x 1) (page 2)"},
  };
  strixa_reader* reader = nullptr;
  ASSERT_EQ(strixa_reader_create(nullptr, &reader), STRIXA_OK);
  ASSERT_EQ(strixa_reader_set_pdf_dpi(reader, 72), STRIXA_OK);
  for (const auto& f : files) {
    SCOPED_TRACE(f.format);
    if (strixa_reads_format(std::string(f.format).c_str()) == 0) {
      continue;
    }
    const std::string path = folder.File(std::string(f.file));
    ASSERT_TRUE(f.format == "tiff" ? WriteTiff(path, pages, false)
                                   : WriteFile(path, MakePdf(pages)));
    for (const bool inMemory : {false, true}) {
      SCOPED_TRACE(inMemory ? "bytes" : "file");
      const FileRead read = ReadFileOrBytes(reader, path, inMemory);
      EXPECT_EQ(read.status, STRIXA_ERROR_LIMIT);
      EXPECT_EQ(read.error, f.error);
      ASSERT_EQ(read.lines.size(), 1u);
      EXPECT_TRUE(read.lines[0].starts_with("1: ") &&
                  read.lines[0].find("EAN13") != std::string::npos)
          << read.lines[0];
    }
  }
  strixa_reader_destroy(reader);
}

// Each kind of bad input: its status, its message, and no barcodes.
TEST(ApiTest, RefusesBadFilesWithTheirStatusAndMessage) {
  const TempFolder folder;
  std::vector<std::uint8_t> sample = ReadBytes(samplePath);
  const GreyPicture small{40, 30, std::vector<std::uint8_t>(1200, 200)};
  std::vector<std::uint8_t> cutPgm = MakePgm(small);
  cutPgm.resize(cutPgm.size() - 100);
  sample.resize(sample.size() / 2);
  const std::string hugePgm = "P5\n40000 20\n255\n";
  const std::string tallPgm = "P5\n20000 20000\n255\n";
  const struct {
    std::string_view name;
    std::string file;  // "" for none
    std::vector<std::uint8_t> bytes;
    strixa_status status;
    std::string_view error;
  } cases[] = {
      {"missing file", "", {}, STRIXA_ERROR_FILE, "cannot open as a regular file"},
      {"empty file", "empty.png", {}, STRIXA_ERROR_FORMAT, "the file is empty"},
      {"bitmap cut short", "cut.bmp", sample, STRIXA_ERROR_FORMAT,
       "not a bitmap this library reads"},
      {"PGM cut short", "cut.pgm", cutPgm, STRIXA_ERROR_FORMAT,
       "PNM: file ends inside the picture"},
      {"unknown bytes",
       "picture.gif",
       {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0},
       STRIXA_ERROR_FORMAT,
       "not a picture format this library reads"},
      {"a side past the limit",
       "wide.pgm",
       {hugePgm.begin(), hugePgm.end()},
       STRIXA_ERROR_LIMIT,
       "picture too large (40000 x 20)"},
      {"pixels past the limit",
       "big.pgm",
       {tallPgm.begin(), tallPgm.end()},
       STRIXA_ERROR_LIMIT,
       "picture too large (20000 x 20000)"},
  };
  strixa_reader* reader = nullptr;
  ASSERT_EQ(strixa_reader_create(nullptr, &reader), STRIXA_OK);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.File(c.file.empty() ? "missing.png" : c.file);
    if (!c.file.empty()) {
      ASSERT_TRUE(WriteFile(path, c.bytes));
    }
    for (const bool inMemory : {false, true}) {
      if (inMemory && c.file.empty()) {
        continue;
      }
      SCOPED_TRACE(inMemory ? "bytes" : "file");
      // A success first, so stale results would show.
      const strixa_barcode* barcodes = nullptr;
      size_t count = 0;
      ASSERT_EQ(strixa_read_file(reader, samplePath.c_str(), &barcodes, &count), STRIXA_OK);
      const FileRead read = ReadFileOrBytes(reader, path, inMemory);
      EXPECT_EQ(read.status, c.status);
      EXPECT_EQ(read.error, c.error);
      EXPECT_TRUE(read.lines.empty());
    }
  }
  // A format left out of this build is named; the names agree with the decoders built.
  const struct {
    const char* name;
    Format format;
    std::vector<std::uint8_t> head;
    std::string_view error;
  } formats[] = {
      {"png",
       Format::Png,
       {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0},
       "a PNG file, but this build reads no PNG"},
      {"jpeg",
       Format::Jpeg,
       {0xff, 0xd8, 0xff, 0xe0, 0},
       "a JPEG file, but this build reads no JPEG"},
      {"tiff", Format::Tiff, {'I', 'I', 42, 0, 8, 0}, "a TIFF file, but this build reads no TIFF"},
      {"webp",
       Format::Webp,
       {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'},
       "a WebP file, but this build reads no WebP"},
      {"pdf",
       Format::Pdf,
       {'%', 'P', 'D', 'F', '-', '1', '.', '4', '\n'},
       "a PDF file, but this build reads no PDF"},
  };
  for (const auto& f : formats) {
    SCOPED_TRACE(f.name);
    EXPECT_EQ(strixa_reads_format(f.name), IsFormatBuilt(f.format) ? 1 : 0);
    if (IsFormatBuilt(f.format)) {
      continue;
    }
    const strixa_barcode* barcodes = nullptr;
    size_t count = 0;
    EXPECT_EQ(strixa_read_encoded(reader, f.head.data(), f.head.size(), &barcodes, &count),
              STRIXA_ERROR_FORMAT);
    EXPECT_EQ(std::string(strixa_reader_error(reader)), f.error);
  }
  EXPECT_EQ(strixa_reads_format("bmp"), 1);
  EXPECT_EQ(strixa_reads_format("pnm"), 1);
  strixa_reader_destroy(reader);
}

// An EAN-13 drawn upright, its bars from column 60 to 249 (left edges 59 to 249 between
// pixels) and rows 40 to 139, then the page turned a quarter at a time. The corners are the
// rectangle's, in the order each orientation names, clockwise; the first lies at the first bar's
// start (nearer it than the last bar's end, as the rectangle holds a margin), and the angle is
// the turn.
TEST(ApiTest, CornersAndAngleFollowTheReadingDirection) {
  Image upright = MakeBlankImage(400, 200, 240);
  DrawBars(upright, Widen(EncodeEan13("5901234123457"), 2), 1, 60, 40, 100);
  enum Corner { TopLeft, TopRight, BottomRight, BottomLeft };
  const struct {
    int quarterTurns;
    strixa_orientation orientation;
    float angle;
    std::array<Corner, 4> corners;
    strixa_point firstBar, lastBar;  // top (as read) of the first bar's start, the last's end
  } cases[] = {
      {0, STRIXA_UPRIGHT, 0, {TopLeft, TopRight, BottomRight, BottomLeft}, {59, 39}, {249, 39}},
      {1, STRIXA_FLAT, 90, {TopRight, BottomRight, BottomLeft, TopLeft}, {161, 59}, {161, 249}},
      {2,
       STRIXA_UPRIGHT_REVERSED,
       180,
       {BottomRight, BottomLeft, TopLeft, TopRight},
       {341, 161},
       {151, 161}},
      {3,
       STRIXA_FLAT_REVERSED,
       270,
       {BottomLeft, TopLeft, TopRight, BottomRight},
       {39, 341},
       {39, 151}},
  };
  const auto distance = [](strixa_point a, strixa_point b) {
    return std::hypot(a.x - b.x, a.y - b.y);
  };
  Reader reader;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.quarterTurns);
    const Image page = RotateImage(upright, c.quarterTurns);
    const Pixels pixels = ConvertPixels(page, layouts[0]);
    const auto barcodes = reader.ReadPixels(pixels.first, page.imageWidth, page.imageHeight,
                                            pixels.stride, STRIXA_GREY8);
    ASSERT_EQ(barcodes.size(), 1u);
    const Barcode b = barcodes[0];
    EXPECT_EQ(b.orientation, c.orientation);
    EXPECT_EQ(b.angle, c.angle);
    // The rectangle's pixel box, from its 1-based columns and rows.
    const float left = static_cast<float>(b.x - 1), top = static_cast<float>(b.y - 1);
    const float right = left + static_cast<float>(b.width);
    const float bottom = top + static_cast<float>(b.height);
    const std::array<strixa_point, 4> box = {
        {{left, top}, {right, top}, {right, bottom}, {left, bottom}}};
    for (std::size_t i = 0; i < 4; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(b.corners[i].x, box[c.corners[i]].x);
      EXPECT_EQ(b.corners[i].y, box[c.corners[i]].y);
    }
    EXPECT_LT(distance(b.corners[0], c.firstBar), distance(b.corners[0], c.lastBar));
    EXPECT_LT(distance(b.corners[1], c.lastBar), distance(b.corners[1], c.firstBar));
  }
}

}  // namespace

}  // namespace strixa
