// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/largeBuffer.h"

namespace strixa {

// The picture the later stages read: only the green (grey) byte of each pixel matters, so a view
// names where that byte sits and how far apart pixels and rows are. A loaded bitmap owns its
// pixels in pixelBuffer: one grey byte a pixel from our own reader, 32-bit blue, green, red,
// unused from the Windows loader (top row first, rows without gaps either way); pixels handed in
// by a caller are read in place, with pixelBuffer empty.
// The columns [first, end) of one row that a file set, counted from 0.
struct ColumnSpan {
  int first = 0;
  int end = 0;
};

struct Image {
  LargeBuffer pixelBuffer;
  const std::uint8_t* greyBytes = nullptr;  // the first pixel's green byte
  int imageWidth = 0;
  int imageHeight = 0;
  std::ptrdiff_t rowPitch = 0;  // bytes from one row to the next
  int pixelStep = 0;            // bytes from one pixel to the next
  // Run-length files may leave pixels unset: what each row (top row first) set. Unset pixels are
  // black and are never read, since reading a page of the fresh buffer can make it resident.
  // Empty when every pixel was set.
  std::vector<ColumnSpan> setColumns;
};

// Sides are carried as 16-bit signed values, so no picture may exceed this.
inline constexpr int maxImageSide = 32767;

// A view of width x height pixels owned by the caller, top row first. greyBytes points at the
// first pixel's grey (or green) byte. False (image left empty) for sides outside 1..maxImageSide.
bool ViewPixels(const std::uint8_t* greyBytes, int width, int height, std::ptrdiff_t rowPitch,
                int pixelStep, Image& image);

void FreePixelBuffer(Image& image);

// Whether the file set the pixel at 1-based column x and row y, which lie inside the picture.
inline bool IsSet(const Image& image, int x, int y) {
  const ColumnSpan& span = image.setColumns[static_cast<std::size_t>(y - 1)];
  return x > span.first && x <= span.end;
}

// Green byte of the pixel at 1-based column x and row y. Later stages sample a little past the
// right and bottom edges, so anything outside the picture reads as light.
inline int PixelValue(const Image& image, int x, int y) {
  if (x < 1 || y < 1 || x > image.imageWidth || y > image.imageHeight) {
    return 255;
  }
  if (!image.setColumns.empty() && !IsSet(image, x, y)) {
    return 0;
  }
  return image.greyBytes[static_cast<std::ptrdiff_t>(y - 1) * image.rowPitch +
                         static_cast<std::ptrdiff_t>(x - 1) * image.pixelStep];
}

// +1 for a light grey value, -2 for a dark one (at or below threshold).
inline int SampleScore(int value, int threshold) { return value > threshold ? 1 : -2; }

// 255 for a light grey value, 0 for a dark one.
inline int Binarize(int value, int threshold) { return value > threshold ? 255 : 0; }

}  // namespace strixa
