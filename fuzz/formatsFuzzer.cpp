// SPDX-License-Identifier: Apache-2.0
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "formats/format.h"

using namespace strixa;

namespace {

constexpr Format forced[] = {Format::Png, Format::Jpeg, Format::Tiff,
                             Format::Pnm, Format::Webp, Format::Pdf};

// STRIXA_FUZZ_FORMAT=png (jpeg, tiff, pnm, webp, pdf) gives every input to that decoder whole,
// so one format can be fuzzed at a time; the first byte then picks nothing.
int PinnedFormat() {
  const char* name = std::getenv("STRIXA_FUZZ_FORMAT");
  for (int i = 0; name != nullptr && i < static_cast<int>(std::size(forced)); ++i) {
    std::string wanted(FormatName(forced[i]));
    std::transform(wanted.begin(), wanted.end(), wanted.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (wanted == name) {
      return i;
    }
  }
  return -1;
}

}  // namespace

// The first byte picks the decoder (or, past the last, lets the content choose, as the program
// does); the rest is the file. Every page handed over must have all its pixels readable, and a
// refusal must say why.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int pinned = PinnedFormat();
  if (pinned < 0 && size < 1) {
    return 0;
  }
  const std::span<const std::uint8_t> bytes =
      pinned >= 0 ? std::span<const std::uint8_t>(data, size)
                  : std::span<const std::uint8_t>(data + 1, size - 1);
  const Format format = pinned >= 0                   ? forced[pinned]
                        : data[0] < std::size(forced) ? forced[data[0]]
                                                      : SniffFormat(bytes);
  if (format == Format::Bmp || !IsFormatBuilt(format)) {
    return 0;
  }
  SilenceDecoderMessages();
  // Small pages keep each run short: the checks are the same at any size.
  DecodeLimits limits;
  limits.maxPixels = 1 << 22;
  limits.maxPages = 8;
  limits.dpi = 36;
  limits.maxFilePixels = 1 << 24;
  std::string error;
  const bool decoded = DecodePages(
      format, bytes, limits,
      [&](const PageView& page) {
        const int channels = page.layout == PixelLayout::Grey8   ? 1
                             : page.layout == PixelLayout::Rgb24 ? 3
                                                                 : 4;
        if (page.width < 1 || page.height < 1 || page.stride < page.width * channels ||
            static_cast<std::int64_t>(page.width) * page.height > limits.maxPixels) {
          __builtin_trap();
        }
        volatile std::uint8_t sum = 0;
        for (int y = 0; y < page.height; ++y) {
          sum = sum + page.pixels[y * page.stride] +
                page.pixels[y * page.stride + page.width * channels - 1];
        }
      },
      error);
  if (!decoded && error.empty()) {
    __builtin_trap();
  }
  return 0;
}
