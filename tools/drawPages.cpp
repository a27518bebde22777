// SPDX-License-Identifier: Apache-2.0
// Draws scanned-page-sized pictures for the throughput benchmark: 2500 x 3500 light grey pages,
// each with eight symbols of every kind, one lying flat, their texts varying with the page.
//   strixa_draw_pages DIRECTORY COUNT [bmp|png]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/batch/formatWriters.h"
#include "support/bmpWriter.h"
#include "support/builders.h"
#include "support/code128Encoder.h"
#include "support/code39Encoder.h"
#include "support/eanEncoder.h"
#include "support/twoOfFiveEncoder.h"

using namespace strixa;

namespace {

constexpr int pageWidth = 2500;
constexpr int pageHeight = 3500;

// Twelve digits and their EAN check digit.
std::string WithCheckDigit(const std::string& digits) {
  int sum = 0;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    sum += (digits[i] - '0') * (i % 2 == 0 ? 1 : 3);
  }
  return digits + static_cast<char>('0' + (10 - sum % 10) % 10);
}

std::string Digits(int number, int count) {
  std::string text = std::to_string(number);
  return std::string(count - static_cast<int>(text.size()), '0') + text;
}

Image DrawPage(int number) {
  Image page = MakeBlankImage(pageWidth, pageHeight, 236);
  std::vector<int> code128 = {104};
  for (char c : "PAGE-" + Digits(number, 4)) {
    code128.push_back(c - 32);
  }
  DrawBars(page, Widen(EncodeEan13(WithCheckDigit("590123" + Digits(number, 6))), 3), 1, 200, 300,
           150);
  DrawBars(page, Widen(EncodeCode128({105, 102, 1, 23, 45, 67}), 3), 1, 1400, 300, 150);
  DrawBars(page, Widen(EncodeCode128(code128), 2), 1, 200, 900, 150);
  DrawBars(page, Code39Pixels("*STRIXA-39*", 2, 5, 2), 1, 1400, 900, 150);
  DrawBars(page, Widen(EncodeEan8("96385074"), 3), 1, 200, 1600, 150);
  DrawBars(page, InterleavedTwoOfFivePixels(Digits(number, 8), 3, 8), 1, 1400, 1600, 150);
  DrawBars(page, TwoOfFivePixels(Digits(number, 6), 3, 8), 1, 200, 2400, 150);
  DrawBars(page, Widen(EncodeEan13("0036000291452"), 3), 1, 1500, 2300, 200, true);
  return page;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s DIRECTORY COUNT [bmp|png]\n", argv[0]);
    return 64;
  }
  const std::string directory = argv[1];
  const int count = std::atoi(argv[2]);
  const std::string format = argc > 3 ? argv[3] : "bmp";
  for (int number = 1; number <= count; ++number) {
    const GreyPicture picture = GreyOf(DrawPage(number));
    const std::string path = directory + "/page-" + Digits(number, 4) + "." + format;
    const bool written =
        format == "png"
            ? WritePng(path, picture, false)
            : WriteFile(path, WriteGreyBmp(picture.width, picture.height, picture.grey));
    if (!written) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
