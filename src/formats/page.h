// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace strixa {

class MemoryBudget;
class KeptPageBuffer;

// How the pixels of a decoded page lie in memory; the reader takes each as it is.
enum class PixelLayout { Grey8, Rgb24, Rgba32 };

// One decoded page, top row first, owned by its decoder until the sink returns.
struct PageView {
  const std::uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  std::ptrdiff_t stride = 0;  // bytes from one row to the next
  PixelLayout layout = PixelLayout::Grey8;
  // Making the page met damage in the file or took much of the decoder's limits: it is not worth
  // making again (PDF: at another resolution).
  bool costly = false;
  int number = 1;  // the page's place in its file, from 1
};

// What a decoder may spend on one file. Sides are held to what the library reads; the pixel
// count keeps one page within a few hundred megabytes whatever its header claims. The file's
// budget bounds all its pages together, so a file of many pages or slow drawing ends with an
// error after about maxFileSeconds, its pages read so far kept.
struct DecodeLimits {
  MemoryBudget* memory = nullptr;      // the pixel bytes all threads of the run share, or no limit
  MemoryBudget* fileMemory = nullptr;  // the same for the bytes of the files read, held whole
  int maxSide = 32767;
  std::int64_t maxPixels = std::int64_t{1} << 28;
  int dpi = 300;          // PDF pages are rendered at this resolution
  int maxPages = 100000;  // multi-page files stop with an error beyond this
  // PDF only: the pages to render, by index from 0; null renders every page.
  const std::vector<bool>* pdfPages = nullptr;
  std::int64_t maxFilePixels = std::int64_t{1} << 30;
  std::chrono::milliseconds maxFileTime{64000};
  // Multi-page files (TIFF, PDF): the pages to read, from 1; the others are passed over unmade.
  // lastPage 0 reads to the end.
  int firstPage = 1;
  int lastPage = 0;
  // A reader's page buffer kept from file to file, or none (see KeptPageBuffer).
  KeptPageBuffer* keptPages = nullptr;
};

// True when page (from 1) is within limits' firstPage .. lastPage.
bool IsPageWanted(int page, const DecodeLimits& limits);
// True once page (from 1) and every page after it are past limits.lastPage.
bool IsPastLastPage(int page, const DecodeLimits& limits);

// Why a decoder refused a file, told from its error: a limit of DecodeLimits or of the run's
// memory budget was reached, memory ran short, or the file is damaged or of a kind not read.
enum class DecodeFailure { Damaged, Limit, Memory };
DecodeFailure FailureOf(const std::string& error);

// A file budget of megapixels and, with it, time: a second for every 16 megapixels, at least
// 10 s (the default, 1024, gives 64 s).
void SetFileBudget(int megapixels, DecodeLimits& limits);

// What one file has spent of its limits so far; the time counts from construction and includes
// the reading of pages handed over, but not the waits of this thread for the run's memory.
class FileBudget {
 public:
  explicit FileBudget(const DecodeLimits& limits);
  // Takes a page of width x height from the budget; false, with error set, once it is spent.
  bool SpendPage(std::int64_t width, std::int64_t height, std::string& error);
  // False, with error set, once the file's time is up.
  bool CheckTime(std::string& error) const;
  bool TimeIsUp() const;

 private:
  std::chrono::steady_clock::duration Elapsed() const;

  const DecodeLimits& limits_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::duration waitedAtStart_{};
  std::int64_t pixels_ = 0;
};

// Receives each page in turn; the view is valid only during the call.
using PageSink = std::function<void(const PageView& page)>;

// True when width x height fits the limits; otherwise error names why.
bool CheckPageSize(std::int64_t width, std::int64_t height, const DecodeLimits& limits,
                   std::string& error);

// An uninitialised pixel buffer; null when memory is short.
std::unique_ptr<std::uint8_t[]> AllocatePixels(std::size_t size);

// The largest page buffer a reader has used, kept for its next files. A fresh block of a page's
// size is new memory that the system faults in page by page, as costly as a good part of the
// decoding; an allocator that maps each large block anew (glibc once MALLOC_TRIM_THRESHOLD_ is
// set, as Dask's workers have it) pays that on every page. Blocks past maxKept are given back at
// once, so an idle reader holds no more than that. Belongs to one reader, so to one thread.
class KeptPageBuffer {
 public:
  static constexpr std::size_t maxKept = std::size_t{64} << 20;
  // The kept block, no longer kept, when it holds size bytes (capacity set to its length);
  // otherwise null.
  std::unique_ptr<std::uint8_t[]> Take(std::size_t size, std::size_t& capacity);
  // Keeps block of capacity bytes in place of a smaller one, within maxKept; frees it otherwise.
  void Give(std::unique_ptr<std::uint8_t[]> block, std::size_t capacity);
  std::size_t Capacity() const { return capacity_; }

 private:
  std::unique_ptr<std::uint8_t[]> block_;
  std::size_t capacity_ = 0;
};

// Frees a page buffer, or gives it back to the reader that keeps it, and gives its bytes back to
// the budget they were counted against.
struct PixelRelease {
  MemoryBudget* budget = nullptr;
  std::size_t size = 0;
  std::thread::id owner;
  KeptPageBuffer* kept = nullptr;
  std::size_t capacity = 0;  // the block's length, size or more when it came from kept
  void operator()(std::uint8_t* pixels) const;
};
using PixelBuffer = std::unique_ptr<std::uint8_t[], PixelRelease>;

// The same, counted against limits.memory while it lives (waiting while other threads hold too
// much of it): a reader's page buffers should come from here. The block comes from
// limits.keptPages when that holds one large enough, and goes back to it. Null when memory is
// short or the budget cannot hold it.
PixelBuffer AllocatePixels(std::size_t size, const DecodeLimits& limits);

// The error for a page buffer of size bytes that AllocatePixels could not give.
std::string PixelMemoryError(std::size_t size, const DecodeLimits& limits);

// Bytes set aside in limits.memory for as long as this lives, for memory a decoder library
// allocates itself; nothing without a budget.
class MemoryReservation {
 public:
  MemoryReservation() = default;
  MemoryReservation(const MemoryReservation&) = delete;
  MemoryReservation& operator=(const MemoryReservation&) = delete;
  ~MemoryReservation() { Release(); }
  // False when the budget cannot hold size (more bytes than it has, or waiting could not end).
  // Gives back what was held before.
  bool Reserve(std::size_t size, const DecodeLimits& limits);
  // The same in budget, or nothing when it is null.
  bool Reserve(std::size_t size, MemoryBudget* budget);
  void Release();

 private:
  MemoryBudget* budget_ = nullptr;
  std::size_t size_ = 0;
};

// Lays RGBA pixels over a white page in place: a transparent background must not read as black
// bars. Alpha is left as it was, and ignored by the reader.
void FlattenOnWhite(std::uint8_t* pixels, int width, int height, std::ptrdiff_t stride);

}  // namespace strixa
