// SPDX-License-Identifier: Apache-2.0
#include "formats/page.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <utility>

#include "formats/memoryBudget.h"

namespace strixa {

bool CheckPageSize(std::int64_t width, std::int64_t height, const DecodeLimits& limits,
                   std::string& error) {
  if (width < 1 || height < 1) {
    error = "picture has no pixels";
    return false;
  }
  if (width > limits.maxSide || height > limits.maxSide || width * height > limits.maxPixels) {
    error = "picture too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
    return false;
  }
  return true;
}

bool IsPageWanted(int page, const DecodeLimits& limits) {
  return page >= limits.firstPage && !IsPastLastPage(page, limits);
}

bool IsPastLastPage(int page, const DecodeLimits& limits) {
  return limits.lastPage > 0 && page > limits.lastPage;
}

DecodeFailure FailureOf(const std::string& error) {
  const auto has = [&](std::string_view part) { return error.find(part) != std::string::npos; };
  // The texts made here (CheckPageSize, FileBudget, PixelMemoryError) and by the decoders for
  // their page counts and drawing work.
  if (has("picture too large (") || has("over the file's budget") ||
      has("over the file's time budget") || has("memory budget") ||
      ((error.starts_with("TIFF: more than ") || error.starts_with("PDF: more than ")) &&
       has(" pages")) ||
      has("PDF: too much drawing") || has("PDF: page size out of range")) {
    return DecodeFailure::Limit;
  }
  if (error.starts_with("out of memory") || error.starts_with("PDF: out of memory")) {
    return DecodeFailure::Memory;
  }
  return DecodeFailure::Damaged;
}

void SetFileBudget(int megapixels, DecodeLimits& limits) {
  limits.maxFilePixels = std::int64_t{megapixels} << 20;
  limits.maxFileTime = std::chrono::milliseconds(std::max(10000, megapixels * 1000 / 16));
}

FileBudget::FileBudget(const DecodeLimits& limits)
    : limits_(limits), start_(std::chrono::steady_clock::now()) {
  if (limits.memory != nullptr) {
    waitedAtStart_ = limits.memory->Waited();
  }
}

std::chrono::steady_clock::duration FileBudget::Elapsed() const {
  const auto elapsed = std::chrono::steady_clock::now() - start_;
  return limits_.memory != nullptr ? elapsed - (limits_.memory->Waited() - waitedAtStart_)
                                   : elapsed;
}

bool FileBudget::SpendPage(std::int64_t width, std::int64_t height, std::string& error) {
  if (!CheckTime(error)) {
    return false;
  }
  pixels_ += width * height;
  if (pixels_ > limits_.maxFilePixels) {
    error =
        "over the file's budget of " + std::to_string(limits_.maxFilePixels >> 20) + " megapixels";
    return false;
  }
  return true;
}

bool FileBudget::TimeIsUp() const { return Elapsed() > limits_.maxFileTime; }

bool FileBudget::CheckTime(std::string& error) const {
  if (TimeIsUp()) {
    error = "over the file's time budget of " + std::to_string(limits_.maxFileTime.count() / 1000) +
            " s";
    return false;
  }
  return true;
}

std::unique_ptr<std::uint8_t[]> AllocatePixels(std::size_t size) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

std::unique_ptr<std::uint8_t[]> KeptPageBuffer::Take(std::size_t size, std::size_t& capacity) {
  if (!block_ || capacity_ < size) {
    return nullptr;
  }
  capacity = std::exchange(capacity_, 0);
  return std::move(block_);
}

void KeptPageBuffer::Give(std::unique_ptr<std::uint8_t[]> block, std::size_t capacity) {
  if (block && capacity > capacity_ && capacity <= maxKept) {
    block_ = std::move(block);
    capacity_ = capacity;
  }
}

void PixelRelease::operator()(std::uint8_t* pixels) const {
  if (kept != nullptr) {
    kept->Give(std::unique_ptr<std::uint8_t[]>(pixels), capacity);
  } else {
    delete[] pixels;
  }
  if (budget != nullptr) {
    budget->Release(size, owner);
  }
}

PixelBuffer AllocatePixels(std::size_t size, const DecodeLimits& limits) {
  if (limits.memory != nullptr && !limits.memory->Reserve(size)) {
    return PixelBuffer();
  }
  PixelRelease release{limits.memory, size, std::this_thread::get_id(), limits.keptPages, size};
  std::unique_ptr<std::uint8_t[]> pixels;
  if (limits.keptPages != nullptr) {
    pixels = limits.keptPages->Take(size, release.capacity);
  }
  if (!pixels) {
    pixels.reset(new (std::nothrow) std::uint8_t[size]);
    release.capacity = size;
  }
  if (!pixels) {
    release(nullptr);
    return PixelBuffer();
  }
  return PixelBuffer(pixels.release(), release);
}

std::string PixelMemoryError(std::size_t size, const DecodeLimits& limits) {
  if (limits.memory != nullptr && size > limits.memory->Total()) {
    return "out of memory (the picture needs more than the run's memory budget of " +
           std::to_string(limits.memory->Total() >> 20) + " MiB)";
  }
  return "out of memory";
}

bool MemoryReservation::Reserve(std::size_t size, const DecodeLimits& limits) {
  return Reserve(size, limits.memory);
}

bool MemoryReservation::Reserve(std::size_t size, MemoryBudget* budget) {
  Release();
  if (budget == nullptr || size == 0) {
    return true;
  }
  if (!budget->Reserve(size)) {
    return false;
  }
  budget_ = budget;
  size_ = size;
  return true;
}

void MemoryReservation::Release() {
  if (budget_ != nullptr) {
    budget_->Release(size_);
    budget_ = nullptr;
    size_ = 0;
  }
}

void FlattenOnWhite(std::uint8_t* pixels, int width, int height, std::ptrdiff_t stride) {
  for (int y = 0; y < height; ++y) {
    std::uint8_t* pixel = pixels + y * stride;
    for (int x = 0; x < width; ++x, pixel += 4) {
      const unsigned alpha = pixel[3];
      if (alpha != 255) {
        for (int c = 0; c < 3; ++c) {
          pixel[c] =
              static_cast<std::uint8_t>((pixel[c] * alpha + 255 * (255 - alpha) + 127) / 255);
        }
      }
    }
  }
}

}  // namespace strixa
