// SPDX-License-Identifier: Apache-2.0
#include "formats/webp.h"

#include <memory>
#include <webp/decode.h>

namespace strixa {

namespace {

constexpr std::int64_t pixelsPerByte = 65536;
constexpr int losslessFormat = 2;  // WebPBitstreamFeatures::format: 0 mixed, 1 lossy, 2 lossless

}  // namespace

bool DecodeWebp(std::span<const std::uint8_t> bytes, const DecodeLimits& limits,
                const PageSink& sink, std::string& error) {
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK) {
    error = "WebP: damaged header";
    return false;
  }
  if (features.has_animation) {
    error = "WebP: animations are not supported";
    return false;
  }
  if (!CheckPageSize(features.width, features.height, limits, error)) {
    return false;
  }
  // Both codings can spend next to nothing on a blank area (a lossless one with a single colour
  // none at all), so only a file far too small for its size is refused: such a page holds
  // nothing to read.
  if (std::int64_t{features.width} * features.height >
      static_cast<std::int64_t>(bytes.size()) * pixelsPerByte) {
    error = "WebP: data too short for a picture of its size";
    return false;
  }
  const int channels = features.has_alpha ? 4 : 3;
  const int stride = features.width * channels;
  const std::size_t size = static_cast<std::size_t>(stride) * features.height;
  // The lossless decoder also holds every pixel of the picture as 32 bits while it decodes.
  MemoryReservation decoder;
  const std::size_t decoderSize =
      features.format == losslessFormat ? std::size_t{4} * features.width * features.height : 0;
  if (!decoder.Reserve(decoderSize, limits)) {
    error = PixelMemoryError(decoderSize, limits);
    return false;
  }
  const PixelBuffer pixels = AllocatePixels(size, limits);
  if (!pixels) {
    error = PixelMemoryError(size, limits);
    return false;
  }
  const std::uint8_t* decoded =
      features.has_alpha
          ? WebPDecodeRGBAInto(bytes.data(), bytes.size(), pixels.get(), size, stride)
          : WebPDecodeRGBInto(bytes.data(), bytes.size(), pixels.get(), size, stride);
  if (decoded == nullptr) {
    error = "WebP: damaged picture data";
    return false;
  }
  if (features.has_alpha) {
    FlattenOnWhite(pixels.get(), features.width, features.height, stride);
  }
  sink(PageView{pixels.get(), features.width, features.height, stride,
                features.has_alpha ? PixelLayout::Rgba32 : PixelLayout::Rgb24});
  return true;
}

}  // namespace strixa
