// SPDX-License-Identifier: Apache-2.0
// What a program reading many files needs of the library: a memory budget shared by readers on
// several threads, a file's pixel budget, pages handed over as they are read, PDF pages read again
// at other resolutions, and the names it prints.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "strixa/strixa.h"
#include "support/batch/formatWriters.h"
#include "support/builders.h"
#include "support/eanEncoder.h"

namespace strixa {

namespace {

// A page with one EAN-13 of the given module width, or none for 0.
GreyPicture SymbolPage(int width, int height, int moduleWidth) {
  Image page = MakeBlankImage(width, height, 240);
  if (moduleWidth > 0) {
    DrawBars(page, Widen(EncodeEan13("5901234123457"), moduleWidth), 1, 20 * moduleWidth,
             height / 4, height / 2);
  }
  return GreyOf(page);
}

struct Outcome {
  strixa_status status = STRIXA_OK;
  std::string error;
  std::vector<strixa_barcode> barcodes;  // their strings are not kept
};

Outcome ReadBytes(strixa_reader* reader, const std::vector<std::uint8_t>& bytes) {
  const strixa_barcode* barcodes = nullptr;
  size_t count = 0;
  Outcome outcome;
  outcome.status = strixa_read_encoded(reader, bytes.data(), bytes.size(), &barcodes, &count);
  outcome.error = strixa_reader_error(reader);
  outcome.barcodes.assign(barcodes, barcodes + count);
  return outcome;
}

// A TIFF of the pages, as bytes; empty when TIFF is not built in. Its decoder takes its pages
// from the file's pixel budget and its buffers from the memory budget.
std::vector<std::uint8_t> TiffBytes(const std::vector<GreyPicture>& pages) {
  const std::string path =
      ::testing::TempDir() + "strixa-limits-" + std::to_string(::getpid()) + ".tif";
  std::vector<std::uint8_t> bytes;
  if (WriteTiff(path, pages, false)) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    for (int c = 0; file != nullptr && (c = std::fgetc(file)) != EOF;) {
      bytes.push_back(static_cast<std::uint8_t>(c));
    }
    if (file != nullptr) {
      std::fclose(file);
    }
  }
  std::remove(path.c_str());
  return bytes;
}

struct ReaderHolder {
  strixa_reader* reader = nullptr;
  ReaderHolder() { EXPECT_EQ(strixa_reader_create(nullptr, &reader), STRIXA_OK); }
  ~ReaderHolder() { strixa_reader_destroy(reader); }
};

struct BudgetHolder {
  strixa_budget* budget = nullptr;
  explicit BudgetHolder(size_t bytes) {
    EXPECT_EQ(strixa_budget_create(bytes, &budget), STRIXA_OK);
  }
  ~BudgetHolder() { strixa_budget_destroy(budget); }
};

TEST(RunLimitsTest, NewSettersRefuseBadArguments) {
  ReaderHolder holder;
  strixa_reader* reader = holder.reader;
  BudgetHolder shared(1 << 20);
  const struct {
    std::string_view name;
    strixa_status status, expected;
  } cases[] = {
      {"fewest megapixels", strixa_reader_set_max_megapixels(reader, 1), STRIXA_OK},
      {"most megapixels", strixa_reader_set_max_megapixels(reader, 1 << 20), STRIXA_OK},
      {"no megapixels", strixa_reader_set_max_megapixels(reader, 0), STRIXA_ERROR_ARGUMENT},
      {"too many megapixels", strixa_reader_set_max_megapixels(reader, (1 << 20) + 1),
       STRIXA_ERROR_ARGUMENT},
      {"megapixels without a reader", strixa_reader_set_max_megapixels(nullptr, 64),
       STRIXA_ERROR_ARGUMENT},
      {"rereading without a reader", strixa_reader_set_pdf_rereading(nullptr, 1),
       STRIXA_ERROR_ARGUMENT},
      {"budget without a reader", strixa_reader_set_budget(nullptr, shared.budget),
       STRIXA_ERROR_ARGUMENT},
      {"callback without a reader", strixa_reader_set_page_callback(nullptr, nullptr, nullptr),
       STRIXA_ERROR_ARGUMENT},
      {"budget made into nothing", strixa_budget_create(1, nullptr), STRIXA_ERROR_ARGUMENT},
      {"reserve in no budget", strixa_budget_reserve(nullptr, 1), STRIXA_ERROR_ARGUMENT},
      {"release to no budget", strixa_budget_release(nullptr, 1), STRIXA_ERROR_ARGUMENT},
      {"reserve more than the whole", strixa_budget_reserve(shared.budget, (1 << 20) + 1),
       STRIXA_ERROR_MEMORY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.status, c.expected);
  }
  ASSERT_EQ(strixa_reader_set_max_megapixels(reader, 0), STRIXA_ERROR_ARGUMENT);
  EXPECT_STREQ(strixa_reader_error(reader), "a budget of 0 megapixels: it must be 1 to 1048576");
  EXPECT_EQ(strixa_budget_total(shared.budget), size_t{1} << 20);
  EXPECT_EQ(strixa_budget_total(nullptr), 0u);
  EXPECT_EQ(strixa_budget_used(shared.budget), 0u);
  ASSERT_EQ(strixa_budget_reserve(shared.budget, 1000), STRIXA_OK);
  EXPECT_EQ(strixa_budget_used(shared.budget), 1000u);
  // Giving back more than was held gives back what was.
  ASSERT_EQ(strixa_budget_release(shared.budget, 5000), STRIXA_OK);
  EXPECT_EQ(strixa_budget_used(shared.budget), 0u);
}

TEST(RunLimitsTest, NamesOfFormatsAndOrientations) {
  const GreyPicture page = SymbolPage(60, 40, 0);
  const std::vector<std::uint8_t> pgm = MakePgm(page);
  const std::vector<std::uint8_t> bmp = MakeBmp(MakeBlankImage(8, 8));
  const std::vector<std::uint8_t> pdf = MakePdf({page});
  const std::string text = "hello";
  const struct {
    std::string_view name;
    const void* bytes;
    size_t size;
    std::string_view format, title;
  } cases[] = {
      {"PGM", pgm.data(), pgm.size(), "pnm", "PNM"},
      {"BMP", bmp.data(), bmp.size(), "bmp", "BMP"},
      {"PDF", pdf.data(), pdf.size(), "pdf", "PDF"},
      {"PNG signature", "\x89PNG\r\n\x1a\n", 8, "png", "PNG"},
      {"text", text.data(), text.size(), "", ""},
      {"nothing", text.data(), 0, "", ""},
      {"null", nullptr, 10, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string_view format = strixa_format_of(c.bytes, c.size);
    EXPECT_EQ(format, c.format);
    EXPECT_EQ(strixa_format_title(std::string(format).c_str()), c.title);
  }
  EXPECT_STREQ(strixa_format_title("webp"), "WebP");
  EXPECT_STREQ(strixa_format_title(nullptr), "");
  const struct {
    strixa_orientation orientation;
    std::string_view name;
  } orientations[] = {{STRIXA_UPRIGHT, "upright"},
                      {STRIXA_FLAT, "flat"},
                      {STRIXA_UPRIGHT_REVERSED, "upright-reversed"},
                      {STRIXA_FLAT_REVERSED, "flat-reversed"}};
  for (const auto& o : orientations) {
    EXPECT_EQ(strixa_orientation_name(o.orientation), o.name);
  }
  // Each bit has its own name, which strixa-batch's --symbologies and Python rely on.
  std::set<std::string_view> names;
  for (unsigned bit = 1; bit <= STRIXA_ALL_SYMBOLOGIES; bit <<= 1) {
    const std::string_view name = strixa_symbology_name(static_cast<strixa_symbology>(bit));
    EXPECT_NE(name, "unknown");
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 8U);
  EXPECT_STREQ(strixa_symbology_name(STRIXA_INTERLEAVED_TWO_OF_FIVE), "itf");
}

// A file's pixel budget and the run's memory budget refuse a page with their own words, as
// strixa-batch prints them, bitmaps (read from a path or from bytes) as the decoders' pages.
TEST(RunLimitsTest, LimitsRefuseWithTheirMessages) {
  // Over a megapixel, and over a MiB.
  const std::vector<std::uint8_t> tiff = TiffBytes({SymbolPage(1100, 1000, 0)});
  if (tiff.empty()) {
    GTEST_SKIP() << "TIFF not built in";
  }
  const std::vector<std::uint8_t> bmp = MakeBmp(MakeBlankImage(1100, 1000));
  const std::string bmpPath =
      ::testing::TempDir() + "strixa-limits-" + std::to_string(::getpid()) + ".bmp";
  ASSERT_TRUE(WriteFile(bmpPath, bmp));
  const std::string budgetError =
      "out of memory (the picture needs more than the run's memory budget of 1 MiB)";
  const std::string budgetPageError = budgetError + " (page 1)";
  BudgetHolder small(1 << 20);
  const struct {
    std::string_view name;
    int megapixels;
    strixa_budget* budget;
    const std::vector<std::uint8_t>* bytes;  // null: the bitmap's path
    strixa_status status;
    std::string_view error;
  } cases[] = {
      {"within both", 2, nullptr, &tiff, STRIXA_OK, ""},
      {"over the file's pixels", 1, nullptr, &tiff, STRIXA_ERROR_LIMIT,
       "TIFF: over the file's budget of 1 megapixels (page 1)"},
      {"over the memory budget", 1024, small.budget, &tiff, STRIXA_ERROR_LIMIT, budgetPageError},
      {"bitmap bytes over the memory budget", 1024, small.budget, &bmp, STRIXA_ERROR_LIMIT,
       budgetError},
      {"bitmap file over the memory budget", 1024, small.budget, nullptr, STRIXA_ERROR_LIMIT,
       budgetError},
      {"bitmap file without a budget", 1024, nullptr, nullptr, STRIXA_OK, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ReaderHolder holder;
    ASSERT_EQ(strixa_reader_set_max_megapixels(holder.reader, c.megapixels), STRIXA_OK);
    ASSERT_EQ(strixa_reader_set_budget(holder.reader, c.budget), STRIXA_OK);
    Outcome outcome;
    if (c.bytes != nullptr) {
      outcome = ReadBytes(holder.reader, *c.bytes);
    } else {
      const strixa_barcode* barcodes = nullptr;
      size_t count = 0;
      outcome.status = strixa_read_file(holder.reader, bmpPath.c_str(), &barcodes, &count);
      outcome.error = strixa_reader_error(holder.reader);
    }
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.error, c.error);
    EXPECT_EQ(strixa_budget_used(small.budget), 0u);
  }
  std::remove(bmpPath.c_str());
}

// One budget, two readers on two threads: a reader waits while the budget is held elsewhere
// rather than failing, and every byte comes back.
TEST(RunLimitsTest, ABudgetIsSharedByReadersOnSeveralThreads) {
  const GreyPicture page = SymbolPage(900, 600, 2);
  const std::vector<std::uint8_t> tiff = TiffBytes({page});
  if (tiff.empty()) {
    GTEST_SKIP() << "TIFF not built in";
  }
  const size_t pageBytes = static_cast<size_t>(page.width) * static_cast<size_t>(page.height);
  BudgetHolder shared(pageBytes + pageBytes / 2);  // one page at a time
  std::atomic<int> failures{0};
  std::atomic<int> found{0};
  const auto readRepeatedly = [&] {
    ReaderHolder holder;
    strixa_reader_set_budget(holder.reader, shared.budget);
    for (int i = 0; i < 4; ++i) {
      const Outcome outcome = ReadBytes(holder.reader, tiff);
      failures += outcome.status != STRIXA_OK ? 1 : 0;
      found += static_cast<int>(outcome.barcodes.size());
    }
  };
  std::thread first(readRepeatedly);
  std::thread second(readRepeatedly);
  first.join();
  second.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(found, 8);
  EXPECT_EQ(strixa_budget_used(shared.budget), 0u);

  // Held by this thread, the budget keeps a reader on another waiting until it is given back.
  ASSERT_EQ(strixa_budget_reserve(shared.budget, pageBytes), STRIXA_OK);
  std::atomic<bool> done{false};
  Outcome late;
  std::thread waiting([&] {
    ReaderHolder holder;
    strixa_reader_set_budget(holder.reader, shared.budget);
    late = ReadBytes(holder.reader, tiff);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(done);
  strixa_budget_release(shared.budget, pageBytes);
  waiting.join();
  EXPECT_EQ(late.status, STRIXA_OK) << late.error;
  EXPECT_EQ(late.barcodes.size(), 1u);
  EXPECT_EQ(strixa_budget_used(shared.budget), 0u);
}

// What the callback saw: each call's barcodes as page numbers.
struct Calls {
  std::vector<std::vector<int>> pages;
};

void RecordCall(void* user, const strixa_barcode* barcodes, size_t count) {
  auto& calls = *static_cast<Calls*>(user);
  std::vector<int>& call = calls.pages.emplace_back();
  for (size_t i = 0; i < count; ++i) {
    call.push_back(barcodes[i].page);
  }
}

std::vector<int> PagesOf(const Outcome& outcome) {
  std::vector<int> pages;
  for (const strixa_barcode& barcode : outcome.barcodes) {
    pages.push_back(barcode.page);
  }
  return pages;
}

// Each page's barcodes reach the callback as the page is read, in the order the read hands them
// all out; a null callback stops the calls.
TEST(RunLimitsTest, PagesReachTheCallbackAsTheyAreRead) {
  const std::string path =
      ::testing::TempDir() + "strixa-callback-" + std::to_string(::getpid()) + ".tif";
  if (!WriteTiff(path, {SymbolPage(400, 160, 2), SymbolPage(300, 160, 0), SymbolPage(400, 160, 2)},
                 false)) {
    GTEST_SKIP() << "TIFF not built in";
  }
  ReaderHolder holder;
  Calls calls;
  ASSERT_EQ(strixa_reader_set_page_callback(holder.reader, RecordCall, &calls), STRIXA_OK);
  const strixa_barcode* barcodes = nullptr;
  size_t count = 0;
  ASSERT_EQ(strixa_read_file(holder.reader, path.c_str(), &barcodes, &count), STRIXA_OK);
  EXPECT_EQ(calls.pages, (std::vector<std::vector<int>>{{1}, {}, {3}}));
  EXPECT_EQ(count, 2u);
  ASSERT_EQ(strixa_reader_set_page_callback(holder.reader, nullptr, nullptr), STRIXA_OK);
  ASSERT_EQ(strixa_read_file(holder.reader, path.c_str(), &barcodes, &count), STRIXA_OK);
  EXPECT_EQ(calls.pages.size(), 3u);
  std::remove(path.c_str());
}

// A symbol too fine for the resolution chosen is read at twice it, its rectangle scaled back; one
// already read at the first resolution is not read twice. What the rereading adds comes last,
// and reaches the callback in a call of its own.
TEST(RunLimitsTest, PdfRereadingAddsWhatAnotherResolutionReads) {
  if (strixa_reads_format("pdf") == 0) {
    GTEST_SKIP() << "PDF not built in";
  }
  // A point a pixel: at 24 dpi the fine symbol's modules are a pixel wide, at 48 two.
  const std::vector<std::uint8_t> pdf =
      MakePdf({SymbolPage(1200, 400, 8), SymbolPage(500, 200, 3)});
  ReaderHolder plain;
  ASSERT_EQ(strixa_reader_set_pdf_dpi(plain.reader, 24), STRIXA_OK);
  const Outcome once = ReadBytes(plain.reader, pdf);
  ASSERT_EQ(once.status, STRIXA_OK) << once.error;
  EXPECT_EQ(PagesOf(once), std::vector<int>{1});

  ReaderHolder fine;
  ASSERT_EQ(strixa_reader_set_pdf_dpi(fine.reader, 48), STRIXA_OK);
  const Outcome at48 = ReadBytes(fine.reader, pdf);
  ASSERT_EQ(PagesOf(at48), (std::vector<int>{1, 2}));
  // Read again at 24 dpi, the large symbol is found once more: it is the same one.
  ASSERT_EQ(strixa_reader_set_pdf_rereading(fine.reader, 1), STRIXA_OK);
  EXPECT_EQ(PagesOf(ReadBytes(fine.reader, pdf)), (std::vector<int>{1, 2}));

  ReaderHolder again;
  ASSERT_EQ(strixa_reader_set_pdf_dpi(again.reader, 24), STRIXA_OK);
  ASSERT_EQ(strixa_reader_set_pdf_rereading(again.reader, 1), STRIXA_OK);
  Calls calls;
  ASSERT_EQ(strixa_reader_set_page_callback(again.reader, RecordCall, &calls), STRIXA_OK);
  const Outcome twice = ReadBytes(again.reader, pdf);
  ASSERT_EQ(twice.status, STRIXA_OK) << twice.error;
  ASSERT_EQ(PagesOf(twice), (std::vector<int>{1, 2}));
  EXPECT_EQ(calls.pages, (std::vector<std::vector<int>>{{1}, {}, {2}}));
  const strixa_barcode& added = twice.barcodes[1];
  const strixa_barcode& original = at48.barcodes[1];
  const auto half = [](int value) { return 1 + static_cast<int>(std::lround((value - 1) * 0.5)); };
  EXPECT_EQ(added.x, half(original.x));
  EXPECT_EQ(added.y, half(original.y));
  EXPECT_EQ(added.width, static_cast<int>(std::lround(original.width * 0.5)));
  EXPECT_EQ(added.height, static_cast<int>(std::lround(original.height * 0.5)));
  // The corners follow the scaled rectangle.
  EXPECT_EQ(added.corners[0].x, static_cast<float>(added.x - 1));
  EXPECT_EQ(added.corners[2].y, static_cast<float>(added.y - 1 + added.height));
}

}  // namespace

}  // namespace strixa
