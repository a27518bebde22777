// SPDX-License-Identifier: Apache-2.0
#include "batch.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <istream>
#include <memory>
#include <new>
#include <ostream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "options.h"
#include "orderedPool.h"
#include "output.h"
#include "platform/escape.h"
#include "progress.h"
#include "strixa/strixa.h"

namespace strixa {

namespace {

struct ReaderDeleter {
  void operator()(strixa_reader* reader) const { strixa_reader_destroy(reader); }
};
using ReaderHandle = std::unique_ptr<strixa_reader, ReaderDeleter>;

struct BudgetDeleter {
  void operator()(strixa_budget* budget) const { strixa_budget_destroy(budget); }
};
using BudgetHandle = std::unique_ptr<strixa_budget, BudgetDeleter>;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Bytes held in a budget for as long as this lives; nothing without a budget.
class BudgetHold {
 public:
  explicit BudgetHold(strixa_budget* budget) : budget_(budget) {}
  BudgetHold(const BudgetHold&) = delete;
  BudgetHold& operator=(const BudgetHold&) = delete;
  ~BudgetHold() { Release(); }
  // Holds size bytes in place of those held before; false when the budget cannot hold them.
  bool Hold(std::size_t size) {
    Release();
    if (budget_ == nullptr || strixa_budget_reserve(budget_, size) != STRIXA_OK) {
      return budget_ == nullptr;
    }
    size_ = size;
    return true;
  }
  void Release() {
    if (size_ > 0) {
      strixa_budget_release(budget_, size_);
      size_ = 0;
    }
  }

 private:
  strixa_budget* budget_;
  std::size_t size_ = 0;
};

void AddBarcodes(const strixa_barcode* barcodes, std::size_t count, FileRecord& record) {
  for (std::size_t i = 0; i < count; ++i) {
    const strixa_barcode& found = barcodes[i];
    BarcodeRecord& barcode = record.barcodes.emplace_back(BarcodeRecord{
        found.page, strixa_symbology_name(found.symbology), found.label, found.text, found.x,
        found.y, found.width, found.height, strixa_orientation_name(found.orientation),
        std::string(found.data, found.data_length), found.symbology_id});
    for (std::size_t corner = 0; corner < barcode.corners.size(); ++corner) {
      barcode.corners[corner] = {found.corners[corner].x, found.corners[corner].y};
    }
    barcode.angle = found.angle;
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
bool ReadRest(std::FILE* file, std::uint64_t size, const FileLimits& limits, BudgetHold& held,
              std::vector<std::uint8_t>& bytes, std::string& error) {
  if (size > maxFileBytes) {
    error = FileTooLargeError();
    return false;
  }
  std::size_t used = bytes.size();
  const auto grow = [&](std::size_t capacity) {
    if (!held.Hold(capacity)) {
      error = "out of memory (more than the run's budget of " +
              std::to_string(strixa_budget_total(limits.fileMemory) >> 20) + " MiB for files read)";
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

// Where each page's barcodes go as the library hands them over: to the sink at once, or into
// the record without one. Nothing may be thrown through the library, so a failure is kept for
// after the read.
struct PageDelivery {
  FileRecord* record = nullptr;
  const RecordSink* sink = nullptr;
  std::exception_ptr failure;
};

void DeliverPage(void* user, const strixa_barcode* barcodes, std::size_t count) {
  auto& delivery = *static_cast<PageDelivery*>(user);
  if (delivery.failure || count == 0) {
    return;
  }
  try {
    FileRecord& record = *delivery.record;
    AddBarcodes(barcodes, count, record);
    if (*delivery.sink) {
      // Out at once: a long file holds nothing back that is already read.
      (*delivery.sink)(FileRecord{record.path, std::move(record.barcodes), {}});
      record.barcodes.clear();
    }
  } catch (...) {
    delivery.failure = std::current_exception();
  }
}

FileRecord ReadInputOrThrow(strixa_reader* reader, const InputItem& item, const FileLimits& limits,
                            const RecordSink& sink) {
  FileRecord record{item.path, {}, item.error};
  if (!record.error.empty()) {
    return record;
  }
  bool stream = false;
  std::unique_ptr<std::FILE, FileCloser> file(OpenInput(item, stream, record.error));
  if (!file) {
    return record;
  }
  BudgetHold heldBytes(limits.fileMemory);  // outlives bytes
  std::vector<std::uint8_t> bytes(sniffLength);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
  const std::string format = strixa_format_of(bytes.data(), bytes.size());
  if (format.empty()) {
    // An empty file is most often a copy or a download cut short: say so, as the library does.
    record.error = !bytes.empty() ? "unknown format"
                   : stream       ? "the pipe was empty"
                                  : "the file is empty";
    return record;
  }
  if (strixa_reads_format(format.c_str()) == 0) {
    record.error = "unsupported format (" + std::string(strixa_format_title(format.c_str())) +
                   " not built in)";
    return record;
  }
  PageDelivery delivery{&record, &sink, {}};
  strixa_reader_set_page_callback(reader, DeliverPage, &delivery);
  const strixa_barcode* barcodes = nullptr;
  std::size_t count = 0;
  strixa_status status = STRIXA_OK;
  if (format == "bmp" && !stream) {
    // The library streams a bitmap file from its path, never holding it whole.
    file.reset();
    status = strixa_read_file(reader, item.path.c_str(), &barcodes, &count);
  } else {
    std::error_code problem;
    const std::uint64_t fileSize = stream ? 0 : std::filesystem::file_size(item.path, problem);
    if (!ReadRest(file.get(), problem ? 0 : fileSize, limits, heldBytes, bytes, record.error)) {
      return record;
    }
    file.reset();
    status = strixa_read_encoded(reader, bytes.data(), bytes.size(), &barcodes, &count);
  }
  if (status != STRIXA_OK) {
    record.error = strixa_reader_error(reader);
  }
  // Before anything is thrown: the delivery ends with this call.
  strixa_reader_set_page_callback(reader, nullptr, nullptr);
  if (delivery.failure) {
    std::rethrow_exception(delivery.failure);
  }
  return record;
}

}  // namespace

FileRecord ReadInput(strixa_reader* reader, const InputItem& item, const FileLimits& limits,
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
  // The pixel buffers all readers hold at once, and the files read whole, each in a budget.
  const BudgetHandle memory([] {
    strixa_budget* made = nullptr;
    return strixa_budget_create(pixelMemoryBudget, &made) == STRIXA_OK ? made : nullptr;
  }());
  const BudgetHandle fileMemory([] {
    strixa_budget* made = nullptr;
    return strixa_budget_create(maxFileBytes, &made) == STRIXA_OK ? made : nullptr;
  }());
  if (!memory || !fileMemory) {
    errors << "strixa-batch: " << strixa_status_text(STRIXA_ERROR_MEMORY) << "\n";
    return exitUnreadable;
  }
  std::vector<ReaderHandle> readers;
  for (int i = 0; i < threads; ++i) {
    strixa_reader* made = nullptr;
    strixa_status status = strixa_reader_create(&readerOptions, &made);
    ReaderHandle reader(made);
    // Each PDF page is also read at other resolutions (see --help).
    if (status == STRIXA_OK) {
      status = strixa_reader_set_budget(made, memory.get());
    }
    if (status == STRIXA_OK) {
      status = strixa_reader_set_pdf_dpi(made, options.dpi);
    }
    if (status == STRIXA_OK) {
      status = strixa_reader_set_pdf_rereading(made, 1);
    }
    if (status == STRIXA_OK) {
      status = strixa_reader_set_max_megapixels(made, options.maxMegapixels);
    }
    if (status == STRIXA_OK) {
      status = strixa_reader_set_engine(made, options.engine);
    }
    if (status != STRIXA_OK) {
      errors << "strixa-batch: " << strixa_status_text(status) << "\n";
      return exitUnreadable;
    }
    readers.push_back(std::move(reader));
  }
  FileLimits limits;
  limits.fileMemory = fileMemory.get();

  InputWalker walker;
  walker.inputs = options.inputs;
  walker.recursive = options.recursive;
  walker.nulSeparated = options.nulSeparated;
  walker.list = &input;
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
