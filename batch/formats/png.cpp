#include "formats/png.h"

#include <memory>
#include <spng.h>

namespace strixa {

namespace {

struct ContextDeleter {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};

// Deflate never packs more than about 1032 bytes into one, so a picture whose rows need more
// than that many times the file's size cannot be complete: refuse it before allocating.
constexpr std::uint64_t deflateRatio = 1032;

int Channels(std::uint8_t colourType) {
  switch (colourType) {
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
      return 2;
    case SPNG_COLOR_TYPE_TRUECOLOR:
      return 3;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA:
      return 4;
    default:
      return 1;
  }
}

bool Fail(int code, std::string& error) {
  error = std::string("PNG: ") + spng_strerror(code);
  return false;
}

}  // namespace

bool DecodePng(std::span<const std::uint8_t> bytes, const DecodeLimits& limits,
               const PageSink& sink, std::string& error) {
  const std::unique_ptr<spng_ctx, ContextDeleter> context(spng_ctx_new(0));
  if (!context) {
    error = "out of memory";
    return false;
  }
  spng_ctx* png = context.get();
  spng_set_image_limits(png, static_cast<std::uint32_t>(limits.maxSide),
                        static_cast<std::uint32_t>(limits.maxSide));
  // Text and other ancillary chunks are skipped, but their size is bounded all the same.
  spng_set_chunk_limits(png, std::size_t{1} << 24, std::size_t{1} << 26);
  if (int code = spng_set_png_buffer(png, bytes.data(), bytes.size()); code != 0) {
    return Fail(code, error);
  }
  spng_ihdr header{};
  if (int code = spng_get_ihdr(png, &header); code != 0) {
    return Fail(code, error);
  }
  if (!CheckPageSize(header.width, header.height, limits, error)) {
    return false;
  }
  const std::uint64_t rowBytes =
      (std::uint64_t{header.width} * Channels(header.color_type) * header.bit_depth + 7) / 8 + 1;
  if (rowBytes * header.height > deflateRatio * bytes.size()) {
    error = "PNG: data too short for a picture of its size";
    return false;
  }

  spng_trns transparency{};
  const bool hasAlpha = header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                        header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ||
                        spng_get_trns(png, &transparency) == 0;
  int format = SPNG_FMT_RGB8;
  PixelLayout layout = PixelLayout::Rgb24;
  if (hasAlpha) {
    format = SPNG_FMT_RGBA8;
    layout = PixelLayout::Rgba32;
  } else if (header.color_type == SPNG_COLOR_TYPE_GRAYSCALE && header.bit_depth <= 8) {
    format = SPNG_FMT_G8;
    layout = PixelLayout::Grey8;
  }
  std::size_t size = 0;
  if (int code = spng_decoded_image_size(png, format, &size); code != 0) {
    return Fail(code, error);
  }
  const std::unique_ptr<std::uint8_t[]> pixels = AllocatePixels(size);
  if (!pixels) {
    error = "out of memory";
    return false;
  }
  if (int code =
          spng_decode_image(png, pixels.get(), size, format, hasAlpha ? SPNG_DECODE_TRNS : 0);
      code != 0) {
    return Fail(code, error);
  }
  const int width = static_cast<int>(header.width);
  const int height = static_cast<int>(header.height);
  const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(size / header.height);
  if (hasAlpha) {
    FlattenOnWhite(pixels.get(), width, height, stride);
  }
  sink(PageView{pixels.get(), width, height, stride, layout});
  return true;
}

}  // namespace strixa
