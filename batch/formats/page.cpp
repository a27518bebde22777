#include "formats/page.h"

#include <new>

#include "memoryBudget.h"

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

std::unique_ptr<std::uint8_t[]> AllocatePixels(std::size_t size) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

void PixelRelease::operator()(std::uint8_t* pixels) const {
  delete[] pixels;
  if (budget != nullptr) {
    budget->Release(size, owner);
  }
}

PixelBuffer AllocatePixels(std::size_t size, const DecodeLimits& limits) {
  if (limits.memory != nullptr && !limits.memory->Reserve(size)) {
    return PixelBuffer();
  }
  const PixelRelease release{limits.memory, size, std::this_thread::get_id()};
  auto* pixels = new (std::nothrow) std::uint8_t[size];
  if (pixels == nullptr) {
    release(nullptr);
    return PixelBuffer();
  }
  return PixelBuffer(pixels, release);
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
