#include "batch.h"

#include <cerrno>
#include <cstdio>
#include <istream>
#include <memory>
#include <new>
#include <ostream>
#include <system_error>
#include <thread>

#include "formats/format.h"
#include "options.h"
#include "orderedPool.h"
#include "output.h"
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
                               OrientationName(found.orientation)});
  }
}

std::string SystemMessage(int code) { return std::generic_category().message(code); }

// Reads from file until its end, at most maxFileBytes in all, after what bytes holds already.
bool ReadRest(std::FILE* file, std::vector<std::uint8_t>& bytes, std::string& error) {
  std::size_t used = bytes.size();
  while (true) {
    if (bytes.size() - used < 65536) {
      bytes.resize(std::min(maxFileBytes + 1, std::max<std::size_t>(2 * bytes.size(), 1 << 20)));
    }
    const std::size_t got = std::fread(bytes.data() + used, 1, bytes.size() - used, file);
    used += got;
    if (used > maxFileBytes) {
      error = "file too large";
      return false;
    }
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

FileRecord ReadInputOrThrow(strixa_reader* reader, const InputItem& item,
                            const DecodeLimits& limits) {
  FileRecord record{item.path, {}, item.error};
  if (!record.error.empty()) {
    return record;
  }
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(item.path.c_str(), "rb"));
  if (!file) {
    record.error = "cannot open: " + SystemMessage(errno);
    return record;
  }
  std::vector<std::uint8_t> bytes(sniffLength);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
  const Format format = SniffFormat(bytes);
  const strixa_barcode* barcodes = nullptr;
  std::size_t count = 0;
  if (format == Format::Bmp) {
    // Bitmaps go through the library's own reader, which takes the path.
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
    return record;
  }
  if (!ReadRest(file.get(), bytes, record.error)) {
    return record;
  }
  file.reset();
  int page = 0;
  std::string readError;
  const bool decoded = DecodePages(
      format, bytes, limits,
      [&](const PageView& view) {
        ++page;
        if (!readError.empty()) {
          return;
        }
        if (strixa_read_pixels(reader, view.pixels, view.width, view.height, view.stride,
                               PixelFormat(view.layout), &barcodes, &count) != STRIXA_OK) {
          readError =
              std::string(strixa_reader_error(reader)) + " (page " + std::to_string(page) + ")";
          return;
        }
        AddBarcodes(barcodes, count, page, record);
      },
      record.error);
  if (decoded && !readError.empty()) {
    record.error = readError;
  }
  return record;
}

}  // namespace

FileRecord ReadInput(strixa_reader* reader, const InputItem& item, const DecodeLimits& limits) {
  try {
    return ReadInputOrThrow(reader, item, limits);
  } catch (const std::bad_alloc&) {
    return {item.path, {}, "out of memory"};
  } catch (const std::exception& problem) {
    return {item.path, {}, problem.what()};
  }
}

int RunBatch(const std::vector<std::string>& arguments, std::istream& input, std::ostream& output,
             std::ostream& errors, bool errorsIsTerminal) {
  BatchOptions options;
  std::string error;
  if (!ParseOptions(arguments, options, error)) {
    errors << "strixa-batch: " << error << "\nTry 'strixa-batch --help' for more information.\n";
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
  DecodeLimits limits;
  limits.dpi = options.dpi;
  SetFileBudget(options.maxMegapixels, limits);

  InputWalker walker{options.inputs, options.recursive, options.nulSeparated, &input, 0, false, {}};
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
  steps.work = [&](int worker, const InputItem& item) {
    return ReadInput(readers[static_cast<std::size_t>(worker)].get(), item, limits);
  };
  steps.emit = [&](FileRecord& record) {
    output << FormatRecords(options.format, record);
    output.flush();
    anyFound = anyFound || !record.barcodes.empty();
    if (!record.error.empty()) {
      anyUnreadable = true;
      ClearProgress(progress);
      errors << FormatErrorLine(record);
      errors.flush();
    }
    AdvanceProgress(progress);
  };
  // A few more inputs than workers may be taken, so one slow file does not idle the others.
  RunInOrder(threads, 4 * threads + 4, steps);

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
