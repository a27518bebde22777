#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "formats/format.h"

using namespace strixa;

// The first byte picks the decoder (or, past the last, lets the content choose, as the program
// does); the rest is the file. Every page handed over must have all its pixels readable, and a
// refusal must say why.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) {
    return 0;
  }
  constexpr Format forced[] = {Format::Png, Format::Jpeg, Format::Tiff,
                               Format::Pnm, Format::Webp, Format::Pdf};
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);
  const Format format = data[0] < std::size(forced) ? forced[data[0]] : SniffFormat(bytes);
  if (format == Format::Bmp || !IsFormatBuilt(format)) {
    return 0;
  }
  SilenceDecoderMessages();
  // Small pages keep each run short: the checks are the same at any size.
  DecodeLimits limits;
  limits.maxPixels = 1 << 22;
  limits.maxPages = 8;
  limits.dpi = 36;
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
