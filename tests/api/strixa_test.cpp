// The library against the command line: the same lines for the same picture, in every pixel
// layout, plus its failures and two readers at once.
#include "strixa/strixa.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
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

extern "C" int ReadFirstBarcodeFromC(const char* path, char* line, size_t size);

namespace strixa {

namespace {

using Lines = std::vector<std::string>;

const std::string samplePath = STRIXA_SOURCE_DIR "/samples/sample.bmp";

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the tool prints under /P for the bitmap, extra switches first.
Lines CommandLineLines(const std::vector<std::uint8_t>& bmp, Lines switches = {}) {
  FakePlatform platform;
  platform.files["picture.bmp"] = bmp;
  platform.arguments = std::move(switches);
  platform.arguments.push_back("/P");
  platform.arguments.push_back("picture.bmp");
  RunProgram(platform);
  return platform.lines;
}

// The library's results printed the way /P prints a result.
Lines PositionLines(const strixa_barcode* barcodes, size_t count) {
  Lines lines;
  for (size_t i = 0; i < count; ++i) {
    const strixa_barcode& b = barcodes[i];
    lines.push_back(std::to_string(b.x) + '\t' + std::to_string(b.y) + '\t' +
                    std::to_string(b.width) + '\t' + std::to_string(b.height) + '\t' + b.label +
                    '\t' + b.text + '\r');
  }
  return lines;
}

Image LoadSample() {
  Image image;
  const std::vector<std::uint8_t> bytes = ReadBytes(samplePath);
  EXPECT_TRUE(DecodeBmp(bytes, image));
  return image;
}

// Several symbols of different kinds, one lying flat and one upside down.
Image DrawnPage() {
  Image page = MakeBlankImage(900, 760, 240);
  DrawBars(page, Widen(EncodeEan13("5901234123457"), 2), 1, 40, 30, 90);
  DrawBars(page, Widen(EncodeCode128({104, 33, 34, 99, 12, 34, 56}), 2), 1, 420, 40, 90);
  DrawBars(page, Code39Pixels("*STRIXA*", 2, 5, 2), 1, 40, 260, 80);
  DrawBars(page, InterleavedTwoOfFivePixels("12345670", 3, 9), 1, 420, 300, 90);
  DrawBars(page, Widen(EncodeEan8("24680134"), 3), 1, 650, 420, 200, true);
  Image turned = MakeBlankImage(400, 220, 240);
  DrawBars(turned, Widen(EncodeEan13("0012345678905"), 2), 1, 60, 50, 110);
  turned = RotateImage(turned, 2);
  for (int y = 1; y <= turned.imageHeight; ++y) {
    std::memcpy(&page.pixelBuffer[(static_cast<std::size_t>(520 + y) - 1) * page.rowPitch + 4 * 20],
                &turned.pixelBuffer[(static_cast<std::size_t>(y) - 1) * turned.rowPitch],
                static_cast<std::size_t>(turned.rowPitch));
  }
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

// The picture's pixels in the layout, each row padded by 7 bytes (and stored bottom row first
// when bottomUp, giving a negative stride). Every byte but the green one holds its inverse, so
// reading the wrong byte changes what is found.
struct Pixels {
  std::vector<std::uint8_t> bytes;
  const void* first = nullptr;
  std::ptrdiff_t stride = 0;
};

Pixels ConvertPixels(const Image& image, const Layout& layout, bool bottomUp = false) {
  Pixels pixels;
  const std::ptrdiff_t rowBytes =
      static_cast<std::ptrdiff_t>(image.imageWidth) * layout.bytesPerPixel + 7;
  pixels.bytes.assign(static_cast<std::size_t>(rowBytes) * image.imageHeight, 0x5A);
  for (int y = 0; y < image.imageHeight; ++y) {
    const int storedRow = bottomUp ? image.imageHeight - 1 - y : y;
    std::uint8_t* row = &pixels.bytes[static_cast<std::size_t>(storedRow * rowBytes)];
    for (int x = 0; x < image.imageWidth; ++x) {
      const std::uint8_t green = image.greyBytes[y * image.rowPitch + x * image.pixelStep];
      std::memset(row + x * layout.bytesPerPixel, 255 - green,
                  static_cast<std::size_t>(layout.bytesPerPixel));
      row[x * layout.bytesPerPixel + layout.greyOffset] = green;
    }
  }
  pixels.stride = bottomUp ? -rowBytes : rowBytes;
  pixels.first = &pixels.bytes[bottomUp ? pixels.bytes.size() - rowBytes : 0];
  return pixels;
}

class ApiTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(strixa_reader_create(nullptr, &reader), STRIXA_OK); }
  void TearDown() override { strixa_reader_destroy(reader); }

  Lines ReadPixels(const Pixels& pixels, int width, int height, strixa_pixel_format format) {
    const strixa_barcode* barcodes = nullptr;
    size_t count = 0;
    EXPECT_EQ(strixa_read_pixels(reader, pixels.first, width, height, pixels.stride, format,
                                 &barcodes, &count),
              STRIXA_OK)
        << strixa_reader_error(reader);
    return PositionLines(barcodes, count);
  }

  strixa_reader* reader = nullptr;
};

TEST_F(ApiTest, ReadsEveryPixelLayoutAsTheCommandLine) {
  const struct {
    std::string_view name;
    Image image;
  } pictures[] = {{"sample", LoadSample()}, {"drawn page", DrawnPage()}};
  for (const auto& picture : pictures) {
    const Lines expected = CommandLineLines(MakeBmp(picture.image));
    ASSERT_GE(expected.size(), 3u) << picture.name;
    for (const Layout& layout : layouts) {
      for (bool bottomUp : {false, true}) {
        SCOPED_TRACE(std::string(picture.name) + " format " + std::to_string(layout.format) +
                     (bottomUp ? " bottom up" : ""));
        const Pixels pixels = ConvertPixels(picture.image, layout, bottomUp);
        EXPECT_EQ(
            ReadPixels(pixels, picture.image.imageWidth, picture.image.imageHeight, layout.format),
            expected);
      }
    }
  }
}

TEST_F(ApiTest, ReadsABitmapFileAsTheCommandLine) {
  const Lines expected = CommandLineLines(ReadBytes(samplePath));
  const strixa_barcode* barcodes = nullptr;
  size_t count = 0;
  ASSERT_EQ(strixa_read_bmp_file(reader, samplePath.c_str(), &barcodes, &count), STRIXA_OK)
      << strixa_reader_error(reader);
  EXPECT_EQ(PositionLines(barcodes, count), expected);
  EXPECT_STREQ(strixa_reader_error(reader), "");
}

TEST_F(ApiTest, FineScanMatchesTheFineCommandLine) {
  strixa_options options = strixa_default_options();
  options.fine = 1;
  strixa_reader* fine = nullptr;
  ASSERT_EQ(strixa_reader_create(&options, &fine), STRIXA_OK);
  // A short symbol only the denser lines cross.
  Image picture = MakeBlankImage(500, 200);
  DrawBars(picture, Widen(EncodeEan13("5901234123457"), 3), 1, 60, 80, 30);
  const Lines normal = CommandLineLines(MakeBmp(picture));
  const Lines expected = CommandLineLines(MakeBmp(picture), {"/F"});
  ASSERT_NE(normal, expected);
  const Pixels pixels = ConvertPixels(picture, layouts[0]);
  const strixa_barcode* barcodes = nullptr;
  size_t count = 0;
  ASSERT_EQ(strixa_read_pixels(fine, pixels.first, 500, 200, pixels.stride, STRIXA_GREY8, &barcodes,
                               &count),
            STRIXA_OK);
  EXPECT_EQ(PositionLines(barcodes, count), expected);
  EXPECT_EQ(ReadPixels(pixels, 500, 200, STRIXA_GREY8), normal);
  strixa_reader_destroy(fine);
}

TEST_F(ApiTest, NamesEachLabelAndOrientation) {
  const std::string upcA = Widen(EncodeEan13("0012345678905"), 2);
  const strixa_orientation byTurns[] = {STRIXA_UPRIGHT, STRIXA_FLAT, STRIXA_UPRIGHT_REVERSED,
                                        STRIXA_FLAT_REVERSED};
  Image upright = MakeBlankImage(static_cast<int>(upcA.size()) + 120, 220);
  DrawBars(upright, upcA, 1, 60, 50, 110);
  for (int turns = 0; turns < 4; ++turns) {
    SCOPED_TRACE("turned " + std::to_string(90 * turns));
    const Image picture = RotateImage(upright, turns);
    const Pixels pixels = ConvertPixels(picture, layouts[3]);
    const strixa_barcode* barcodes = nullptr;
    size_t count = 0;
    ASSERT_EQ(strixa_read_pixels(reader, pixels.first, picture.imageWidth, picture.imageHeight,
                                 pixels.stride, STRIXA_BGRA32, &barcodes, &count),
              STRIXA_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(barcodes[0].symbology, STRIXA_UPCA);
    EXPECT_STREQ(barcodes[0].label, "UPC-A");
    EXPECT_STREQ(barcodes[0].text, "012345 678905");
    EXPECT_EQ(barcodes[0].orientation, byTurns[turns]);
  }
}

TEST(ApiFilterTest, ReportsOnlyTheChosenSymbologies) {
  const Lines all = CommandLineLines(ReadBytes(samplePath));
  const struct {
    unsigned symbologies;
    std::vector<std::string_view> labels;
  } cases[] = {
      {STRIXA_EAN13 | STRIXA_CODE39, {"EAN13", "CODE39"}},
      {STRIXA_CODE128 | STRIXA_INTERLEAVED_TWO_OF_FIVE, {"CODE128", "2/5i"}},
      {0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.symbologies);
    Lines expected;
    for (const std::string& line : all) {
      const std::string_view label = std::string_view(line).substr(0, line.rfind('\t'));
      const std::string_view name = label.substr(label.rfind('\t') + 1);
      if (std::find(c.labels.begin(), c.labels.end(), name) != c.labels.end()) {
        expected.push_back(line);
      }
    }
    strixa_options options = strixa_default_options();
    options.symbologies = c.symbologies;
    strixa_reader* reader = nullptr;
    ASSERT_EQ(strixa_reader_create(&options, &reader), STRIXA_OK);
    const strixa_barcode* barcodes = nullptr;
    size_t count = 0;
    EXPECT_EQ(strixa_read_bmp_file(reader, samplePath.c_str(), &barcodes, &count), STRIXA_OK);
    EXPECT_EQ(PositionLines(barcodes, count), expected);
    strixa_reader_destroy(reader);
  }
}

TEST_F(ApiTest, RefusesBadArgumentsAndFilesWithAMessage) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("strixa-api-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(folder);
  const std::string textFile = (folder / "notes.bmp").string();
  std::ofstream(textFile) << "BM but only words\n";
  const std::string emptyFile = (folder / "empty.bmp").string();
  std::ofstream{emptyFile};
  const std::string missing = (folder / "missing.bmp").string();
  const std::string folderPath = folder.string();

  const std::uint8_t pixels[64] = {};
  const strixa_barcode* barcodes = nullptr;
  size_t count = 0;
  const struct {
    std::string_view name;
    strixa_status expected;
    strixa_status status;
  } cases[] = {
      {"null pixels", STRIXA_ERROR_ARGUMENT,
       strixa_read_pixels(reader, nullptr, 4, 4, 4, STRIXA_GREY8, &barcodes, &count)},
      {"unknown format", STRIXA_ERROR_ARGUMENT,
       strixa_read_pixels(reader, pixels, 4, 4, 16, static_cast<strixa_pixel_format>(9), &barcodes,
                          &count)},
      {"width 0", STRIXA_ERROR_ARGUMENT,
       strixa_read_pixels(reader, pixels, 0, 4, 4, STRIXA_GREY8, &barcodes, &count)},
      {"height too large", STRIXA_ERROR_ARGUMENT,
       strixa_read_pixels(reader, pixels, 4, 40000, 4, STRIXA_GREY8, &barcodes, &count)},
      {"stride shorter than a row", STRIXA_ERROR_ARGUMENT,
       strixa_read_pixels(reader, pixels, 4, 4, 11, STRIXA_BGR24, &barcodes, &count)},
      {"null count", STRIXA_ERROR_ARGUMENT,
       strixa_read_pixels(reader, pixels, 4, 4, 4, STRIXA_GREY8, &barcodes, nullptr)},
      {"null path", STRIXA_ERROR_ARGUMENT,
       strixa_read_bmp_file(reader, nullptr, &barcodes, &count)},
      {"missing file", STRIXA_ERROR_FILE,
       strixa_read_bmp_file(reader, missing.c_str(), &barcodes, &count)},
      {"folder", STRIXA_ERROR_FILE,
       strixa_read_bmp_file(reader, folderPath.c_str(), &barcodes, &count)},
      {"text file", STRIXA_ERROR_FORMAT,
       strixa_read_bmp_file(reader, textFile.c_str(), &barcodes, &count)},
      {"empty file", STRIXA_ERROR_FORMAT,
       strixa_read_bmp_file(reader, emptyFile.c_str(), &barcodes, &count)},
  };
  std::filesystem::remove_all(folder);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.status, c.expected);
  }
  // Each case left its message; the last one names the file.
  EXPECT_NE(std::string(strixa_reader_error(reader)).find("empty.bmp"), std::string::npos);

  // A failure after a success leaves no results behind.
  ASSERT_EQ(strixa_read_bmp_file(reader, samplePath.c_str(), &barcodes, &count), STRIXA_OK);
  ASSERT_GT(count, 0u);
  EXPECT_EQ(strixa_read_bmp_file(reader, missing.c_str(), &barcodes, &count), STRIXA_ERROR_FILE);
  EXPECT_EQ(barcodes, nullptr);
  EXPECT_EQ(count, 0u);

  EXPECT_EQ(strixa_read_bmp_file(nullptr, samplePath.c_str(), &barcodes, &count),
            STRIXA_ERROR_ARGUMENT);
  strixa_reader* other = nullptr;
  strixa_options options = strixa_default_options();
  options.symbologies = 0x100;
  EXPECT_EQ(strixa_reader_create(&options, &other), STRIXA_ERROR_ARGUMENT);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(strixa_reader_create(nullptr, nullptr), STRIXA_ERROR_ARGUMENT);
}

TEST(ApiThreadTest, TwoReadersOnTwoThreadsReadAsOne) {
  const Image pictures[] = {LoadSample(), DrawnPage()};
  Lines expected[2];
  std::vector<Pixels> pixels;
  for (int i = 0; i < 2; ++i) {
    expected[i] = CommandLineLines(MakeBmp(pictures[i]));
    pixels.push_back(ConvertPixels(pictures[i], layouts[1]));
  }
  Lines got[2][3];
  auto readRepeatedly = [&](int i) {
    strixa_reader* reader = nullptr;
    if (strixa_reader_create(nullptr, &reader) != STRIXA_OK) {
      return;
    }
    for (Lines& lines : got[i]) {
      const strixa_barcode* barcodes = nullptr;
      size_t count = 0;
      strixa_read_pixels(reader, pixels[i].first, pictures[i].imageWidth, pictures[i].imageHeight,
                         pixels[i].stride, STRIXA_BGR24, &barcodes, &count);
      lines = PositionLines(barcodes, count);
    }
    strixa_reader_destroy(reader);
  };
  std::thread first(readRepeatedly, 0);
  std::thread second(readRepeatedly, 1);
  first.join();
  second.join();
  for (int i = 0; i < 2; ++i) {
    for (const Lines& lines : got[i]) {
      EXPECT_EQ(lines, expected[i]);
    }
  }
}

TEST(ApiWrapperTest, GivesTheCResultsAndThrowsTheReadersMessage) {
  Reader reader;
  Lines lines;
  for (const Barcode& b : reader.ReadBmpFile(samplePath)) {
    lines.push_back(std::to_string(b.x) + '\t' + std::to_string(b.y) + '\t' +
                    std::to_string(b.width) + '\t' + std::to_string(b.height) + '\t' +
                    std::string(b.label) + '\t' + std::string(b.text) + '\r');
  }
  EXPECT_EQ(lines, CommandLineLines(ReadBytes(samplePath)));
  try {
    reader.ReadBmpFile(samplePath + ".missing");
    ADD_FAILURE() << "no exception";
  } catch (const Error& e) {
    EXPECT_EQ(e.Status(), STRIXA_ERROR_FILE);
    EXPECT_NE(std::string(e.what()).find("sample.bmp.missing"), std::string::npos);
  }
}

TEST(ApiVersionTest, MacrosAndFunctionAgree) {
  const std::string fromParts = std::to_string(STRIXA_VERSION_MAJOR) + '.' +
                                std::to_string(STRIXA_VERSION_MINOR) + '.' +
                                std::to_string(STRIXA_VERSION_PATCH);
  EXPECT_EQ(fromParts, STRIXA_VERSION_STRING);
  EXPECT_STREQ(strixa_version(), STRIXA_VERSION_STRING);
}

TEST(ApiCTest, TheHeaderServesAPlainCProgram) {
  char line[128] = {};
  EXPECT_GT(ReadFirstBarcodeFromC(samplePath.c_str(), line, sizeof line), 0);
  const Lines expected = CommandLineLines(ReadBytes(samplePath));
  ASSERT_FALSE(expected.empty());
  // The C side writes "label<TAB>text"; /P puts four numbers ahead and a CR behind.
  std::string first = expected.front();
  for (int field = 0; field < 4; ++field) {
    first.erase(0, first.find('\t') + 1);
  }
  first.pop_back();
  EXPECT_EQ(line, first);
}

}  // namespace

}  // namespace strixa
