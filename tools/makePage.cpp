// SPDX-License-Identifier: Apache-2.0
// Draws a page as a bitmap file, for timing whole runs:
//   strixa_make_page comb <width> <height> <path> [1|24]
//   strixa_make_page symbols <width> <height> <path> [1|24]
// "comb" is many short bar groups, one candidate each under /F; "symbols" is a page with six
// symbols of different kinds. One bit per pixel keeps a 10000 x 14000 page at 17 MB; 24 bits
// (the default) makes loading cost what a scanned colour page costs.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "support/bmpWriter.h"
#include "support/builders.h"
#include "support/code128Encoder.h"
#include "support/code39Encoder.h"
#include "support/combPage.h"
#include "support/eanEncoder.h"
#include "support/twoOfFiveEncoder.h"

using namespace strixa;

namespace {

std::vector<std::uint8_t> PackPage(const Image& page, int bitCount) {
  const int width = page.imageWidth;
  const int height = page.imageHeight;
  const std::size_t stride = (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
  std::vector<std::uint8_t> pixels(stride * static_cast<std::size_t>(height), 0);
  for (int y = 1; y <= height; ++y) {
    std::uint8_t* row = &pixels[stride * static_cast<std::size_t>(height - y)];
    for (int x = 1; x <= width; ++x) {
      const int grey = PixelValue(page, x, y);
      if (bitCount == 1) {
        if (grey != 0) {
          row[(x - 1) / 8] |= static_cast<std::uint8_t>(0x80 >> ((x - 1) % 8));
        }
      } else {
        for (int channel = 0; channel < 3; ++channel) {
          row[static_cast<std::size_t>(x - 1) * 3 + channel] = static_cast<std::uint8_t>(grey);
        }
      }
    }
  }
  return pixels;
}

// Six symbols of different kinds on a grey page, as a scanned form might hold them.
Image DrawSymbolPage(int width, int height) {
  Image page = MakeBlankImage(width, height, 236);
  const int right = width / 2 + 100;
  DrawBars(page, Widen(EncodeEan13("5901234123457"), 3), 1, 200, 300, 150);
  DrawBars(page, Widen(EncodeCode128({105, 102, 1, 23, 45, 67}), 3), 1, right, 300, 150);
  DrawBars(page, Code39Pixels("*STRIXA-39*", 2, 5, 2), 1, 200, height / 4, 150);
  DrawBars(page, Widen(EncodeEan8("96385074"), 3), 1, right, height / 4, 150);
  DrawBars(page, InterleavedTwoOfFivePixels("04012345", 3, 8), 1, 200, height / 2, 150);
  DrawBars(page, Widen(EncodeEan13("0036000291452"), 3), 1, right, height * 2 / 3, 200, true);
  return page;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view kind = argc > 1 ? argv[1] : "";
  if (argc < 5 || (kind != "comb" && kind != "symbols")) {
    std::fprintf(stderr, "usage: %s comb|symbols <width> <height> <path> [1|24]\n", argv[0]);
    return 2;
  }
  const int width = std::atoi(argv[2]);
  const int height = std::atoi(argv[3]);
  const int bitCount = argc > 5 ? std::atoi(argv[5]) : 24;
  if (width < 600 || height < 600 || width > maxImageSide || height > maxImageSide ||
      (bitCount != 1 && bitCount != 24)) {
    std::fprintf(stderr, "sides 600..%d, 1 or 24 bits\n", maxImageSide);
    return 2;
  }
  const Image page = kind == "comb" ? DrawCombPage(width, height) : DrawSymbolPage(width, height);
  BmpFile file;
  file.width = width;
  file.height = height;
  file.bitCount = bitCount;
  if (bitCount == 1) {
    file.palette = {0x000000, 0xFFFFFF};
  }
  file.pixels = PackPage(page, bitCount);
  const std::vector<std::uint8_t> bytes = WriteBmp(file);
  std::FILE* out = std::fopen(argv[4], "wb");
  if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) {
    std::perror(argv[4]);
    return 1;
  }
  std::fclose(out);
  return 0;
}
