#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/largeBuffer.h"

namespace strixa {

struct Platform;

// The picture as 32-bit pixels (blue, green, red, unused), top row first, rows without gaps.
struct Image {
  LargeBuffer pixelBuffer;
  int imageWidth = 0;
  int imageHeight = 0;
  int bitsPerPixel = 0;
  int bytesPerPixel = 0;
  int rowPitch = 0;
};

// Sides are carried as 16-bit signed values, so no picture may exceed this.
inline constexpr int maxImageSide = 32767;

// Allocates an uninitialised buffer for width x height pixels and sets the companions.
// False (image left empty) when a side is outside 1..maxImageSide or memory is short.
bool AllocatePixelBuffer(int width, int height, Image& image);

bool LoadImageFile(Platform& platform, const std::string& path, Image& image);
void FreePixelBuffer(Image& image);

// Green byte of the pixel at 1-based column x and row y. Later stages sample a little past the
// right and bottom edges, so anything outside the picture reads as light.
inline int PixelValue(const Image& image, int x, int y) {
  if (x < 1 || y < 1 || x > image.imageWidth || y > image.imageHeight) {
    return 255;
  }
  return image.pixelBuffer[static_cast<std::size_t>(y - 1) * image.rowPitch +
                           static_cast<std::size_t>(x - 1) * 4 + 1];
}

// +1 for a light grey value, -2 for a dark one (at or below threshold).
inline int SampleScore(int value, int threshold) { return value > threshold ? 1 : -2; }

// 255 for a light grey value, 0 for a dark one.
inline int Binarize(int value, int threshold) { return value > threshold ? 255 : 0; }

}  // namespace strixa
