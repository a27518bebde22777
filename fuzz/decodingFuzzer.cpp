// SPDX-License-Identifier: Apache-2.0
// Arbitrary pixel strings through every decoder, and arbitrary small pictures through the whole
// pipeline (localise, decode, consolidate, print). The first byte chooses which.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "decode/dispatcher.h"
#include "driver/driver.h"
#include "image/image.h"
#include "platform/memory.h"
#include "platform/platform.h"
#include "read/pipeline.h"
#include "symbologies/code128.h"
#include "symbologies/code39.h"
#include "symbologies/ean13.h"
#include "symbologies/ean8.h"
#include "symbologies/interleavedTwoOfFive.h"
#include "symbologies/twoOfFive.h"

using namespace strixa;

namespace {

// Checks that every printed line carries one of the labels; everything else is dropped.
class CheckingPlatform final : public Platform {
 public:
  std::vector<std::string> Arguments() override { return {}; }
  bool IsNonEmptyFile(const std::string&) override { return false; }
  bool DecodeBitmap(const std::string&, Image&) override { return false; }
  void WriteLine(std::string_view text) override {
    // Under /P four numbers and tabs come first and a carriage return last.
    if (!text.empty() && text.back() == '\r') {
      for (int field = 0; field < 4; ++field) {
        text.remove_prefix(std::min(text.size(), text.find('\t') + 1));
      }
    }
    for (std::string_view label :
         {"EAN13\t", "UPC-A\t", "EAN8\t", "CODE128\t", "EAN128\t", "CODE39\t", "2/5\t", "2/5i\t"}) {
      if (text.substr(0, label.size()) == label) {
        return;
      }
    }
    std::fprintf(stderr, "unlabelled line: [%.*s]\n", static_cast<int>(text.size()), text.data());
    __builtin_trap();
  }
  void SetTitle(std::string_view) override {}
  void Sleep(int) override {}
  int CurrentYear() override { return 2026; }
};

// Bytes as runs of 1 to 8 pixels, bars first, trimmed like a sampled line: deep into symbols
// far more often than random characters.
std::string RunsToPixels(const std::uint8_t* data, std::size_t size) {
  std::string pixels;
  for (std::size_t i = 0; i < size; ++i) {
    pixels.append(static_cast<std::size_t>(data[i] % 8 + 1), i % 2 == 0 ? '1' : '0');
  }
  if (!pixels.empty() && pixels.back() == '0') {
    pixels.pop_back();
  }
  return pixels;
}

void DecodeLine(std::string_view pixels) {
  for (auto decoder : {DecodeCode128, DecodeCode39, DecodeEan13, DecodeEan8,
                       DecodeInterleavedTwoOfFive, DecodeTwoOfFive}) {
    decoder(pixels);
  }
  int hitCount = 0;
  RunDecoderChain(pixels, hitCount);
}

// A picture up to 128 x 128: two bytes of size, then one grey value per pixel (missing ones
// repeat the data), with the switches from the flags byte.
void RunPicture(std::uint8_t flags, const std::uint8_t* data, std::size_t size) {
  if (size < 3) {
    return;
  }
  const int width = data[0] % 128 + 1;
  const int height = data[1] % 128 + 1;
  data += 2;
  size -= 2;
  Image image;
  if (!AllocatePixelBuffer(width, height, image)) {
    return;
  }
  for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
    const std::uint8_t grey = data[i % size];
    std::uint8_t* pixel = &image.pixelBuffer[i * 4];
    pixel[0] = pixel[1] = pixel[2] = grey;
    pixel[3] = 0;
  }
  const Reading reading =
      ReadPicture(image, {.scan = (flags & 2) != 0 ? Scan::Fine : Scan::Normal});
  CheckingPlatform platform;
  PrintResults(platform, reading.resultList, (flags & 4) != 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::uint8_t mode = data[0];
  ++data;
  --size;
  switch (mode % 3) {
    case 0:
      DecodeLine(std::string_view(reinterpret_cast<const char*>(data), size));
      break;
    case 1:
      DecodeLine(RunsToPixels(data, size));
      break;
    default:
      RunPicture(mode, data, size);
      break;
  }
  return 0;
}
