// SPDX-License-Identifier: Apache-2.0
#include "formats/format.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "formats/memoryBudget.h"
#include "support/batch/formatWriters.h"

namespace strixa {

namespace {

using namespace std::string_literals;

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(FormatTest, TellsFormatsByTheirFirstBytes) {
  const std::pair<std::string, Format> cases[] = {
      {"BM\x36\x00"s, Format::Bmp},
      {"\x89PNG\r\n\x1a\n"s, Format::Png},
      {"\xff\xd8\xff\xe0"s, Format::Jpeg},
      {"II*\0"s, Format::Tiff},
      {"MM\0*"s, Format::Tiff},
      {"P5\n"s, Format::Pnm},
      {"P1 "s, Format::Pnm},
      {"RIFF\0\0\0\0WEBPVP8 "s, Format::Webp},
      {"%PDF-1.7"s, Format::Pdf},
      {"junk before\n%PDF-1.4"s, Format::Pdf},
      {"P7\n"s, Format::Unknown},
      {"P5x"s, Format::Unknown},
      {"RIFF\0\0\0\0WAVE"s, Format::Unknown},
      {"\x89PNG"s, Format::Unknown},
      {"GIF89a"s, Format::Unknown},
      {""s, Format::Unknown},
  };
  for (const auto& [bytes, format] : cases) {
    SCOPED_TRACE(bytes);
    EXPECT_EQ(SniffFormat(Bytes(bytes)), format);
  }
}

// A small picture with every grey level, not square, so a swap of sides or rows shows.
GreyPicture Ramp() {
  GreyPicture picture{37, 11, {}};
  for (int i = 0; i < picture.width * picture.height; ++i) {
    picture.grey.push_back(static_cast<std::uint8_t>(i * 7 % 256));
  }
  return picture;
}

std::vector<std::uint8_t> ReadBack(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Every page of the file as grey (the green byte of colour pixels), or the error.
std::vector<GreyPicture> DecodeAll(const std::vector<std::uint8_t>& bytes, std::string& error,
                                   DecodeLimits limits = {}) {
  std::vector<GreyPicture> pages;
  DecodePages(
      SniffFormat(bytes), bytes, limits,
      [&](const PageView& view) {
        const int step = view.layout == PixelLayout::Grey8   ? 1
                         : view.layout == PixelLayout::Rgb24 ? 3
                                                             : 4;
        GreyPicture page{view.width, view.height, {}};
        for (int y = 0; y < view.height; ++y) {
          for (int x = 0; x < view.width; ++x) {
            page.grey.push_back(view.pixels[y * view.stride + x * step + (step > 1)]);
          }
        }
        pages.push_back(page);
      },
      error);
  return pages;
}

TEST(FormatTest, LosslessFormatsGiveBackEveryPixel) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("strixa-format-" + std::to_string(::getpid())))
          .string();
  const GreyPicture ramp = Ramp();
  GreyPicture second = ramp;
  std::reverse(second.grey.begin(), second.grey.end());
  struct Case {
    std::string_view name;
    bool written;
    std::vector<GreyPicture> pages;
  };
  const Case cases[] = {
      {"grey PNG", WritePng(path + ".g.png", ramp, false), {ramp}},
      {"colour PNG", WritePng(path + ".c.png", ramp, true), {ramp}},
      {"grey TIFF, two pages", WriteTiff(path + ".g.tif", {ramp, second}, false), {ramp, second}},
      {"colour TIFF", WriteTiff(path + ".c.tif", {ramp}, true), {ramp}},
      {"lossless WebP", WriteWebp(path + ".webp", ramp), {ramp}},
      {"PGM", WriteFile(path + ".pgm", MakePgm(ramp)), {ramp}},
  };
  const std::string files[] = {".g.png", ".c.png", ".g.tif", ".c.tif", ".webp", ".pgm"};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    if (!cases[i].written) {
      GTEST_LOG_(INFO) << cases[i].name << " not built in";
      continue;
    }
    std::string error;
    const std::vector<GreyPicture> pages = DecodeAll(ReadBack(path + files[i]), error);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(pages == cases[i].pages);
    std::filesystem::remove(path + files[i]);
  }
}

// The renderer may move a picture by less than a pixel, so a pixel lies between its own value and
// its left neighbour's: blocks four pixels wide show any larger shift or blur.
TEST(FormatTest, PdfPagesRenderAtTheirResolution) {
  if (!IsFormatBuilt(Format::Pdf)) {
    GTEST_SKIP() << "PDF not built in";
  }
  SilenceDecoderMessages();
  GreyPicture blocks{37, 11, {}};
  for (int i = 0; i < blocks.width * blocks.height; ++i) {
    blocks.grey.push_back(static_cast<std::uint8_t>(i % blocks.width / 4 * 40 % 256));
  }
  std::string error;
  DecodeLimits limits;
  limits.dpi = 72;
  const std::vector<GreyPicture> pages = DecodeAll(MakePdf({blocks, blocks}), error, limits);
  EXPECT_EQ(error, "");
  ASSERT_EQ(pages.size(), 2u);
  ASSERT_EQ(pages[1].width, blocks.width);
  ASSERT_EQ(pages[1].height, blocks.height);
  for (std::size_t i = 0; i < blocks.grey.size(); ++i) {
    const int own = blocks.grey[i];
    const int left = i % blocks.width == 0 ? own : blocks.grey[i - 1];
    EXPECT_GE(pages[1].grey[i], std::min(own, left) - 2) << i;
    EXPECT_LE(pages[1].grey[i], std::max(own, left) + 2) << i;
  }
  limits.dpi = 144;
  const std::vector<GreyPicture> doubled = DecodeAll(MakePdf({blocks}), error, limits);
  ASSERT_EQ(doubled.size(), 1u);
  EXPECT_EQ(doubled[0].width, 74);
  EXPECT_EQ(doubled[0].height, 22);
}

// A PDF of the given object bodies, numbered from 1 (1 the catalogue), with a true cross-reference
// table, so that each object is parsed where it lies.
std::string PdfOfObjects(const std::vector<std::string>& objects) {
  std::string out = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(out.size());
    out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t table = out.size();
  out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (const std::size_t offset : offsets) {
    const std::string number = std::to_string(offset);
    out += std::string(10 - number.size(), '0') + number + " 00000 n \n";
  }
  return out + "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(table) + "\n%%EOF\n";
}

std::string Repeat(std::string_view text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) {
    out += text;
  }
  return out;
}

struct DrawingCase {
  std::string_view name;
  std::string content;  // the page's, with forms /D (drawing a damaged form) and /N (busy)
  std::string error;    // "" = read
  bool costly;
};

// The count of errors stops a page damaged over and over well within the processor time its
// errors may take; a sanitized build, many times slower, on a busy machine may spend that first.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::string_view damagedOverAndOver = "PDF: damaged page (";
#else
constexpr std::string_view damagedOverAndOver =
    "PDF: damaged page (more than 16384 errors while drawing) (page 1)";
#endif

// Damage the renderer meets again on every use (a form whose dictionary never closes is parsed
// afresh, and reported, at each lookup) stops the page; a page with any damage, or much drawing,
// is marked not worth drawing again.
TEST(FormatTest, PdfDamagedOrBusyPagesStopOrAreMarkedCostly) {
  if (!IsFormatBuilt(Format::Pdf)) {
    GTEST_SKIP() << "PDF not built in";
  }
  const auto stream = [](const std::string& dictionary, const std::string& content) {
    return "<< " + dictionary + " /Length " + std::to_string(content.size()) + " >>\nstream\n" +
           content + "\nendstream";
  };
  const std::string form = "/Type /XObject /Subtype /Form /BBox [0 0 100 100]";
  const DrawingCase cases[] = {
      {"plain page", "0 0 50 50 re f", "", false},
      {"a few damaged draws", Repeat("/D Do ", 3), "", true},
      {"damage over and over", Repeat("/D Do ", 8000), std::string(damagedOverAndOver), false},
      {"busy page", Repeat("/N Do ", 600), "", true},
      {"too busy a page", Repeat("/N Do ", 6000), "PDF: too much drawing (page 1)", false},
  };
  SilenceDecoderMessages();
  for (const DrawingCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string bytes = PdfOfObjects({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Contents 4 0 R "
        "/Resources << /XObject << /D 5 0 R /N 7 0 R >> >> >>",
        stream("", c.content),
        stream(form + " /Resources << /XObject << /B 6 0 R >> >>", "/B Do"),
        "<< /Type /XObject /Subtype /Form /BBox [0 0 9 9 /Length 5 >>\nstream\n0 0 1 1 re f",
        stream(form, Repeat("n ", 1000)),
    });
    std::string error;
    std::vector<bool> costly;
    const bool read = DecodePages(
        Format::Pdf, Bytes(bytes), {}, [&](const PageView& page) { costly.push_back(page.costly); },
        error);
    EXPECT_EQ(read, c.error.empty());
    if (c.error.ends_with('(')) {
      EXPECT_TRUE(error.starts_with(c.error) && error.ends_with(") (page 1)")) << error;
    } else {
      EXPECT_EQ(error, c.error);
    }
    EXPECT_EQ(costly, c.error.empty() ? std::vector<bool>{c.costly} : std::vector<bool>{});
  }
}

struct HostileCase {
  std::string_view name;
  std::string bytes;
  std::string error;
};

TEST(FormatTest, RefusesDamagedAndOversizedFilesWithoutCrashing) {
  // A PNG header for 16000 x 16000 grey pixels followed by almost nothing.
  const std::string pngBomb =
      "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x3e\x80\0\0\x3e\x80\x08\0\0\0\0\x64\x15\x80\x02"s;
  const std::string pdfHuge =
      "%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj 2 0 obj<</Type/Pages/Kids[3 0 R]"
      "/Count 1>>endobj 3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 14400 14400]>>endobj\n"
      "trailer<</Root 1 0 R>>\n%%EOF\n";
  const HostileCase cases[] = {
      {"unknown", "GIF89a", "unknown format"},
      {"PNG bomb", pngBomb, "PNG: data too short for a picture of its size"},
      {"PNG cut short", "\x89PNG\r\n\x1a\n\0\0"s, "PNG: "},
      {"JPEG cut short", "\xff\xd8\xff\xe0\0\x10JFIF"s, "JPEG: "},
      {"TIFF with no directory", "II*\0\x08\0\0\0\0\0"s, "TIFF: "},
      {"WebP cut short", "RIFF\x10\0\0\0WEBPVP8 "s, "WebP: damaged header"},
      {"PDF without pages", "%PDF-1.4\n%%EOF\n", "PDF: damaged or unreadable document"},
      {"PDF page of 200 inches", pdfHuge, "PDF: picture too large (60000 x 60000) (page 1)"},
  };
  SilenceDecoderMessages();
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Format format = SniffFormat(Bytes(c.bytes));
    if (format != Format::Unknown && !IsFormatBuilt(format)) {
      continue;
    }
    std::string error;
    int pages = 0;
    EXPECT_FALSE(DecodePages(
        format, Bytes(c.bytes), {}, [&](const PageView&) { ++pages; }, error));
    EXPECT_EQ(pages, 0);
    EXPECT_EQ(error.substr(0, c.error.size()), c.error);
    EXPECT_GT(error.size(), 0u);
  }
}

std::string TempPath(const std::string& suffix) {
  return (std::filesystem::temp_directory_path() /
          ("strixa-format-" + std::to_string(::getpid()) + suffix))
      .string();
}

// The library tells a caller whether a limit stopped a file or the file is damaged, from the
// decoders' own texts: each limit, met for real, must read as one, and damage must not.
TEST(FormatTest, FailuresTellLimitsFromDamage) {
  const GreyPicture ramp = Ramp();
  const std::string tiffPath = TempPath(".limits.tif");
  const std::vector<std::uint8_t> tiff = WriteTiff(tiffPath, {ramp, ramp, ramp}, false)
                                             ? ReadBack(tiffPath)
                                             : std::vector<std::uint8_t>{};
  std::filesystem::remove(tiffPath);
  const std::vector<std::uint8_t> pdf = MakePdf({ramp, ramp, ramp});
  std::vector<std::uint8_t> cutPgm = MakePgm(ramp);
  cutPgm.resize(cutPgm.size() - 5);
  MemoryBudget tinyBudget(16);
  const struct {
    std::string_view name;
    const std::vector<std::uint8_t>& bytes;
    std::function<void(DecodeLimits&)> limit;
    DecodeFailure failure;
  } cases[] = {
      {"TIFF pages", tiff, [](DecodeLimits& l) { l.maxPages = 2; }, DecodeFailure::Limit},
      {"PDF pages", pdf, [](DecodeLimits& l) { l.maxPages = 2; }, DecodeFailure::Limit},
      {"a side", tiff, [](DecodeLimits& l) { l.maxSide = 36; }, DecodeFailure::Limit},
      {"a page's pixels", pdf, [](DecodeLimits& l) { l.maxPixels = 400; }, DecodeFailure::Limit},
      {"the file's pixels", tiff, [](DecodeLimits& l) { l.maxFilePixels = 500; },
       DecodeFailure::Limit},
      {"the file's time", tiff,
       [](DecodeLimits& l) { l.maxFileTime = std::chrono::milliseconds(-1); },
       DecodeFailure::Limit},
      {"the run's memory", tiff, [&](DecodeLimits& l) { l.memory = &tinyBudget; },
       DecodeFailure::Limit},
      {"PGM cut short", cutPgm, [](DecodeLimits&) {}, DecodeFailure::Damaged},
      {"PDF cut short", std::vector<std::uint8_t>(pdf.begin(), pdf.begin() + 40),
       [](DecodeLimits&) {}, DecodeFailure::Damaged},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Format format = SniffFormat(c.bytes);
    if (c.bytes.empty() || !IsFormatBuilt(format)) {
      continue;
    }
    DecodeLimits limits;
    limits.dpi = 72;
    c.limit(limits);
    std::string error;
    EXPECT_FALSE(DecodePages(
        format, c.bytes, limits, [](const PageView&) {}, error));
    EXPECT_EQ(FailureOf(error), c.failure) << error;
  }
}

TEST(FormatTest, FileBudgetEndsLongFilesKeepingThePagesRead) {
  const GreyPicture ramp = Ramp();
  const std::string tiff = TempPath(".budget.tif");
  const std::vector<std::uint8_t> files[] = {
      WriteTiff(tiff, {ramp, ramp, ramp}, false) ? ReadBack(tiff) : std::vector<std::uint8_t>{},
      IsFormatBuilt(Format::Pdf) ? MakePdf({ramp, ramp, ramp}) : std::vector<std::uint8_t>{},
  };
  std::filesystem::remove(tiff);
  SilenceDecoderMessages();
  for (const std::vector<std::uint8_t>& bytes : files) {
    if (bytes.empty()) {
      continue;
    }
    SCOPED_TRACE(FormatName(SniffFormat(bytes)));
    DecodeLimits limits;
    limits.dpi = 72;
    limits.maxFilePixels = 2 * 37 * 11;
    std::string error;
    EXPECT_EQ(DecodeAll(bytes, error, limits).size(), 2u);
    EXPECT_NE(error.find("over the file's budget"), std::string::npos) << error;
    EXPECT_NE(error.find("(page 3)"), std::string::npos) << error;
  }
}

TEST(FormatTest, FileBudgetTimeGrowsWithItsPixels) {
  const std::pair<int, long> cases[] = {{1024, 64000}, {2048, 128000}, {16, 10000}, {1, 10000}};
  for (const auto& [megapixels, milliseconds] : cases) {
    DecodeLimits limits;
    SetFileBudget(megapixels, limits);
    EXPECT_EQ(limits.maxFilePixels, std::int64_t{megapixels} << 20);
    EXPECT_EQ(limits.maxFileTime.count(), milliseconds);
  }
}

// Text and private chunks before the picture, far more than the PNG library keeps by itself.
TEST(FormatTest, PngSkipsAncillaryChunksWhateverTheirNumber) {
  const GreyPicture ramp = Ramp();
  const std::string path = TempPath(".texts.png");
  if (!WritePng(path, ramp, true)) {
    GTEST_SKIP() << "PNG not built in";
  }
  std::vector<std::uint8_t> bytes = ReadBack(path);
  std::filesystem::remove(path);
  std::string chunks;
  for (int i = 0; i < 5000; ++i) {
    chunks += "\0\0\0\x03tEXtk\0v\0\0\0\0"s;
  }
  chunks += "\0\0\0\x01prVt\x01\0\0\0\0"s;
  constexpr std::size_t afterHeader = 8 + 25;
  bytes.insert(bytes.begin() + afterHeader, chunks.begin(), chunks.end());
  std::string error;
  const std::vector<GreyPicture> pages = DecodeAll(bytes, error);
  EXPECT_EQ(error, "");
  EXPECT_TRUE(pages == std::vector<GreyPicture>{ramp});
}

// A small, whole picture whose header then claims 16000 x 16000: far more than its data can
// hold, so it is refused before anything that size is allocated or decoded.
TEST(FormatTest, RefusesPicturesClaimingMoreThanTheirData) {
  const GreyPicture ramp = Ramp();
  struct Case {
    std::string name;
    std::string suffix;
    bool written;
    std::string error;
  };
  const Case cases[] = {
      {"JPEG", ".claim.jpg", WriteJpeg(TempPath(".claim.jpg"), ramp, true, 90),
       "JPEG: data too short for a picture of its size"},
      {"WebP", ".claim.webp", WriteWebp(TempPath(".claim.webp"), ramp),
       "WebP: data too short for a picture of its size"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.written) {
      continue;
    }
    std::vector<std::uint8_t> bytes = ReadBack(TempPath(c.suffix));
    std::filesystem::remove(TempPath(c.suffix));
    std::string error;
    ASSERT_EQ(DecodeAll(bytes, error).size(), 1u);
    if (c.name == "JPEG") {
      // The frame header: FF C0, length, precision, then height and width.
      constexpr std::uint8_t sof[] = {0xff, 0xc0};
      const auto frame = std::search(bytes.begin(), bytes.end(), sof, sof + 2);
      ASSERT_NE(frame, bytes.end());
      for (int offset : {5, 7}) {
        frame[offset] = 16000 >> 8;
        frame[offset + 1] = 16000 & 0xff;
      }
    } else {
      // The lossless header after its signature byte: 14 bits each of width and height less
      // one, then the alpha and version bits.
      ASSERT_EQ(bytes[20], 0x2f);
      const std::uint32_t rest = (bytes[24] >> 4) & 0x0f;
      const std::uint32_t header = 15999u | 15999u << 14 | rest << 28;
      for (int i = 0; i < 4; ++i) {
        bytes[21 + i] = static_cast<std::uint8_t>(header >> (8 * i));
      }
    }
    EXPECT_EQ(DecodeAll(bytes, error).size(), 0u);
    EXPECT_EQ(error, c.error);
  }
}

// Every decoder, handed the first bytes of a whole file in its format whatever they announce,
// refuses them with a reason and reads nothing outside them (the sanitizers watch).
TEST(FormatTest, EveryDecoderRefusesFilesCutShort) {
  const GreyPicture ramp = Ramp();
  std::vector<std::pair<Format, std::vector<std::uint8_t>>> files = {{Format::Pnm, MakePgm(ramp)}};
  const std::pair<Format, std::string> written[] = {
      {Format::Png, WritePng(TempPath(".cut.png"), ramp, true) ? ".cut.png" : ""},
      {Format::Jpeg, WriteJpeg(TempPath(".cut.jpg"), ramp, false, 90) ? ".cut.jpg" : ""},
      {Format::Tiff, WriteTiff(TempPath(".cut.tif"), {ramp}, false) ? ".cut.tif" : ""},
      {Format::Webp, WriteWebp(TempPath(".cut.webp"), ramp) ? ".cut.webp" : ""},
  };
  for (const auto& [format, suffix] : written) {
    if (!suffix.empty()) {
      files.emplace_back(format, ReadBack(TempPath(suffix)));
      std::filesystem::remove(TempPath(suffix));
    }
  }
  if (IsFormatBuilt(Format::Pdf)) {
    files.emplace_back(Format::Pdf, MakePdf({ramp}));
  }
  SilenceDecoderMessages();
  for (const auto& [format, bytes] : files) {
    for (std::size_t length : {0, 1, 3, 7, 8, 9, 12, 20, 33}) {
      SCOPED_TRACE(std::string(FormatName(format)) + " cut to " + std::to_string(length));
      // A copy of exactly that length, so reading past it is caught.
      const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + length);
      std::string error;
      EXPECT_FALSE(DecodePages(
          format, cut, {}, [](const PageView&) {}, error));
      EXPECT_NE(error, "");
    }
  }
}

// Every reader's page is counted against the run's budget while it lives and given back after;
// a budget too small for the page refuses it before anything is decoded.
TEST(FormatTest, EveryReaderCountsItsPageAgainstTheRunsBudget) {
  const GreyPicture ramp = Ramp();
  const std::size_t pixels = ramp.grey.size();
  // An 8-bit PGM is read in place; one of 16 bits needs a page of its own.
  std::string pgm =
      "P2 " + std::to_string(ramp.width) + " " + std::to_string(ramp.height) + " 65535\n";
  for (const std::uint8_t value : ramp.grey) {
    pgm += std::to_string(value * 257) + " ";
  }
  std::vector<std::vector<std::uint8_t>> files = {{pgm.begin(), pgm.end()}};
  const std::pair<std::string, bool> written[] = {
      {".png", WritePng(TempPath(".png"), ramp, true)},
      {".jpg", WriteJpeg(TempPath(".jpg"), ramp, false, 90)},
      {".g.tif", WriteTiff(TempPath(".g.tif"), {ramp}, false)},
      {".c.tif", WriteTiff(TempPath(".c.tif"), {ramp}, true)},
      {".webp", WriteWebp(TempPath(".webp"), ramp)},
  };
  for (const auto& [suffix, made] : written) {
    if (made) {
      files.push_back(ReadBack(TempPath(suffix)));
      std::filesystem::remove(TempPath(suffix));
    }
  }
  if (IsFormatBuilt(Format::Pdf)) {
    files.push_back(MakePdf({ramp}));
  }
  SilenceDecoderMessages();
  for (const std::vector<std::uint8_t>& bytes : files) {
    SCOPED_TRACE(FormatName(SniffFormat(bytes)));
    DecodeLimits limits;
    limits.dpi = 72;
    MemoryBudget budget(1 << 20);
    limits.memory = &budget;
    std::size_t heldDuringRead = 0;
    std::string error;
    EXPECT_TRUE(DecodePages(
        SniffFormat(bytes), bytes, limits, [&](const PageView&) { heldDuringRead = budget.Used(); },
        error))
        << error;
    EXPECT_GE(heldDuringRead, pixels);
    EXPECT_EQ(budget.Used(), 0u);

    MemoryBudget tooSmall(pixels - 1);
    limits.memory = &tooSmall;
    int pages = 0;
    EXPECT_FALSE(DecodePages(
        SniffFormat(bytes), bytes, limits, [&](const PageView&) { ++pages; }, error));
    EXPECT_EQ(pages, 0);
    EXPECT_NE(error.find("memory budget of 0 MiB"), std::string::npos) << error;
    EXPECT_EQ(tooSmall.Used(), 0u);
  }
}

// A progressive picture is held whole as coefficients, two bytes for each of 64 a block, beside
// its pixels: both count.
TEST(FormatTest, ProgressiveJpegCountsItsCoefficients) {
  const GreyPicture ramp = Ramp();
  const std::string path = TempPath(".progressive.jpg");
  if (!WriteJpeg(path, ramp, false, 90, true)) {
    GTEST_SKIP() << "JPEG not built in";
  }
  const std::vector<std::uint8_t> bytes = ReadBack(path);
  std::filesystem::remove(path);
  const std::size_t blocks = ((ramp.width + 7) / 8) * ((ramp.height + 7) / 8);
  MemoryBudget budget(1 << 20);
  DecodeLimits limits;
  limits.memory = &budget;
  std::size_t heldDuringRead = 0;
  std::string error;
  EXPECT_TRUE(DecodePages(
      Format::Jpeg, bytes, limits, [&](const PageView&) { heldDuringRead = budget.Used(); }, error))
      << error;
  EXPECT_GE(heldDuringRead, ramp.grey.size() + blocks * 64 * 2);
  EXPECT_EQ(budget.Used(), 0u);
}

}  // namespace

}  // namespace strixa
