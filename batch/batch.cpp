// SPDX-License-Identifier: Apache-2.0
#include "batch.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <istream>
#include <memory>
#include <new>
#include <ostream>
#include <span>
#include <system_error>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "formats/format.h"
#include "formats/memoryBudget.h"
#include "image/image.h"
#include "options.h"
#include "orderedPool.h"
#include "output.h"
#include "platform/bitmap.h"
#include "platform/bmpHeader.h"
#include "platform/escape.h"
#include "progress.h"
#include "strixa/strixa.h"

namespace strixa {

namespace {

struct ReaderDeleter {
  void operator()(strixa_reader* reader) const { strixa_reader_destroy(reader); }
};
using ReaderHandle = std::unique_ptr<strixa_reader, ReaderDeleter>;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

const char* OrientationName(strixa_orientation orientation) {
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

void AddBarcodes(const strixa_barcode* barcodes, std::size_t count, int page, FileRecord& record) {
  for (std::size_t i = 0; i < count; ++i) {
    const strixa_barcode& found = barcodes[i];
    record.barcodes.push_back({page, SymbologyName(found.symbology), found.label, found.text,
                               found.x, found.y, found.width, found.height,
                               OrientationName(found.orientation),
                               std::string(found.data, found.data_length), found.symbology_id});
  }
}

std::string SystemMessage(int code) { return std::generic_category().message(code); }

std::string FileTooLargeError() {
  return "file too large (more than " + std::to_string(maxFileBytes >> 20) + " MiB)";
}

// Reads from file until its end, at most maxFileBytes in all, after what bytes holds already.
// size is the file's own when known, 0 for a pipe: a file over the limit is refused unread,
// and one within it read into a buffer of its size; a pipe's buffer doubles as it fills. The
// buffer is held in limits.fileMemory, waiting while other threads hold too much of it.
bool ReadRest(std::FILE* file, std::uint64_t size, const DecodeLimits& limits,
              MemoryReservation& held, std::vector<std::uint8_t>& bytes, std::string& error) {
  if (size > maxFileBytes) {
    error = FileTooLargeError();
    return false;
  }
  std::size_t used = bytes.size();
  const auto grow = [&](std::size_t capacity) {
    if (!held.Reserve(capacity, limits.fileMemory)) {
      error = "out of memory (more than the run's budget of " +
              std::to_string(limits.fileMemory->Total() >> 20) + " MiB for files read)";
      return false;
    }
    bytes.resize(capacity);
    return true;
  };
  if (!grow(std::max<std::size_t>(used, size > 0 ? size : 1 << 20))) {
    return false;
  }
  while (true) {
    if (used == bytes.size()) {
      // Full: one byte more tells whether the file goes on.
      const int next = std::fgetc(file);
      if (next == EOF) {
        break;
      }
      if (used >= maxFileBytes) {
        error = FileTooLargeError();
        return false;
      }
      if (!grow(std::min(maxFileBytes, 2 * used))) {
        return false;
      }
      bytes[used++] = static_cast<std::uint8_t>(next);
    }
    const std::size_t got = std::fread(bytes.data() + used, 1, bytes.size() - used, file);
    used += got;
    if (got == 0) {
      break;
    }
  }
  if (std::ferror(file) != 0) {
    error = "cannot read: " + SystemMessage(errno);
    return false;
  }
  bytes.resize(used);
  return true;
}

// Opens an input without waiting: open() on a FIFO blocks until a writer comes, which for a FIFO
// named in a list may be never. A regular file is read; a pipe only when named on the command
// line (/dev/stdin, <(...)), when stream is set. Null with error set otherwise.
std::FILE* OpenInput(const InputItem& item, bool& stream, std::string& error) {
  stream = false;
  errno = 0;
#ifdef _WIN32
  std::FILE* file = std::fopen(item.path.c_str(), "rb");
#else
  const int descriptor = ::open(item.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (descriptor < 0) {
    error = "cannot open: " + SystemMessage(errno);
    return nullptr;
  }
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 ||
      !(S_ISREG(status.st_mode) || (S_ISFIFO(status.st_mode) && item.named))) {
    ::close(descriptor);
    error = S_ISFIFO(status.st_mode)
                ? "not a regular file (a pipe is read only when named on the command line)"
                : "not a regular file";
    return nullptr;
  }
  stream = S_ISFIFO(status.st_mode);
  // Reads wait for the writer again: a pipe with none left reads as its end.
  if (::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(descriptor);
    error = "cannot read: " + SystemMessage(errno);
    return nullptr;
  }
  std::FILE* file = ::fdopen(descriptor, "rb");
  if (file == nullptr) {
    ::close(descriptor);
  }
#endif
  if (file == nullptr) {
    error = "cannot open: " + SystemMessage(errno);
  }
  return file;
}

// A bitmap that came through a pipe, with our own reader over its bytes; pixels the file left
// unset are zero, black, as the reader takes them.
bool DecodeBmpBytes(std::span<const std::uint8_t> bytes, const PageSink& sink, std::string& error) {
  Image image;
  switch (DecodeBmp(bytes, image)) {
    case BmpRefusal::None:
      sink(PageView{image.greyBytes, image.imageWidth, image.imageHeight, image.rowPitch,
                    PixelLayout::Grey8});
      return true;
    case BmpRefusal::OutOfMemory:
      error = "out of memory";
      return false;
    // Bytes in memory cannot fail to open or read.
    case BmpRefusal::CannotOpen:
    case BmpRefusal::ReadFailed:
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
  error = "not a bitmap this program reads";
  return false;
}

// Sets aside the grey bytes a bitmap's pixels will take in our reader, as its headers state them,
// before the reader allocates them. False with error set when the budget cannot hold them;
// headers the reader will refuse reserve nothing.
bool ReserveBitmap(std::span<const std::uint8_t> head, std::uint64_t fileSize,
                   const DecodeLimits& limits, MemoryReservation& reservation, std::string& error) {
  BmpLayout layout;
  if (limits.memory == nullptr || ReadBmpLayout(head, fileSize, layout) != BmpRefusal::None) {
    return true;
  }
  const std::size_t size =
      static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height);
  if (!reservation.Reserve(size, limits)) {
    error = PixelMemoryError(size, limits);
    return false;
  }
  return true;
}

strixa_pixel_format PixelFormat(PixelLayout layout) {
  switch (layout) {
    case PixelLayout::Grey8:
      return STRIXA_GREY8;
    case PixelLayout::Rgb24:
      return STRIXA_RGB24;
    case PixelLayout::Rgba32:
      break;
  }
  return STRIXA_RGBA32;
}

bool Overlap(const BarcodeRecord& a, const BarcodeRecord& b) {
  return a.x <= b.x + b.width && b.x <= a.x + a.width && a.y <= b.y + b.height &&
         b.y <= a.y + a.height;
}

// A PDF page has no pixel size of its own: a picture placed at 72 dpi comes out four times too
// large at 300, one scanned at 600 half its size, and symbols far from the sizes the reader
// expects are missed. So every page is read again at half the resolution, and a page still
// without barcodes at twice it, but for pages whose first rendering was costly (damaged, or
// much drawing): pageCount pages, costly[i] for page i + 1. What a retry adds is scaled to the
// first rendering's pixels; its failures (a page too large at twice the resolution) cost only
// the retry. The first rendering's barcodes (already handed on) are in firstFound; what the
// retries add goes to record, and the retries share the file's time budget, from fileStart.
void ReadPdfAgain(strixa_reader* reader, std::span<const std::uint8_t> bytes,
                  const DecodeLimits& limits, int pageCount, const std::vector<bool>& costly,
                  std::chrono::steady_clock::time_point fileStart,
                  const std::vector<BarcodeRecord>& firstFound, FileRecord& record) {
  const auto onPage = [&](int number) {
    const auto on = [&](const BarcodeRecord& b) { return b.page == number; };
    return std::ranges::any_of(firstFound, on) || std::ranges::any_of(record.barcodes, on);
  };
  const auto readAgain = [&](int dpi, const std::vector<int>& pageNumbers) {
    if (dpi < minimumDpi || pageNumbers.empty()) {
      return;
    }
    std::vector<bool> chosen(static_cast<std::size_t>(pageCount), false);
    for (const int number : pageNumbers) {
      chosen[static_cast<std::size_t>(number - 1)] = true;
    }
    DecodeLimits retry = limits;
    retry.maxFileTime -= std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - fileStart);
    if (retry.maxFileTime <= std::chrono::milliseconds::zero()) {
      return;
    }
    retry.dpi = dpi;
    retry.pdfPages = &chosen;
    FileRecord found;
    std::size_t next = 0;
    std::string ignored;
    DecodePages(
        Format::Pdf, bytes, retry,
        [&](const PageView& view) {
          const int page = pageNumbers[std::min(next++, pageNumbers.size() - 1)];
          const strixa_barcode* barcodes = nullptr;
          std::size_t count = 0;
          if (strixa_read_pixels(reader, view.pixels, view.width, view.height, view.stride,
                                 PixelFormat(view.layout), &barcodes, &count) == STRIXA_OK) {
            AddBarcodes(barcodes, count, page, found);
          }
        },
        ignored);
    const double scale = static_cast<double>(limits.dpi) / dpi;
    for (BarcodeRecord& barcode : found.barcodes) {
      barcode.x = 1 + static_cast<int>(std::lround((barcode.x - 1) * scale));
      barcode.y = 1 + static_cast<int>(std::lround((barcode.y - 1) * scale));
      barcode.width = static_cast<int>(std::lround(barcode.width * scale));
      barcode.height = static_cast<int>(std::lround(barcode.height * scale));
      const auto same = [&](const BarcodeRecord& old) {
        return old.page == barcode.page && old.label == barcode.label && old.data == barcode.data &&
               Overlap(old, barcode);
      };
      const bool known =
          std::ranges::any_of(firstFound, same) || std::ranges::any_of(record.barcodes, same);
      if (!known) {
        record.barcodes.push_back(std::move(barcode));
      }
    }
    std::ranges::stable_sort(record.barcodes, {}, &BarcodeRecord::page);
  };
  std::vector<int> every;
  for (int number = 1; number <= pageCount; ++number) {
    if (!costly[static_cast<std::size_t>(number - 1)]) {
      every.push_back(number);
    }
  }
  readAgain(limits.dpi / 2, every);
  for (const int number : every) {
    if (!onPage(number)) {
      readAgain(limits.dpi * 2, {number});
    }
  }
}

FileRecord ReadInputOrThrow(strixa_reader* reader, const InputItem& item,
                            const DecodeLimits& limits, const RecordSink& sink) {
  FileRecord record{item.path, {}, item.error};
  if (!record.error.empty()) {
    return record;
  }
  bool stream = false;
  std::unique_ptr<std::FILE, FileCloser> file(OpenInput(item, stream, record.error));
  if (!file) {
    return record;
  }
  MemoryReservation heldBytes;  // outlives bytes
  std::vector<std::uint8_t> bytes(sniffLength);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
  const Format format = SniffFormat(bytes);
  const strixa_barcode* barcodes = nullptr;
  std::size_t count = 0;
  if (format == Format::Bmp && !stream) {
    // Bitmaps in files go through the library's own reader, which takes the path.
    std::error_code problem;
    const std::uint64_t fileSize = std::filesystem::file_size(item.path, problem);
    MemoryReservation reservation;
    if (!ReserveBitmap(bytes, problem ? 0 : fileSize, limits, reservation, record.error)) {
      return record;
    }
    file.reset();
    if (strixa_read_bmp_file(reader, item.path.c_str(), &barcodes, &count) != STRIXA_OK) {
      record.error = strixa_reader_error(reader);
    } else {
      AddBarcodes(barcodes, count, 1, record);
    }
    return record;
  }
  if (format == Format::Unknown || !IsFormatBuilt(format)) {
    DecodePages(format, {}, limits, nullptr, record.error);
    if (stream && bytes.empty()) {
      record.error = "the pipe was empty";
    }
    return record;
  }
  std::error_code problem;
  const std::uint64_t fileSize = stream ? 0 : std::filesystem::file_size(item.path, problem);
  if (!ReadRest(file.get(), problem ? 0 : fileSize, limits, heldBytes, bytes, record.error)) {
    return record;
  }
  file.reset();
  const auto fileStart = std::chrono::steady_clock::now();
  int page = 0;
  std::string readError;
  std::vector<BarcodeRecord> pdfFound;  // what a PDF's retries must not repeat
  std::vector<bool> costlyPages;        // those a PDF's retries pass over
  const auto readPage = [&](const PageView& view) {
    ++page;
    costlyPages.push_back(view.costly);
    if (!readError.empty()) {
      return;
    }
    if (strixa_read_pixels(reader, view.pixels, view.width, view.height, view.stride,
                           PixelFormat(view.layout), &barcodes, &count) != STRIXA_OK) {
      readError = std::string(strixa_reader_error(reader)) + " (page " + std::to_string(page) + ")";
      return;
    }
    AddBarcodes(barcodes, count, page, record);
    if (format == Format::Pdf) {
      pdfFound.insert(pdfFound.end(), record.barcodes.begin(), record.barcodes.end());
    }
    if (sink && !record.barcodes.empty()) {
      // Out at once: a long file holds nothing back that is already read.
      sink(FileRecord{record.path, std::move(record.barcodes), {}});
      record.barcodes.clear();
    }
  };
  bool decoded = false;
  if (format == Format::Bmp) {
    MemoryReservation reservation;
    if (!ReserveBitmap(bytes, bytes.size(), limits, reservation, record.error)) {
      return record;
    }
    decoded = DecodeBmpBytes(bytes, readPage, record.error);
  } else {
    decoded = DecodePages(format, bytes, limits, readPage, record.error);
  }
  if (decoded && !readError.empty()) {
    record.error = readError;
  }
  if (format == Format::Pdf && decoded && record.error.empty()) {
    ReadPdfAgain(reader, bytes, limits, page, costlyPages, fileStart, pdfFound, record);
  }
  return record;
}

}  // namespace

FileRecord ReadInput(strixa_reader* reader, const InputItem& item, const DecodeLimits& limits,
                     const RecordSink& sink) {
  try {
    return ReadInputOrThrow(reader, item, limits, sink);
  } catch (const std::bad_alloc&) {
    return {item.path, {}, "out of memory"};
  } catch (const std::exception& problem) {
    return {item.path, {}, problem.what()};
  }
}

int RunBatch(const std::vector<std::string>& arguments, std::istream& input, std::ostream& output,
             std::ostream& errors, bool errorsIsTerminal, bool outputIsTerminal) {
  BatchOptions options;
  std::string error;
  if (!ParseOptions(arguments, options, error)) {
    errors << "strixa-batch: " << EscapeControlCharacters(error)
           << "\nTry 'strixa-batch --help' for more information.\n";
    return exitUsage;
  }
  if (options.help) {
    output << HelpText();
    return exitFound;
  }
  if (options.version) {
    output << "strixa-batch (Strixa) " << strixa_version() << "\n";
    return exitFound;
  }
  const int threads = options.threads > 0
                          ? options.threads
                          : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  strixa_options readerOptions = strixa_default_options();
  readerOptions.fine = options.fine ? 1 : 0;
  readerOptions.symbologies = options.symbologies;
  std::vector<ReaderHandle> readers;
  for (int i = 0; i < threads; ++i) {
    strixa_reader* reader = nullptr;
    const strixa_status status = strixa_reader_create(&readerOptions, &reader);
    if (status != STRIXA_OK) {
      errors << "strixa-batch: " << strixa_status_text(status) << "\n";
      return exitUnreadable;
    }
    readers.emplace_back(reader);
  }
  SilenceDecoderMessages();
  MemoryBudget memory(pixelMemoryBudget);
  MemoryBudget fileMemory(maxFileBytes);

  DecodeLimits limits;
  limits.dpi = options.dpi;
  SetFileBudget(options.maxMegapixels, limits);

  InputWalker walker;
  walker.inputs = options.inputs;
  walker.recursive = options.recursive;
  walker.nulSeparated = options.nulSeparated;
  walker.list = &input;
  limits.memory = &memory;
  limits.fileMemory = &fileMemory;
  ProgressBar progress;
  std::vector<InputItem> counted;  // the whole list, only when the bar needs its length
  std::size_t nextCounted = 0;
  if (options.progress == ProgressMode::On ||
      (options.progress == ProgressMode::Auto && errorsIsTerminal)) {
    progress.out = &errors;
    for (InputItem item; NextInput(walker, item);) {
      counted.push_back(std::move(item));
    }
    progress.total = counted.size();
  }

  if (options.header) {
    output << FormatHeader(options.format);
  }
  const bool summarize = options.summary == ProgressMode::On ||
                         (options.summary == ProgressMode::Auto && errorsIsTerminal);
  BatchSummary summary;
  const auto started = std::chrono::steady_clock::now();
  bool anyUnreadable = false;
  bool anyFound = false;
  PoolSteps steps;
  steps.next = [&](InputItem& item) {
    if (progress.out == nullptr) {
      return NextInput(walker, item);
    }
    if (nextCounted == counted.size()) {
      return false;
    }
    item = std::move(counted[nextCounted++]);
    return true;
  };
  steps.work = [&](int worker, const InputItem& item, const RecordSink& sink) {
    return ReadInput(readers[static_cast<std::size_t>(worker)].get(), item, limits, sink);
  };
  // The input being emitted: how many barcodes its parts held so far.
  std::size_t fileBarcodes = 0;
  steps.emit = [&](FileRecord& record, bool last) {
    fileBarcodes += record.barcodes.size();
    // Standard output may be the terminal the bar is drawn on: records start on a clean line.
    if (outputIsTerminal) {
      ClearProgress(progress);
    }
    // A last part with nothing of its own after pages with barcodes is no nothing-found record.
    if (!last || !record.barcodes.empty() || !record.error.empty() || fileBarcodes == 0) {
      output << FormatRecords(options.format, record, options.listEmpty, options.guardFormulas);
    }
    if (last) {
      CountFile(fileBarcodes, !record.error.empty(), summary);
      fileBarcodes = 0;
    }
    output.flush();
    anyFound = anyFound || !record.barcodes.empty();
    if (!record.error.empty()) {
      anyUnreadable = true;
      ClearProgress(progress);
      errors << FormatErrorLine(record);
      errors.flush();
    }
    if (last) {
      AdvanceProgress(progress);
    }
    // A closed output (SIGPIPE ignored) ends the run at once, not after every file is read.
    return static_cast<bool>(output);
  };
  // A few more inputs than workers may be taken, so one slow file does not idle the others.
  RunInOrder(threads, 4 * threads + 4, steps);
  if (summarize) {
    ClearProgress(progress);
    errors << FormatSummary(
        summary, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    errors.flush();
  }

  if (!output) {
    errors << "strixa-batch: write error\n";
    return exitUnreadable;
  }
  if (anyUnreadable) {
    return exitUnreadable;
  }
  return anyFound ? exitFound : exitNothingFound;
}

}  // namespace strixa
