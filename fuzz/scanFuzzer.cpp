// SPDX-License-Identifier: Apache-2.0
// Arbitrary pictures of bar groups through both scan passes in both settings. Every candidate
// must lie inside the picture across its scan lines, start at x and y of at least 1, and stick
// out along them by less than the margin; the vertical pass must equal the horizontal pass on
// the transposed picture.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/image.h"
#include "locate/candidate.h"
#include "locate/scan.h"
#include "platform/memory.h"

using namespace strixa;

namespace {

void Paint(Image& image, int x, int y, std::uint8_t grey) {
  if (x >= 1 && y >= 1 && x <= image.imageWidth && y <= image.imageHeight) {
    image.pixelBuffer[static_cast<std::size_t>(y - 1) * image.rowPitch +
                      static_cast<std::size_t>(x - 1) * 4 + 1] = grey;
  }
}

// The first three bytes give the size (up to 1400 wide, so the vertical pass takes its columns
// in more than one block); every seven after them a group of bars: place, bar and gap widths,
// count, length, grey and whether they stand or lie.
bool MakePicture(const std::uint8_t* data, std::size_t size, Image& image) {
  if (size < 3) {
    return false;
  }
  const int width = 2 + (data[0] | (data[1] & 0x07) << 8) % 1400;
  const int height = 2 + data[2] + (data[1] >> 3) * 8;
  if (!AllocatePixelBuffer(width, height, image)) {
    return false;
  }
  std::memset(image.pixelBuffer.get(), 255,
              static_cast<std::size_t>(image.rowPitch) * static_cast<std::size_t>(height));
  for (std::size_t at = 3; at + 7 <= size; at += 7) {
    const std::uint8_t* g = data + at;
    const int along = 1 + (g[0] | g[1] << 8) % width;
    const int across = 1 + (g[2] | g[1] >> 4 << 8) % height;
    const int barWidth = 1 + g[3] % 4;
    const int gapWidth = 1 + g[3] / 4 % 4;
    const int bars = 1 + g[4] % 64;
    const int length = 1 + g[5] * 2;
    const std::uint8_t grey = g[6] & 0x80 ? 0 : static_cast<std::uint8_t>(g[6] * 2);
    const bool flat = g[3] & 0x80;
    for (int bar = 0; bar < bars; ++bar) {
      for (int w = 0; w < barWidth; ++w) {
        const int offset = bar * (barWidth + gapWidth) + w;
        for (int l = 0; l < length; ++l) {
          if (flat) {
            Paint(image, across + l, along + offset, grey);
          } else {
            Paint(image, along + offset, across + l, grey);
          }
        }
      }
    }
  }
  return true;
}

Image Transpose(const Image& image) {
  Image turned;
  AllocatePixelBuffer(image.imageHeight, image.imageWidth, turned);
  for (int y = 1; y <= image.imageHeight; ++y) {
    for (int x = 1; x <= image.imageWidth; ++x) {
      Paint(turned, y, x, static_cast<std::uint8_t>(PixelValue(image, x, y)));
    }
  }
  return turned;
}

void Check(bool condition) {
  if (!condition) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Image image;
  if (!MakePicture(data, size, image)) {
    return 0;
  }
  const Image turned = Transpose(image);
  const int width = image.imageWidth;
  const int height = image.imageHeight;
  for (const bool fineScan : {false, true}) {
    const int margin = fineScan ? 20 : 40;
    std::vector<Candidate> horizontal;
    ScanHorizontal(turned, 200, fineScan, horizontal);
    std::vector<Candidate> vertical;
    ScanVertical(image, 200, fineScan, vertical);
    Check(horizontal.size() == vertical.size());
    for (std::size_t i = 0; i < vertical.size(); ++i) {
      const Candidate& v = vertical[i];
      const Candidate& h = horizontal[i];
      Check(v.x == h.y && v.y == h.x && v.width == h.height && v.height == h.width);
      Check(v.orientation == Orientation::Vertical && h.orientation == Orientation::Horizontal);
      Check(v.x >= 1 && v.y >= 1 && v.width > 0 && v.height > 0);
      Check(v.x + v.width <= width && v.y + v.height <= height + margin - 1);
    }
  }
  return 0;
}
