// SPDX-License-Identifier: Apache-2.0
// Draws the bundled sample picture: one symbol of every kind the tool reads, upright and flat,
// on a light grey page, written as an 8-bit grey-palette bitmap.
#include <cstdio>
#include <string>
#include <vector>

#include "support/bmpWriter.h"
#include "support/builders.h"
#include "support/code128Encoder.h"
#include "support/code39Encoder.h"
#include "support/eanEncoder.h"
#include "support/twoOfFiveEncoder.h"

using namespace strixa;

namespace {

constexpr int pageWidth = 1200;
constexpr int pageHeight = 900;

void Draw(Image& page, const std::string& pixels, int x, int y, int length, bool flat = false) {
  DrawBars(page, pixels, 1, x, y, length, flat);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : "samples/sample.bmp";
  Image page = MakeBlankImage(pageWidth, pageHeight, 236);

  Draw(page, Widen(EncodeEan13("5901234123457"), 3), 60, 50, 120);
  Draw(page, Widen(EncodeCode128({105, 102, 1, 23, 45, 67}), 3), 480, 50, 120);
  Draw(page, Widen(EncodeCode128({104, 51, 84, 82, 73, 88, 65, 13, 17}), 2), 60, 260, 110);
  Draw(page, Code39Pixels("*STRIXA-39*", 2, 5, 2), 520, 260, 110);
  Draw(page, Widen(EncodeEan8("96385074"), 3), 60, 450, 110);
  Draw(page, InterleavedTwoOfFivePixels("04012345", 3, 8), 420, 450, 110);
  Draw(page, TwoOfFivePixels("123456", 3, 8), 60, 640, 110);
  Draw(page, Widen(EncodeEan13("0036000291452"), 3), 880, 300, 120, true);

  BmpFile file;
  file.width = pageWidth;
  file.height = pageHeight;
  file.bitCount = 8;
  for (std::uint32_t grey = 0; grey < 256; ++grey) {
    file.palette.push_back(grey * 0x010101u);
  }
  std::vector<std::vector<std::uint32_t>> rows(pageHeight, std::vector<std::uint32_t>(pageWidth));
  for (int y = 1; y <= pageHeight; ++y) {
    for (int x = 1; x <= pageWidth; ++x) {
      // Dark bars print a little grey, as on paper.
      const int grey = PixelValue(page, x, y);
      rows[y - 1][x - 1] = static_cast<std::uint32_t>(grey == 0 ? 40 : grey);
    }
  }
  file.pixels = PackRows(rows, 8);
  const std::vector<std::uint8_t> bytes = WriteBmp(file);

  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) {
    std::perror(path.c_str());
    return 1;
  }
  std::fclose(out);
  return 0;
}
