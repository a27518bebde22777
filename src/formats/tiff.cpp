// SPDX-License-Identifier: Apache-2.0
#include "formats/tiff.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <tiffio.h>

namespace strixa {

namespace {

// The file in memory, as libtiff's client procedures see it.
struct MemoryFile {
  std::span<const std::uint8_t> bytes;
  toff_t position = 0;
  std::string error;  // libtiff's first error message
};

tmsize_t ReadMemory(thandle_t handle, void* buffer, tmsize_t size) {
  MemoryFile& file = *static_cast<MemoryFile*>(handle);
  if (size <= 0 || file.position >= file.bytes.size()) {
    return 0;
  }
  const std::size_t count =
      std::min<std::size_t>(static_cast<std::size_t>(size), file.bytes.size() - file.position);
  std::memcpy(buffer, file.bytes.data() + file.position, count);
  file.position += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t RefuseWrite(thandle_t, void*, tmsize_t) { return -1; }

toff_t SeekMemory(thandle_t handle, toff_t offset, int whence) {
  MemoryFile& file = *static_cast<MemoryFile*>(handle);
  toff_t base = 0;
  if (whence == SEEK_CUR) {
    base = file.position;
  } else if (whence == SEEK_END) {
    base = file.bytes.size();
  }
  // Offsets come from the file; an overflowing one is a failed seek, not a wrap.
  if (offset > ~toff_t{0} - base) {
    return ~toff_t{0};
  }
  file.position = base + offset;
  return file.position;
}

int CloseMemory(thandle_t) { return 0; }

toff_t MemorySize(thandle_t handle) { return static_cast<MemoryFile*>(handle)->bytes.size(); }

int MapMemory(thandle_t handle, void** base, toff_t* size) {
  MemoryFile& file = *static_cast<MemoryFile*>(handle);
  *base = const_cast<std::uint8_t*>(file.bytes.data());
  *size = file.bytes.size();
  return 1;
}

void UnmapMemory(thandle_t, void*, toff_t) {}

int KeepError(TIFF*, void* user, const char*, const char* format, va_list arguments) {
  MemoryFile& file = *static_cast<MemoryFile*>(user);
  if (file.error.empty()) {
    char message[256];
    std::vsnprintf(message, sizeof message, format, arguments);
    file.error = message;
  }
  return 1;
}

int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

struct OptionsDeleter {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

template <typename T>
T ReadField(TIFF* tiff, ttag_t tag, T fallback) {
  T value = fallback;
  TIFFGetFieldDefaulted(tiff, tag, &value);
  return value;
}

// How a page's pixels are read. Bilevel, 8-bit grey and 8-bit RGB strips, the usual scanned
// pages, are read a row at a time straight to grey bytes (green for RGB, the byte the reader looks
// at): a quarter of the memory of the RGBA conversion, and no copy of a whole strip, however many
// rows it holds. 8-bit grey and RGB tiles are read a tile at a time the same way.
enum class PageLayout { Rgba, Strips, Tiles };

PageLayout LayoutOf(TIFF* tiff) {
  const auto photometric = ReadField<std::uint16_t>(tiff, TIFFTAG_PHOTOMETRIC, 0xffff);
  const auto bits = ReadField<std::uint16_t>(tiff, TIFFTAG_BITSPERSAMPLE, 0);
  const auto samples = ReadField<std::uint16_t>(tiff, TIFFTAG_SAMPLESPERPIXEL, 0);
  const bool contiguous = ReadField<std::uint16_t>(tiff, TIFFTAG_PLANARCONFIG,
                                                   PLANARCONFIG_CONTIG) == PLANARCONFIG_CONTIG;
  const bool grey =
      (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) &&
      samples == 1 && (bits == 1 || bits == 8);
  const bool rgb = photometric == PHOTOMETRIC_RGB && samples == 3 && bits == 8;
  if (ReadField<std::uint16_t>(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) !=
      ORIENTATION_TOPLEFT) {
    return PageLayout::Rgba;
  }
  if (TIFFIsTiled(tiff)) {
    // Separate planes cost nothing more: only the green plane is read.
    return (grey || rgb) && bits == 8 ? PageLayout::Tiles : PageLayout::Rgba;
  }
  return grey || (rgb && contiguous) ? PageLayout::Strips : PageLayout::Rgba;
}

std::uint8_t GreyOf(std::uint8_t value, bool minIsWhite) {
  return minIsWhite ? static_cast<std::uint8_t>(255 - value) : value;
}

bool ReadStrips(TIFF* tiff, int width, int height, std::uint8_t* pixels) {
  const bool minIsWhite =
      ReadField<std::uint16_t>(tiff, TIFFTAG_PHOTOMETRIC, 0) == PHOTOMETRIC_MINISWHITE;
  const bool bilevel = ReadField<std::uint16_t>(tiff, TIFFTAG_BITSPERSAMPLE, 0) == 1;
  const int channels = ReadField<std::uint16_t>(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  const int offset = channels == 3 ? 1 : 0;
  const tmsize_t lineSize = TIFFScanlineSize(tiff);
  if (lineSize < (bilevel ? (width + 7) / 8 : std::int64_t{width} * channels)) {
    return false;
  }
  std::unique_ptr<std::uint8_t[]> line = AllocatePixels(static_cast<std::size_t>(lineSize));
  if (!line) {
    return false;
  }
  for (int y = 0; y < height; ++y) {
    if (TIFFReadScanline(tiff, line.get(), static_cast<std::uint32_t>(y), 0) < 0) {
      return false;
    }
    std::uint8_t* row = pixels + static_cast<std::ptrdiff_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      const std::uint8_t value =
          bilevel ? ((line[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0) : line[x * channels + offset];
      row[x] = GreyOf(value, minIsWhite);
    }
  }
  return true;
}

// Writers make tiles of a few megabytes at most: one larger than that and than the page itself is
// a damaged header, refused before its buffer is allocated.
constexpr std::size_t largestTile = std::size_t{16} << 20;

enum class TileFailure { None, Size, Memory, Data };

// Copies the grey (or green) byte of each pixel, one tile buffer at a time, the tiles at the right
// and bottom edges cut to the page.
TileFailure ReadTiles(TIFF* tiff, int width, int height, std::uint8_t* pixels,
                      const DecodeLimits& limits, std::size_t& tileBytes) {
  const bool minIsWhite =
      ReadField<std::uint16_t>(tiff, TIFFTAG_PHOTOMETRIC, 0) == PHOTOMETRIC_MINISWHITE;
  const int channels = ReadField<std::uint16_t>(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  const bool planes = ReadField<std::uint16_t>(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) ==
                      PLANARCONFIG_SEPARATE;
  // The green byte: second of each pixel, or the whole of the second plane.
  const int step = planes ? 1 : channels;
  const int offset = channels == 3 && !planes ? 1 : 0;
  const std::uint16_t plane = channels == 3 && planes ? 1 : 0;
  const std::uint64_t tileWidth = ReadField<std::uint32_t>(tiff, TIFFTAG_TILEWIDTH, 0);
  const std::uint64_t tileHeight = ReadField<std::uint32_t>(tiff, TIFFTAG_TILELENGTH, 0);
  const std::uint64_t needed = tileWidth * tileHeight * static_cast<std::uint64_t>(step);
  const tmsize_t size = TIFFTileSize(tiff);
  tileBytes = size > 0 ? static_cast<std::size_t>(size) : 0;
  if (tileWidth == 0 || tileHeight == 0 || size <= 0 || static_cast<std::uint64_t>(size) < needed ||
      (tileBytes > largestTile && tileBytes > static_cast<std::size_t>(width) *
                                                  static_cast<std::size_t>(height) *
                                                  static_cast<std::size_t>(step))) {
    return TileFailure::Size;
  }
  const PixelBuffer tile = AllocatePixels(tileBytes, limits);
  if (!tile) {
    return TileFailure::Memory;
  }
  for (std::uint64_t top = 0; top < static_cast<std::uint64_t>(height); top += tileHeight) {
    const std::uint64_t bottom = std::min<std::uint64_t>(top + tileHeight, height);
    for (std::uint64_t left = 0; left < static_cast<std::uint64_t>(width); left += tileWidth) {
      const std::uint64_t right = std::min<std::uint64_t>(left + tileWidth, width);
      const std::uint32_t index = TIFFComputeTile(tiff, static_cast<std::uint32_t>(left),
                                                  static_cast<std::uint32_t>(top), 0, plane);
      if (TIFFReadEncodedTile(tiff, index, tile.get(), size) < static_cast<tmsize_t>(needed)) {
        return TileFailure::Data;
      }
      for (std::uint64_t y = top; y < bottom; ++y) {
        const std::uint8_t* in = tile.get() + ((y - top) * tileWidth * step + offset);
        std::uint8_t* out = pixels + (y * static_cast<std::uint64_t>(width) + left);
        for (std::uint64_t x = left; x < right; ++x, in += step) {
          *out++ = GreyOf(*in, minIsWhite);
        }
      }
    }
  }
  return TileFailure::None;
}

// Why a page was not read, which decides how its error is told.
enum class PageFailure {
  None,
  Limits,   // a size or memory error that stands as it is
  Budget,   // the file's budget ran out: the error is named as TIFF's
  Library,  // libtiff could not read the page: its own message, if it gave one, says why
};

PageFailure ReadPage(TIFF* tiff, int number, const DecodeLimits& limits, FileBudget& budget,
                     const PageSink& sink, std::string& error) {
  const auto width = ReadField<std::uint32_t>(tiff, TIFFTAG_IMAGEWIDTH, 0);
  const auto height = ReadField<std::uint32_t>(tiff, TIFFTAG_IMAGELENGTH, 0);
  if (!CheckPageSize(width, height, limits, error)) {
    return PageFailure::Limits;
  }
  if (!budget.SpendPage(width, height, error)) {
    return PageFailure::Budget;
  }
  const int w = static_cast<int>(width);
  const int h = static_cast<int>(height);
  const PageLayout layout = LayoutOf(tiff);
  if (layout != PageLayout::Rgba) {
    const std::size_t size = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    const PixelBuffer pixels = AllocatePixels(size, limits);
    if (!pixels) {
      error = PixelMemoryError(size, limits);
      return PageFailure::Limits;
    }
    if (layout == PageLayout::Strips) {
      if (!ReadStrips(tiff, w, h, pixels.get())) {
        error = "TIFF: damaged strip data";
        return PageFailure::Library;
      }
    } else {
      std::size_t tileBytes = 0;
      switch (ReadTiles(tiff, w, h, pixels.get(), limits, tileBytes)) {
        case TileFailure::None:
          break;
        case TileFailure::Size:
          error = "TIFF: damaged tile size";
          return PageFailure::Limits;
        case TileFailure::Memory:
          error = PixelMemoryError(tileBytes, limits);
          return PageFailure::Limits;
        case TileFailure::Data:
          error = "TIFF: damaged tile data";
          return PageFailure::Library;
      }
    }
    sink(PageView{pixels.get(), w, h, w, PixelLayout::Grey8, false, number});
    return PageFailure::None;
  }
  const std::size_t stride = static_cast<std::size_t>(w) * 4;
  const PixelBuffer pixels = AllocatePixels(stride * h, limits);
  if (!pixels) {
    error = PixelMemoryError(stride * h, limits);
    return PageFailure::Limits;
  }
  // Each 32-bit value holds red in its low byte, so on little-endian machines the bytes lie in
  // R, G, B, A order.
  if (TIFFReadRGBAImageOriented(tiff, width, height, reinterpret_cast<std::uint32_t*>(pixels.get()),
                                ORIENTATION_TOPLEFT, 1) == 0) {
    error = "TIFF: cannot convert this page";
    return PageFailure::Library;
  }
  std::uint16_t extraSamples = 0;
  std::uint16_t* extraTypes = nullptr;
  if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraSamples, &extraTypes) != 0 &&
      extraSamples != 0) {
    FlattenOnWhite(pixels.get(), w, h, static_cast<std::ptrdiff_t>(stride));
  }
  sink(PageView{pixels.get(), w, h, static_cast<std::ptrdiff_t>(stride), PixelLayout::Rgba32, false,
                number});
  return PageFailure::None;
}

}  // namespace

bool DecodeTiff(std::span<const std::uint8_t> bytes, const DecodeLimits& limits,
                const PageSink& sink, std::string& error) {
  MemoryFile file{bytes, 0, {}};
  const std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
  if (!options) {
    error = "out of memory";
    return false;
  }
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), KeepError, &file);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreWarning, &file);
  // No single block beyond a page of RGBA pixels: a damaged strip size fails, not allocates.
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(),
                                      static_cast<tmsize_t>(limits.maxPixels * 4 + 4096));
  const std::unique_ptr<TIFF, TiffCloser> tiff(
      TIFFClientOpenExt("picture", "r", &file, ReadMemory, RefuseWrite, SeekMemory, CloseMemory,
                        MemorySize, MapMemory, UnmapMemory, options.get()));
  if (!tiff) {
    error = "TIFF: " + (file.error.empty() ? std::string("cannot open") : file.error);
    return false;
  }
  FileBudget budget(limits);
  int pages = 0;
  do {
    if (++pages > limits.maxPages) {
      error = "TIFF: more than " + std::to_string(limits.maxPages) + " pages";
      return false;
    }
    if (IsPastLastPage(pages, limits)) {
      return true;
    }
    if (!IsPageWanted(pages, limits)) {
      continue;
    }
    switch (ReadPage(tiff.get(), pages, limits, budget, sink, error)) {
      case PageFailure::None:
        continue;
      case PageFailure::Limits:
        break;
      case PageFailure::Budget:
        error = "TIFF: " + error;
        break;
      case PageFailure::Library:
        if (!file.error.empty()) {
          error = "TIFF: " + file.error;
        }
        break;
    }
    error += " (page " + std::to_string(pages) + ")";
    return false;
  } while (TIFFReadDirectory(tiff.get()) != 0);
  return true;
}

}  // namespace strixa
