// SPDX-License-Identifier: Apache-2.0
// The C API over the reading pipeline the command line also uses: the same localisation,
// decoding and merging, with the results handed back instead of printed and no pauses.
#include "strixa/strixa.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/format.h"
#include "formats/memoryBudget.h"
#include "formats/page.h"
#include "image/image.h"
#include "locate/candidate.h"
#include "platform/bitmap.h"
#include "platform/bmpHeader.h"
#include "platform/byteSource.h"
#include "read/engine.h"
#include "read/pipeline.h"
#include "symbologies/symbology.h"

// Everything one reader knows; nothing is shared between readers.
struct strixa_reader {
  strixa::Image image;
  // The decoders' page buffer, kept from file to file (formats/page.h).
  strixa::KeptPageBuffer keptPages;
  // Every page's results, and the page of each: the barcodes point into the texts, so they are
  // made once the last page is read.
  std::vector<strixa::EngineResult> results;
  std::vector<int> resultPages;
  unsigned symbologies = STRIXA_ALL_SYMBOLOGIES;
  bool fine = false;
  strixa::Engine engine = strixa::Engine::Document;
  int firstPage = 1;
  int pageCount = 0;  // 0: to the last page
  int pdfDpi = 300;
  bool pdfRereading = false;
  int maxMegapixels = 1024;
  strixa::MemoryBudget* budget = nullptr;  // the caller's, shared with other readers
  strixa_page_callback pageCallback = nullptr;
  void* pageCallbackUser = nullptr;
  std::vector<strixa_barcode> barcodes;
  // A fixed buffer, so that reporting a failure (memory shortage included) cannot fail itself.
  std::array<char, 512> error{};
};

// A budget is the run's memory budget behind an opaque type.
struct strixa_budget {
  explicit strixa_budget(std::size_t bytes) : memory(bytes) {}
  strixa::MemoryBudget memory;
};

namespace strixa {

namespace {

// What the API reports for one symbology.
struct SymbologyInfo {
  Symbology symbology;
  strixa_symbology bit;
  std::string_view symbologyId;  // for a line that does not carry its own
};

// Every symbology a result may be read as.
constexpr std::array<SymbologyInfo, 8> symbologyInfos = {{
    {Symbology::Ean13, STRIXA_EAN13, "]E0"},
    {Symbology::UpcA, STRIXA_UPCA, "]E0"},
    {Symbology::Ean8, STRIXA_EAN8, "]E4"},
    {Symbology::Code128, STRIXA_CODE128, "]C0"},
    {Symbology::Ean128, STRIXA_EAN128, "]C1"},
    {Symbology::Code39, STRIXA_CODE39, "]A0"},
    {Symbology::TwoOfFive, STRIXA_TWO_OF_FIVE, "]S0"},
    {Symbology::InterleavedTwoOfFive, STRIXA_INTERLEAVED_TWO_OF_FIVE, "]I0"},
}};

// Every identifier a result may carry, as literals the results point at.
constexpr std::array<std::string_view, 8> symbologyIds = {"]E0", "]E4", "]C0", "]C1",
                                                          "]C2", "]A0", "]S0", "]I0"};
constexpr std::size_t symbologyIdLength = 3;

const SymbologyInfo* FindSymbology(Symbology symbology) {
  for (const SymbologyInfo& info : symbologyInfos) {
    if (info.symbology == symbology) {
      return &info;
    }
  }
  return nullptr;
}

// Gives a result text that carries no transmission of its own (every symbology but Code 128)
// one made from it: EAN and UPC digits lose their space, UPC-A gains the leading 0 of its 13
// digits; the other texts are their characters as read.
void AddTransmission(const SymbologyInfo& info, std::string& text) {
  if (text.find(lineDataSeparator) != std::string::npos) {
    return;
  }
  const bool ean = info.symbology == Symbology::Ean13 || info.symbology == Symbology::UpcA ||
                   info.symbology == Symbology::Ean8;
  const std::string printed = text;
  text += lineDataSeparator;
  text += info.symbologyId;
  if (info.symbology == Symbology::UpcA) {
    text += '0';
  }
  for (char c : printed) {
    if (!(ean && c == ' ')) {
      text += c;
    }
  }
}

// Where a format keeps the byte the pipeline reads: grey itself, or green.
struct GreyPlace {
  int pixelStep = 0;
  int greyOffset = 0;
};

bool FindGreyPlace(strixa_pixel_format format, GreyPlace& layout) {
  switch (format) {
    case STRIXA_GREY8:
      layout = {1, 0};
      return true;
    case STRIXA_BGR24:
    case STRIXA_RGB24:
      layout = {3, 1};
      return true;
    case STRIXA_BGRA32:
    case STRIXA_RGBA32:
      layout = {4, 1};
      return true;
  }
  return false;
}

// GCC checks the format as GNU printf, which MinGW's vsnprintf also follows; clang knows only
// printf.
#if defined(__clang__)
__attribute__((format(printf, 3, 4)))
#elif defined(__GNUC__)
__attribute__((format(gnu_printf, 3, 4)))
#endif
strixa_status
Fail(strixa_reader& reader, strixa_status status, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(reader.error.data(), reader.error.size(), format, arguments);
  va_end(arguments);
  return status;
}

// The failure of an exception that reached the boundary.
strixa_status FailWithCurrentException(strixa_reader& reader) {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return Fail(reader, STRIXA_ERROR_MEMORY, "out of memory");
  } catch (const std::exception& e) {
    return Fail(reader, STRIXA_ERROR_INTERNAL, "internal failure: %s", e.what());
  } catch (...) {
    return Fail(reader, STRIXA_ERROR_INTERNAL, "internal failure");
  }
}

// Clears the last results and the outputs, so a failed read never leaves stale ones visible.
strixa_status StartRead(strixa_reader* reader, const strixa_barcode** barcodes, size_t* count) {
  if (barcodes != nullptr) {
    *barcodes = nullptr;
  }
  if (count != nullptr) {
    *count = 0;
  }
  if (reader == nullptr) {
    return STRIXA_ERROR_ARGUMENT;
  }
  reader->barcodes.clear();
  reader->results.clear();
  reader->resultPages.clear();
  reader->error[0] = '\0';
  if (barcodes == nullptr || count == nullptr) {
    return Fail(*reader, STRIXA_ERROR_ARGUMENT, "barcodes and count must not be null");
  }
  return STRIXA_OK;
}

// The corners and reading angle of a result, from its 1-based rectangle: the pixel box runs
// from x - 1 to x - 1 + width. In reading order the symbol's top edge comes first, so each
// orientation starts at a different corner of the box and the four always go clockwise.
void SetCorners(const Candidate& result, strixa_barcode& barcode) {
  const float left = static_cast<float>(result.x - 1);
  const float top = static_cast<float>(result.y - 1);
  const float right = left + static_cast<float>(result.width);
  const float bottom = top + static_cast<float>(result.height);
  const strixa_point topLeft{left, top}, topRight{right, top}, bottomRight{right, bottom},
      bottomLeft{left, bottom};
  // Clockwise from the top-left; an orientation starts a quarter turn further for each step.
  const std::array<strixa_point, 4> clockwise = {topLeft, topRight, bottomRight, bottomLeft};
  int start = 0;
  switch (result.orientation) {
    case Orientation::Horizontal:
      start = 0;
      break;
    case Orientation::Vertical:
      start = 1;
      break;
    case Orientation::HorizontalReversed:
      start = 2;
      break;
    case Orientation::VerticalReversed:
      start = 3;
      break;
  }
  for (int i = 0; i < 4; ++i) {
    barcode.corners[i] = clockwise[static_cast<std::size_t>((start + i) % 4)];
  }
  barcode.angle = 90.0f * static_cast<float>(start);
}

// An engine's angle as the API promises it, 0 <= angle < 360: a hair below 360 rounds to 360 as
// a float.
float AngleInRange(double degrees) {
  double turned = std::fmod(degrees, 360.0);
  if (turned < 0) {
    turned += 360.0;
  }
  const float angle = static_cast<float>(turned);
  return angle < 360.0f ? angle : 0.0f;
}

// The run's path from a loaded picture on: the reader's engine, with the results kept for
// MakeBarcodes under their page. Fine reading runs both scans, so it never finds less than the
// normal one.
void ReadImage(strixa_reader& reader, int page) {
  std::vector<EngineResult> found = ReadWithEngine(
      reader.image, reader.engine, reader.fine ? Scan::NormalThenFine : Scan::Normal);
  // The picture is the caller's or a loaded copy: keep neither beyond the read.
  FreePixelBuffer(reader.image);
  reader.results.reserve(reader.results.size() + found.size());
  for (EngineResult& result : found) {
    reader.results.push_back(std::move(result));
    reader.resultPages.push_back(page);
  }
}

// Whether the options ask for a result's symbology.
bool IsWanted(const strixa_reader& reader, const Candidate& result) {
  const SymbologyInfo* info = FindSymbology(result.symbology);
  return info != nullptr && (info->bit & reader.symbologies) != 0;
}

// The barcodes of the results from index first on that the options ask for, each with its
// symbology's bit, label and identifier, into out.
void MakeBarcodes(strixa_reader& reader, std::size_t first, std::vector<strixa_barcode>& out) {
  out.clear();
  out.reserve(reader.results.size() - std::min(first, reader.results.size()));
  for (std::size_t i = first; i < reader.results.size(); ++i) {
    EngineResult& read = reader.results[i];
    Candidate& result = read.candidate;
    const SymbologyInfo* info = FindSymbology(result.symbology);
    if (info == nullptr || (info->bit & reader.symbologies) == 0) {
      continue;
    }
    // The text ends at the separator for its own sake, and holds the identifier and data after it.
    AddTransmission(*info, result.text);
    const std::size_t separator = result.text.find(lineDataSeparator);
    const std::size_t dataStart = separator + 1 + symbologyIdLength;
    const auto id = std::ranges::find(
        symbologyIds, std::string_view(result.text).substr(separator + 1, symbologyIdLength));
    if (dataStart > result.text.size() || id == symbologyIds.end()) {
      continue;
    }
    strixa_barcode barcode{
        info->bit,
        // A literal, so it ends in a NUL.
        SymbologyLabel(result.symbology).data(),
        result.text.c_str(),
        result.x,
        result.y,
        result.width,
        result.height,
        static_cast<strixa_orientation>(static_cast<int>(result.orientation)),
        result.text.c_str() + dataStart,
        result.text.size() - dataStart,
        id->data(),
        reader.resultPages[i],
        {},
        0.0f,
    };
    if (read.measured) {
      for (std::size_t corner = 0; corner < 4; ++corner) {
        barcode.corners[corner] = {static_cast<float>(read.corners[corner].x),
                                   static_cast<float>(read.corners[corner].y)};
      }
      barcode.angle = AngleInRange(read.angle);
    } else {
      SetCorners(result, barcode);
    }
    out.push_back(barcode);
  }
}

// Hands the results from index first on to the caller's callback, if any.
void CallBack(strixa_reader& reader, std::size_t first) {
  if (reader.pageCallback == nullptr) {
    return;
  }
  std::vector<strixa_barcode> found;
  MakeBarcodes(reader, first, found);
  reader.pageCallback(reader.pageCallbackUser, found.data(), found.size());
}

// Hands out what the read found; also after a later page failed, so nothing read is lost.
void Publish(strixa_reader& reader, const strixa_barcode** barcodes, size_t* count) {
  MakeBarcodes(reader, 0, reader.barcodes);
  *barcodes = reader.barcodes.data();
  *count = reader.barcodes.size();
}

strixa_status FinishRead(strixa_reader& reader, const strixa_barcode** barcodes, size_t* count) {
  ReadImage(reader, 1);
  CallBack(reader, 0);
  Publish(reader, barcodes, count);
  return STRIXA_OK;
}

// Each refusal of our bitmap reader maps to the status a caller can act on.
strixa_status BmpStatus(strixa_reader& reader, BmpRefusal refusal) {
  switch (refusal) {
    case BmpRefusal::None:
      return STRIXA_OK;
    case BmpRefusal::CannotOpen:
      return Fail(reader, STRIXA_ERROR_FILE, "cannot open as a regular file");
    case BmpRefusal::ReadFailed:
      return Fail(reader, STRIXA_ERROR_FILE, "cannot read the file");
    case BmpRefusal::OutOfMemory:
      return Fail(reader, STRIXA_ERROR_MEMORY, "out of memory for the pixels");
    case BmpRefusal::TruncatedHeader:
    case BmpRefusal::BadSignature:
    case BmpRefusal::BadHeaderSize:
    case BmpRefusal::BadDimensions:
    case BmpRefusal::BadDepth:
    case BmpRefusal::BadMasks:
    case BmpRefusal::BadPixelOffset:
    case BmpRefusal::BadPalette:
    case BmpRefusal::TruncatedData:
    case BmpRefusal::BadRle:
    case BmpRefusal::TooLarge:
      break;
  }
  return Fail(reader, STRIXA_ERROR_FORMAT, "not a bitmap this library reads");
}

// Our own reader, streaming the file.
strixa_status LoadBmpFile(strixa_reader& reader, const char* path, Image& image) {
  return BmpStatus(reader, ReadBmpFile(path, image));
}

// The PDF resolutions a reader takes (strixa-batch's --dpi).
constexpr int minPdfDpi = 10;
constexpr int maxPdfDpi = 2400;

// A file's budget in megapixels (strixa-batch's --max-megapixels).
constexpr int maxMegapixels = 1 << 20;

// Files read whole are refused beyond this unread: no picture within the page limits needs
// more, and a device named by mistake cannot fill memory.
constexpr std::uint64_t maxFileBytes = std::uint64_t{1} << 30;

// The limits a read of a file works within: the reader's pages, resolution, file budget, memory
// budget (without one, the machine's memory) and kept page buffer.
DecodeLimits LimitsOf(strixa_reader& reader) {
  DecodeLimits limits;
  limits.keptPages = &reader.keptPages;
  limits.memory = reader.budget;
  SetFileBudget(reader.maxMegapixels, limits);
  limits.dpi = reader.pdfDpi;
  limits.firstPage = reader.firstPage;
  // Pages past INT_MAX cannot be asked for; a count reaching beyond reads to the end.
  limits.lastPage = reader.pageCount > 0
                        ? static_cast<int>(std::min<std::int64_t>(
                              std::int64_t{reader.firstPage} - 1 + reader.pageCount,
                              std::numeric_limits<int>::max()))
                        : 0;
  return limits;
}

// A bitmap's grey pixels, as its headers state them, are set aside in the reader's budget
// (waiting while other readers hold too much of it) before they are allocated; one stating more
// than a page may hold is refused. Headers the reader will refuse are left to it.
strixa_status CheckBmpSize(strixa_reader& reader, std::span<const std::uint8_t> head,
                           std::uint64_t fileSize, MemoryReservation& reservation) {
  BmpLayout layout;
  if (ReadBmpLayout(head, fileSize, layout) != BmpRefusal::None) {
    return STRIXA_OK;
  }
  const DecodeLimits limits = LimitsOf(reader);
  const std::size_t size =
      static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height);
  if (!reservation.Reserve(size, limits)) {
    // More than the whole budget is a limit, as for the decoders' pages.
    const std::string error = PixelMemoryError(size, limits);
    return Fail(reader,
                FailureOf(error) == DecodeFailure::Limit ? STRIXA_ERROR_LIMIT : STRIXA_ERROR_MEMORY,
                "%s", error.c_str());
  }
  std::string error;
  if (!CheckPageSize(layout.width, layout.height, limits, error)) {
    return Fail(reader, STRIXA_ERROR_LIMIT, "%s", error.c_str());
  }
  return STRIXA_OK;
}

// Refuses what no decoder of this build takes, naming the format; STRIXA_OK otherwise.
strixa_status CheckFormat(strixa_reader& reader, Format format, std::size_t size) {
  if (size == 0) {
    return Fail(reader, STRIXA_ERROR_FORMAT, "the file is empty");
  }
  if (format == Format::Unknown) {
    return Fail(reader, STRIXA_ERROR_FORMAT, "not a picture format this library reads");
  }
  if (!IsFormatBuilt(format)) {
    const std::string name(FormatName(format));
    return Fail(reader, STRIXA_ERROR_FORMAT, "a %s file, but this build reads no %s", name.c_str(),
                name.c_str());
  }
  return STRIXA_OK;
}

// Reads each page a decoder hands over into the reader's results, under its number. A failure
// stops the reading of later pages and is kept for the caller.
struct PageReader {
  strixa_reader& reader;
  bool callBack = true;  // each page's barcodes to the caller's callback
  int pagesRead = 0;
  strixa_status status = STRIXA_OK;
  std::vector<std::pair<int, bool>> pages;  // the number of each page read, and whether costly

  void operator()(const PageView& page) {
    if (status != STRIXA_OK) {
      return;
    }
    // A decoder is C underneath: nothing may be thrown through it.
    try {
      const int step = page.layout == PixelLayout::Grey8   ? 1
                       : page.layout == PixelLayout::Rgb24 ? 3
                                                           : 4;
      // The grey byte, or green in colour.
      const std::uint8_t* grey = page.pixels + (step == 1 ? 0 : 1);
      if (!ViewPixels(grey, page.width, page.height, page.stride, step, reader.image)) {
        status = Fail(reader, STRIXA_ERROR_INTERNAL, "page %d cannot be viewed", page.number);
        return;
      }
      const std::size_t first = reader.results.size();
      ReadImage(reader, page.number);
      ++pagesRead;
      pages.emplace_back(page.number, page.costly);
      if (callBack) {
        CallBack(reader, first);
      }
    } catch (...) {
      FreePixelBuffer(reader.image);
      status = FailWithCurrentException(reader);
    }
  }
};

// The status of a decoder's refusal, with its message.
strixa_status DecodeStatus(strixa_reader& reader, const std::string& error) {
  switch (FailureOf(error)) {
    case DecodeFailure::Limit:
      return Fail(reader, STRIXA_ERROR_LIMIT, "%s", error.c_str());
    case DecodeFailure::Memory:
      return Fail(reader, STRIXA_ERROR_MEMORY, "%s", error.c_str());
    case DecodeFailure::Damaged:
      break;
  }
  return Fail(reader, STRIXA_ERROR_FORMAT, "%s", error.c_str());
}

// The data a result carries, after its transmission's identifier.
std::string_view DataOf(Candidate& result) {
  const SymbologyInfo* info = FindSymbology(result.symbology);
  if (info == nullptr) {
    return {};
  }
  AddTransmission(*info, result.text);
  const std::size_t separator = result.text.find(lineDataSeparator);
  return std::string_view(result.text)
      .substr(std::min(result.text.size(), separator + 1 + symbologyIdLength));
}

bool Overlap(const Candidate& a, const Candidate& b) {
  return a.x <= b.x + b.width && b.x <= a.x + a.width && a.y <= b.y + b.height &&
         b.y <= a.y + a.height;
}

// The PDF rereading (strixa_reader_set_pdf_rereading) of the pages the first reading read,
// which took firstLimits: half the resolution for every page that was not costly, then twice
// it for each of those still without barcodes. It runs within what is left of the file's time
// since start. Results scaled to the first reading's pixels are kept unless the options do not
// ask for them or one of the same symbology and data overlaps them on their page; those kept
// go to the end of the results in page order. Its failures are ignored.
void ReadPdfAgain(strixa_reader& reader, std::span<const std::uint8_t> bytes,
                  const DecodeLimits& firstLimits, const std::vector<std::pair<int, bool>>& pages,
                  std::chrono::steady_clock::time_point start) {
  const std::size_t firstCount = reader.results.size();
  const auto onPage = [&](int number) {
    for (std::size_t i = 0; i < reader.results.size(); ++i) {
      if (reader.resultPages[i] == number && IsWanted(reader, reader.results[i].candidate)) {
        return true;
      }
    }
    return false;
  };
  const auto readAgain = [&](int dpi, const std::vector<int>& numbers) {
    if (dpi < minPdfDpi || numbers.empty()) {
      return;
    }
    DecodeLimits limits = firstLimits;
    limits.maxFileTime -= std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    if (limits.maxFileTime <= std::chrono::milliseconds::zero()) {
      return;
    }
    std::vector<bool> chosen(static_cast<std::size_t>(numbers.back()), false);
    for (const int number : numbers) {
      chosen[static_cast<std::size_t>(number - 1)] = true;
    }
    limits.dpi = dpi;
    limits.pdfPages = &chosen;
    const std::size_t mark = reader.results.size();
    PageReader again{reader, false, 0, STRIXA_OK, {}};
    std::string ignored;
    DecodePages(Format::Pdf, bytes, limits, std::ref(again), ignored);
    std::vector<EngineResult> found(std::make_move_iterator(reader.results.begin() + mark),
                                    std::make_move_iterator(reader.results.end()));
    std::vector<int> foundPages(reader.resultPages.begin() + mark, reader.resultPages.end());
    reader.results.resize(mark);
    reader.resultPages.resize(mark);
    const double scale = static_cast<double>(firstLimits.dpi) / dpi;
    for (std::size_t f = 0; f < found.size(); ++f) {
      EngineResult& read = found[f];
      Candidate& result = read.candidate;
      if (!IsWanted(reader, result)) {
        continue;
      }
      result.x = 1 + static_cast<int>(std::lround((result.x - 1) * scale));
      result.y = 1 + static_cast<int>(std::lround((result.y - 1) * scale));
      result.width = static_cast<int>(std::lround(result.width * scale));
      result.height = static_cast<int>(std::lround(result.height * scale));
      for (RobustPoint& corner : read.corners) {
        corner = {corner.x * scale, corner.y * scale};
      }
      const std::string_view data = DataOf(result);
      bool known = false;
      for (std::size_t i = 0; i < reader.results.size() && !known; ++i) {
        Candidate& old = reader.results[i].candidate;
        known = reader.resultPages[i] == foundPages[f] && old.symbology == result.symbology &&
                IsWanted(reader, old) && DataOf(old) == data && Overlap(old, result);
      }
      if (!known) {
        reader.results.push_back(std::move(read));
        reader.resultPages.push_back(foundPages[f]);
      }
    }
  };
  std::vector<int> every;
  for (const auto& [number, costly] : pages) {
    if (!costly) {
      every.push_back(number);
    }
  }
  readAgain(firstLimits.dpi / 2, every);
  for (const int number : every) {
    if (!onPage(number)) {
      readAgain(firstLimits.dpi * 2, {number});
    }
  }
  // What was added, in page order, each page's in the order found.
  std::vector<std::size_t> order(reader.results.size() - firstCount);
  for (std::size_t i = 0; i < order.size(); ++i) {
    order[i] = firstCount + i;
  }
  std::ranges::stable_sort(order, {}, [&](std::size_t i) { return reader.resultPages[i]; });
  std::vector<EngineResult> added;
  std::vector<int> addedPages;
  for (const std::size_t i : order) {
    added.push_back(std::move(reader.results[i]));
    addedPages.push_back(reader.resultPages[i]);
  }
  std::ranges::move(added, reader.results.begin() + static_cast<std::ptrdiff_t>(firstCount));
  std::ranges::copy(addedPages,
                    reader.resultPages.begin() + static_cast<std::ptrdiff_t>(firstCount));
  if (!added.empty()) {
    CallBack(reader, firstCount);
  }
}

// A whole file in memory, its format told from its first bytes. Once a page is read, a failure
// on a later one still hands out what the pages before it held.
strixa_status ReadEncodedBytes(strixa_reader& reader, std::span<const std::uint8_t> bytes,
                               const strixa_barcode** barcodes, size_t* count) {
  const auto start = std::chrono::steady_clock::now();
  const Format format = SniffFormat(bytes.first(std::min(bytes.size(), sniffLength)));
  if (const strixa_status status = CheckFormat(reader, format, bytes.size()); status != STRIXA_OK) {
    return status;
  }
  if (format == Format::Bmp) {
    MemoryReservation reservation;
    if (const strixa_status status = CheckBmpSize(reader, bytes, bytes.size(), reservation);
        status != STRIXA_OK) {
      return status;
    }
    if (const strixa_status status = BmpStatus(reader, DecodeBmp(bytes, reader.image));
        status != STRIXA_OK) {
      return status;
    }
    return FinishRead(reader, barcodes, count);
  }
  PageReader pages{reader, true, 0, STRIXA_OK, {}};
  std::string error;
  const DecodeLimits limits = LimitsOf(reader);
  const bool decoded = DecodePages(format, bytes, limits, std::ref(pages), error);
  strixa_status status = pages.status;
  if (status == STRIXA_OK && !decoded) {
    status = DecodeStatus(reader, error);
  }
  if (status == STRIXA_OK && format == Format::Pdf && reader.pdfRereading) {
    ReadPdfAgain(reader, bytes, limits, pages.pages, start);
    reader.error[0] = '\0';
  }
  if (status == STRIXA_OK || pages.pagesRead > 0) {
    Publish(reader, barcodes, count);
  }
  return status;
}

// A file: a bitmap streams through our own reader; any other format is read whole first, once
// its first bytes show it is one this build reads.
strixa_status ReadFileAt(strixa_reader& reader, const char* path, const strixa_barcode** barcodes,
                         size_t* count) {
  std::unique_ptr<ByteSource> source;
  if (!ByteSource::OpenFile(path, source)) {
    return Fail(reader, STRIXA_ERROR_FILE, "cannot open as a regular file");
  }
  const std::uint64_t size = source->Size();
  const std::span<const std::uint8_t> head =
      source->Peek(static_cast<std::size_t>(std::min<std::uint64_t>(size, sniffLength)));
  if (source->Failed()) {
    return Fail(reader, STRIXA_ERROR_FILE, "cannot read the file");
  }
  const Format format = SniffFormat(head);
  if (const strixa_status status = CheckFormat(reader, format, head.size()); status != STRIXA_OK) {
    return status;
  }
  if (format == Format::Bmp) {
    MemoryReservation reservation;
    if (const strixa_status status = CheckBmpSize(reader, head, size, reservation);
        status != STRIXA_OK) {
      return status;
    }
    if (const strixa_status status = BmpStatus(reader, ReadBmpSource(*source, reader.image));
        status != STRIXA_OK) {
      return status;
    }
    return FinishRead(reader, barcodes, count);
  }
  if (size > maxFileBytes) {
    return Fail(reader, STRIXA_ERROR_LIMIT, "file too large (more than %llu MiB)",
                static_cast<unsigned long long>(maxFileBytes >> 20));
  }
  std::vector<std::uint8_t> bytes;
  bytes.reserve(static_cast<std::size_t>(size));
  while (bytes.size() < size) {
    const std::size_t piece = static_cast<std::size_t>(
        std::min<std::uint64_t>(size - bytes.size(), ByteSource::maxPiece));
    const std::uint8_t* taken = source->Take(piece);
    if (taken == nullptr) {
      return Fail(reader, STRIXA_ERROR_FILE, "cannot read the file");
    }
    bytes.insert(bytes.end(), taken, taken + piece);
  }
  source.reset();
  return ReadEncodedBytes(reader, bytes, barcodes, count);
}

// The page option's values: a first page from 1, and a count of 0 (to the last) or more.
bool ValidPages(int first, int count) { return first >= 1 && count >= 0; }

// The engines strixa_reader_set_engine takes, as the pipeline names them.
bool FindEngine(strixa_engine value, Engine& engine) {
  switch (value) {
    case STRIXA_ENGINE_DOCUMENT:
      engine = Engine::Document;
      return true;
    case STRIXA_ENGINE_ROBUST:
      engine = Engine::Robust;
      return true;
    case STRIXA_ENGINE_BOTH:
      engine = Engine::Both;
      return true;
  }
  return false;
}

// The names strixa_reads_format takes.
struct FormatEntry {
  std::string_view name;
  Format format;
};

constexpr std::array<FormatEntry, 7> formatEntries = {{
    {"bmp", Format::Bmp},
    {"png", Format::Png},
    {"jpeg", Format::Jpeg},
    {"tiff", Format::Tiff},
    {"pnm", Format::Pnm},
    {"webp", Format::Webp},
    {"pdf", Format::Pdf},
}};

}  // namespace

}  // namespace strixa

extern "C" {

strixa_options strixa_default_options(void) { return {0, STRIXA_ALL_SYMBOLOGIES}; }

strixa_status strixa_reader_create(const strixa_options* options, strixa_reader** reader) {
  if (reader == nullptr) {
    return STRIXA_ERROR_ARGUMENT;
  }
  *reader = nullptr;
  const strixa_options chosen = options != nullptr ? *options : strixa_default_options();
  if ((chosen.symbologies & ~STRIXA_ALL_SYMBOLOGIES) != 0) {
    return STRIXA_ERROR_ARGUMENT;
  }
  strixa_reader* made = new (std::nothrow) strixa_reader;
  if (made == nullptr) {
    return STRIXA_ERROR_MEMORY;
  }
  made->fine = chosen.fine != 0;
  made->symbologies = chosen.symbologies;
  *reader = made;
  return STRIXA_OK;
}

void strixa_reader_destroy(strixa_reader* reader) { delete reader; }

strixa_status strixa_read_pixels(strixa_reader* reader, const void* pixels, int width, int height,
                                 ptrdiff_t stride, strixa_pixel_format format,
                                 const strixa_barcode** barcodes, size_t* count) {
  if (const strixa_status status = strixa::StartRead(reader, barcodes, count);
      status != STRIXA_OK) {
    return status;
  }
  try {
    strixa::GreyPlace layout;
    if (!strixa::FindGreyPlace(format, layout)) {
      return strixa::Fail(*reader, STRIXA_ERROR_ARGUMENT, "unknown pixel format %d",
                          static_cast<int>(format));
    }
    if (pixels == nullptr) {
      return strixa::Fail(*reader, STRIXA_ERROR_ARGUMENT, "pixels must not be null");
    }
    if (width < 1 || height < 1 || width > strixa::maxImageSide || height > strixa::maxImageSide) {
      return strixa::Fail(*reader, STRIXA_ERROR_ARGUMENT,
                          "a %d x %d picture: each side must be 1 to %d", width, height,
                          strixa::maxImageSide);
    }
    const ptrdiff_t rowBytes = static_cast<ptrdiff_t>(width) * layout.pixelStep;
    // Rows are addressed as row * stride, which must not overflow for the last row.
    if (stride > PTRDIFF_MAX / height || stride < -(PTRDIFF_MAX / height)) {
      return strixa::Fail(*reader, STRIXA_ERROR_ARGUMENT, "stride %lld is too large",
                          static_cast<long long>(stride));
    }
    if (stride < rowBytes && stride > -rowBytes) {
      return strixa::Fail(*reader, STRIXA_ERROR_ARGUMENT,
                          "stride %lld is shorter than a row of %lld bytes",
                          static_cast<long long>(stride), static_cast<long long>(rowBytes));
    }
    const auto* grey = static_cast<const std::uint8_t*>(pixels) + layout.greyOffset;
    if (!strixa::ViewPixels(grey, width, height, stride, layout.pixelStep, reader->image)) {
      return strixa::Fail(*reader, STRIXA_ERROR_ARGUMENT, "the pixels cannot be viewed");
    }
    return strixa::FinishRead(*reader, barcodes, count);
  } catch (...) {
    strixa::FreePixelBuffer(reader->image);
    return strixa::FailWithCurrentException(*reader);
  }
}

strixa_status strixa_read_bmp_file(strixa_reader* reader, const char* path,
                                   const strixa_barcode** barcodes, size_t* count) {
  if (const strixa_status status = strixa::StartRead(reader, barcodes, count);
      status != STRIXA_OK) {
    return status;
  }
  try {
    if (path == nullptr) {
      return strixa::Fail(*reader, STRIXA_ERROR_ARGUMENT, "path must not be null");
    }
    if (const strixa_status status = strixa::LoadBmpFile(*reader, path, reader->image);
        status != STRIXA_OK) {
      return status;
    }
    return strixa::FinishRead(*reader, barcodes, count);
  } catch (...) {
    strixa::FreePixelBuffer(reader->image);
    return strixa::FailWithCurrentException(*reader);
  }
}

strixa_status strixa_reader_set_pages(strixa_reader* reader, int first, int count) {
  if (reader == nullptr) {
    return STRIXA_ERROR_ARGUMENT;
  }
  if (!strixa::ValidPages(first, count)) {
    return strixa::Fail(*reader, STRIXA_ERROR_ARGUMENT,
                        "pages from %d, %d of them: the first is 1 or more, the count 0 or more",
                        first, count);
  }
  reader->firstPage = first;
  reader->pageCount = count;
  reader->error[0] = '\0';
  return STRIXA_OK;
}

strixa_status strixa_reader_set_pdf_dpi(strixa_reader* reader, int dpi) {
  if (reader == nullptr) {
    return STRIXA_ERROR_ARGUMENT;
  }
  if (dpi < strixa::minPdfDpi || dpi > strixa::maxPdfDpi) {
    return strixa::Fail(*reader, STRIXA_ERROR_ARGUMENT,
                        "a PDF resolution of %d dpi: it must be %d to %d", dpi, strixa::minPdfDpi,
                        strixa::maxPdfDpi);
  }
  reader->pdfDpi = dpi;
  reader->error[0] = '\0';
  return STRIXA_OK;
}

strixa_status strixa_reader_set_pdf_rereading(strixa_reader* reader, int enabled) {
  if (reader == nullptr) {
    return STRIXA_ERROR_ARGUMENT;
  }
  reader->pdfRereading = enabled != 0;
  reader->error[0] = '\0';
  return STRIXA_OK;
}

strixa_status strixa_reader_set_max_megapixels(strixa_reader* reader, int megapixels) {
  if (reader == nullptr) {
    return STRIXA_ERROR_ARGUMENT;
  }
  if (megapixels < 1 || megapixels > strixa::maxMegapixels) {
    return strixa::Fail(*reader, STRIXA_ERROR_ARGUMENT,
                        "a budget of %d megapixels: it must be 1 to %d", megapixels,
                        strixa::maxMegapixels);
  }
  reader->maxMegapixels = megapixels;
  reader->error[0] = '\0';
  return STRIXA_OK;
}

strixa_status strixa_budget_create(size_t bytes, strixa_budget** budget) {
  if (budget == nullptr) {
    return STRIXA_ERROR_ARGUMENT;
  }
  *budget = new (std::nothrow) strixa_budget(bytes);
  return *budget != nullptr ? STRIXA_OK : STRIXA_ERROR_MEMORY;
}

void strixa_budget_destroy(strixa_budget* budget) { delete budget; }

strixa_status strixa_budget_reserve(strixa_budget* budget, size_t bytes) {
  if (budget == nullptr) {
    return STRIXA_ERROR_ARGUMENT;
  }
  try {
    return budget->memory.Reserve(bytes) ? STRIXA_OK : STRIXA_ERROR_MEMORY;
  } catch (...) {
    return STRIXA_ERROR_MEMORY;
  }
}

strixa_status strixa_budget_release(strixa_budget* budget, size_t bytes) {
  if (budget == nullptr) {
    return STRIXA_ERROR_ARGUMENT;
  }
  budget->memory.Release(bytes);
  return STRIXA_OK;
}

size_t strixa_budget_total(const strixa_budget* budget) {
  return budget != nullptr ? budget->memory.Total() : 0;
}

size_t strixa_budget_used(const strixa_budget* budget) {
  return budget != nullptr ? budget->memory.Used() : 0;
}

strixa_status strixa_reader_set_budget(strixa_reader* reader, strixa_budget* budget) {
  if (reader == nullptr) {
    return STRIXA_ERROR_ARGUMENT;
  }
  reader->budget = budget != nullptr ? &budget->memory : nullptr;
  reader->error[0] = '\0';
  return STRIXA_OK;
}

strixa_status strixa_reader_set_page_callback(strixa_reader* reader, strixa_page_callback callback,
                                              void* user) {
  if (reader == nullptr) {
    return STRIXA_ERROR_ARGUMENT;
  }
  reader->pageCallback = callback;
  reader->pageCallbackUser = user;
  reader->error[0] = '\0';
  return STRIXA_OK;
}

strixa_status strixa_reader_set_engine(strixa_reader* reader, strixa_engine engine) {
  if (reader == nullptr) {
    return STRIXA_ERROR_ARGUMENT;
  }
  if (!strixa::FindEngine(engine, reader->engine)) {
    return strixa::Fail(*reader, STRIXA_ERROR_ARGUMENT,
                        "engine %d: it must be document (0), robust (1) or both (2)",
                        static_cast<int>(engine));
  }
  reader->error[0] = '\0';
  return STRIXA_OK;
}

strixa_status strixa_read_file(strixa_reader* reader, const char* path,
                               const strixa_barcode** barcodes, size_t* count) {
  if (const strixa_status status = strixa::StartRead(reader, barcodes, count);
      status != STRIXA_OK) {
    return status;
  }
  try {
    if (path == nullptr) {
      return strixa::Fail(*reader, STRIXA_ERROR_ARGUMENT, "path must not be null");
    }
    return strixa::ReadFileAt(*reader, path, barcodes, count);
  } catch (...) {
    strixa::FreePixelBuffer(reader->image);
    return strixa::FailWithCurrentException(*reader);
  }
}

strixa_status strixa_read_encoded(strixa_reader* reader, const void* bytes, size_t size,
                                  const strixa_barcode** barcodes, size_t* count) {
  if (const strixa_status status = strixa::StartRead(reader, barcodes, count);
      status != STRIXA_OK) {
    return status;
  }
  try {
    if (bytes == nullptr && size > 0) {
      return strixa::Fail(*reader, STRIXA_ERROR_ARGUMENT, "bytes must not be null");
    }
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    return strixa::ReadEncodedBytes(*reader, std::span(first, first == nullptr ? 0 : size),
                                    barcodes, count);
  } catch (...) {
    strixa::FreePixelBuffer(reader->image);
    return strixa::FailWithCurrentException(*reader);
  }
}

int strixa_reads_format(const char* name) {
  if (name == nullptr) {
    return 0;
  }
  for (const strixa::FormatEntry& entry : strixa::formatEntries) {
    if (entry.name == name) {
      return strixa::IsFormatBuilt(entry.format) ? 1 : 0;
    }
  }
  return 0;
}

const char* strixa_format_of(const void* bytes, size_t size) {
  if (bytes == nullptr) {
    return "";
  }
  const strixa::Format format = strixa::SniffFormat(
      std::span(static_cast<const std::uint8_t*>(bytes), std::min(size, strixa::sniffLength)));
  for (const strixa::FormatEntry& entry : strixa::formatEntries) {
    if (entry.format == format) {
      return entry.name.data();
    }
  }
  return "";
}

const char* strixa_format_title(const char* name) {
  if (name == nullptr) {
    return "";
  }
  for (const strixa::FormatEntry& entry : strixa::formatEntries) {
    if (entry.name == name) {
      return strixa::FormatName(entry.format).data();
    }
  }
  return "";
}

const char* strixa_symbology_name(strixa_symbology symbology) {
  switch (symbology) {
    case STRIXA_EAN13:
      return "ean13";
    case STRIXA_UPCA:
      return "upca";
    case STRIXA_EAN8:
      return "ean8";
    case STRIXA_CODE128:
      return "code128";
    case STRIXA_EAN128:
      return "ean128";
    case STRIXA_CODE39:
      return "code39";
    case STRIXA_TWO_OF_FIVE:
      return "2of5";
    case STRIXA_INTERLEAVED_TWO_OF_FIVE:
      return "itf";
  }
  return "unknown";
}

const char* strixa_orientation_name(strixa_orientation orientation) {
  switch (orientation) {
    case STRIXA_UPRIGHT:
      return "upright";
    case STRIXA_FLAT:
      return "flat";
    case STRIXA_UPRIGHT_REVERSED:
      return "upright-reversed";
    case STRIXA_FLAT_REVERSED:
      return "flat-reversed";
  }
  return "unknown";
}

const char* strixa_reader_error(const strixa_reader* reader) {
  return reader != nullptr ? reader->error.data() : "no reader";
}

const char* strixa_status_text(strixa_status status) {
  switch (status) {
    case STRIXA_OK:
      return "success";
    case STRIXA_ERROR_ARGUMENT:
      return "invalid argument";
    case STRIXA_ERROR_MEMORY:
      return "out of memory";
    case STRIXA_ERROR_FILE:
      return "the file cannot be opened or read";
    case STRIXA_ERROR_FORMAT:
      return "not a picture this library reads";
    case STRIXA_ERROR_INTERNAL:
      return "internal failure";
    case STRIXA_ERROR_LIMIT:
      return "the picture passes a limit";
  }
  return "unknown status";
}

const char* strixa_version(void) { return STRIXA_VERSION_STRING; }

}  // extern "C"
