// SPDX-License-Identifier: Apache-2.0
#include "formats/png.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <spng.h>

namespace strixa {

namespace {

struct ContextDeleter {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};

// Deflate never packs more than about 1032 bytes into one, so a picture whose rows need more
// than that many times its image data cannot be complete: refuse it before allocating.
constexpr std::uint64_t deflateRatio = 1032;

constexpr std::size_t signatureLength = 8;
constexpr std::size_t chunkOverhead = 12;  // length, type and CRC around the data

std::uint32_t BigEndian32(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
         std::uint32_t{bytes[2]} << 8 | bytes[3];
}

// Ancillary chunks (lower-case first letter) other than transparency are of no use here, and
// the PNG library keeps every text chunk it meets until its own limits fail the whole file. So
// the library is shown the file without them: only the signature, the critical chunks and
// tRNS. Skipping costs one look at each chunk's header.
struct ChunkFilter {
  explicit ChunkFilter(std::span<const std::uint8_t> data)
      : bytes(data), keptLeft(std::min(signatureLength, data.size())) {}

  std::span<const std::uint8_t> bytes;
  std::size_t position = 0;
  std::size_t keptLeft;  // bytes of the current kept piece not yet handed out

  static bool IsKept(const std::uint8_t* type) {
    return (type[0] & 0x20) == 0 || std::memcmp(type, "tRNS", 4) == 0;
  }

  // Moves past skipped chunks to the next kept one; false at the end of the data.
  bool NextPiece() {
    while (bytes.size() - position >= chunkOverhead) {
      const std::uint64_t length = BigEndian32(bytes.data() + position);
      const std::uint64_t whole =
          std::min<std::uint64_t>(length + chunkOverhead, bytes.size() - position);
      if (IsKept(bytes.data() + position + 4)) {
        keptLeft = static_cast<std::size_t>(whole);
        return true;
      }
      position += static_cast<std::size_t>(whole);
    }
    // A short tail is handed over as it is, for the library to call it truncated.
    keptLeft = bytes.size() - position;
    return keptLeft > 0;
  }

  static int Read(spng_ctx*, void* user, void* destination, std::size_t length) {
    ChunkFilter& filter = *static_cast<ChunkFilter*>(user);
    auto* out = static_cast<std::uint8_t*>(destination);
    while (length > 0) {
      if (filter.keptLeft == 0 && !filter.NextPiece()) {
        return SPNG_IO_EOF;
      }
      const std::size_t count = std::min(length, filter.keptLeft);
      std::memcpy(out, filter.bytes.data() + filter.position, count);
      filter.position += count;
      filter.keptLeft -= count;
      out += count;
      length -= count;
    }
    return 0;
  }
};

// The bytes of all image data chunks: what the picture's rows are inflated from.
std::uint64_t ImageDataBytes(std::span<const std::uint8_t> bytes) {
  std::uint64_t total = 0;
  for (std::size_t position = signatureLength;
       position <= bytes.size() && bytes.size() - position >= chunkOverhead;) {
    const std::uint64_t length = BigEndian32(bytes.data() + position);
    if (std::memcmp(bytes.data() + position + 4, "IDAT", 4) == 0) {
      total += length;
    }
    if (length + chunkOverhead > bytes.size() - position) {
      break;
    }
    position += static_cast<std::size_t>(length + chunkOverhead);
  }
  return total;
}

int Channels(std::uint8_t colourType) {
  switch (static_cast<spng_color_type>(colourType)) {
    case SPNG_COLOR_TYPE_GRAYSCALE:
    case SPNG_COLOR_TYPE_INDEXED:
      return 1;
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
      return 2;
    case SPNG_COLOR_TYPE_TRUECOLOR:
      return 3;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA:
      return 4;
  }
  // The library refuses a header with any other colour type before it reaches here.
  return 1;
}

bool Fail(int code, std::string& error) {
  error = std::string("PNG: ") + spng_strerror(code);
  return false;
}

// Keeps the byte the reader looks at: grey itself, or green once laid over white.
void KeepGrey(std::uint8_t* row, int width, int channels, std::uint8_t* grey) {
  if (channels == 4) {
    FlattenOnWhite(row, width, 1, 0);
  }
  for (int x = 0; x < width; ++x) {
    grey[x] = row[x * channels + (channels > 1 ? 1 : 0)];
  }
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
  spng_set_chunk_limits(png, std::size_t{1} << 24, std::size_t{1} << 26);
  ChunkFilter filter(bytes);
  if (int code = spng_set_png_stream(png, ChunkFilter::Read, &filter); code != 0) {
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
  if (rowBytes * header.height > deflateRatio * ImageDataBytes(bytes)) {
    error = "PNG: data too short for a picture of its size";
    return false;
  }

  spng_trns transparency{};
  const bool hasAlpha = header.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                        header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ||
                        spng_get_trns(png, &transparency) == 0;
  int format = SPNG_FMT_RGB8;
  int channels = 3;
  if (hasAlpha) {
    format = SPNG_FMT_RGBA8;
    channels = 4;
  } else if (header.color_type == SPNG_COLOR_TYPE_GRAYSCALE && header.bit_depth <= 8) {
    format = SPNG_FMT_G8;
    channels = 1;
  }
  const int width = static_cast<int>(header.width);
  const int height = static_cast<int>(header.height);
  const int flags = hasAlpha ? SPNG_DECODE_TRNS : 0;
  const std::size_t rowSize = static_cast<std::size_t>(width) * channels;
  if (header.interlace_method != SPNG_INTERLACE_NONE) {
    // Interlaced passes fill rows out of order: the whole picture is decoded at once.
    const PixelBuffer pixels = AllocatePixels(rowSize * height, limits);
    if (!pixels) {
      error = PixelMemoryError(rowSize * height, limits);
      return false;
    }
    if (int code = spng_decode_image(png, pixels.get(), rowSize * height, format, flags);
        code != 0) {
      return Fail(code, error);
    }
    if (hasAlpha) {
      FlattenOnWhite(pixels.get(), width, height, static_cast<std::ptrdiff_t>(rowSize));
    }
    sink(PageView{pixels.get(), width, height, static_cast<std::ptrdiff_t>(rowSize),
                  hasAlpha ? PixelLayout::Rgba32
                           : (channels == 1 ? PixelLayout::Grey8 : PixelLayout::Rgb24)});
    return true;
  }
  // Row by row, keeping only the grey (green) byte of each pixel: a quarter of the memory of
  // RGBA.
  const std::size_t greySize = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const PixelBuffer grey = AllocatePixels(greySize, limits);
  const std::unique_ptr<std::uint8_t[]> row = AllocatePixels(rowSize);
  if (!grey || !row) {
    error = grey ? "out of memory" : PixelMemoryError(greySize, limits);
    return false;
  }
  if (int code = spng_decode_image(png, nullptr, 0, format, flags | SPNG_DECODE_PROGRESSIVE);
      code != 0) {
    return Fail(code, error);
  }
  for (int y = 0; y < height; ++y) {
    const int code = spng_decode_row(png, row.get(), rowSize);
    if (code != 0 && code != SPNG_EOI) {
      return Fail(code, error);
    }
    KeepGrey(row.get(), width, channels, grey.get() + static_cast<std::size_t>(width) * y);
  }
  sink(PageView{grey.get(), width, height, width, PixelLayout::Grey8});
  return true;
}

}  // namespace strixa
