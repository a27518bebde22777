// SPDX-License-Identifier: Apache-2.0
#include "formats/pnm.h"

#include <memory>

namespace strixa {

namespace {

bool IsSpace(std::uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads the header and ASCII samples: numbers between white space and comments.
struct Cursor {
  std::span<const std::uint8_t> bytes;
  std::size_t position = 0;

  void SkipSpaceAndComments() {
    while (position < bytes.size()) {
      if (bytes[position] == '#') {
        while (position < bytes.size() && bytes[position] != '\n' && bytes[position] != '\r') {
          ++position;
        }
      } else if (IsSpace(bytes[position])) {
        ++position;
      } else {
        return;
      }
    }
  }

  // A decimal number up to limit; P1 rasters may run their bits together, hence maxDigits.
  bool ReadNumber(std::uint32_t limit, std::uint32_t& value, int maxDigits = 10) {
    SkipSpaceAndComments();
    // Wide enough that ten digits cannot wrap before the limit is checked.
    std::uint64_t number = 0;
    int digits = 0;
    while (position < bytes.size() && digits < maxDigits && bytes[position] >= '0' &&
           bytes[position] <= '9') {
      number = number * 10 + (bytes[position] - '0');
      if (number > limit) {
        return false;
      }
      ++position;
      ++digits;
    }
    value = static_cast<std::uint32_t>(number);
    return digits > 0;
  }
};

}  // namespace

bool DecodePnm(std::span<const std::uint8_t> bytes, const DecodeLimits& limits,
               const PageSink& sink, std::string& error) {
  if (bytes.size() < 3 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '6') {
    error = "PNM: not a portable anymap";
    return false;
  }
  const int kind = bytes[1] - '0';
  const bool bitmap = kind == 1 || kind == 4;
  const bool ascii = kind <= 3;
  const int channels = kind == 3 || kind == 6 ? 3 : 1;
  Cursor cursor{bytes, 2};
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t maxValue = 1;
  if (!cursor.ReadNumber(1u << 30, width) || !cursor.ReadNumber(1u << 30, height) ||
      (!bitmap && (!cursor.ReadNumber(65535, maxValue) || maxValue == 0))) {
    error = "PNM: damaged header";
    return false;
  }
  if (!CheckPageSize(width, height, limits, error)) {
    return false;
  }
  const std::size_t samples = std::size_t{width} * height * channels;
  const int w = static_cast<int>(width);
  const int h = static_cast<int>(height);
  const PixelLayout layout = channels == 3 ? PixelLayout::Rgb24 : PixelLayout::Grey8;
  std::size_t rasterBytes = 0;
  if (!ascii) {
    // Exactly one white space byte ends the header of a binary file.
    if (cursor.position >= bytes.size() || !IsSpace(bytes[cursor.position])) {
      error = "PNM: damaged header";
      return false;
    }
    ++cursor.position;
    rasterBytes =
        bitmap ? std::size_t{(width + 7) / 8} * height : samples * (maxValue > 255 ? 2 : 1);
    if (bytes.size() - cursor.position < rasterBytes) {
      error = "PNM: file ends inside the picture";
      return false;
    }
    if (!bitmap && maxValue == 255) {
      sink(PageView{bytes.data() + cursor.position, w, h, static_cast<std::ptrdiff_t>(w) * channels,
                    layout});
      return true;
    }
  } else if (bytes.size() - cursor.position < (bitmap ? samples : 2 * samples - 1)) {
    // Every ASCII sample takes a digit, and all but P1 ones a separator: refuse a header that
    // promises more than the file can hold before allocating for it.
    error = "PNM: file ends inside the picture";
    return false;
  }

  const PixelBuffer pixels = AllocatePixels(samples, limits);
  if (!pixels) {
    error = PixelMemoryError(samples, limits);
    return false;
  }
  const std::uint8_t* raster = bytes.data() + cursor.position;
  for (std::size_t i = 0; i < samples; ++i) {
    std::uint32_t value = 0;
    if (kind == 4) {
      const std::size_t x = i % width;
      const std::size_t y = i / width;
      value = (raster[y * ((width + 7) / 8) + x / 8] >> (7 - x % 8)) & 1;
    } else if (!ascii) {
      value = maxValue > 255 ? (raster[2 * i] << 8 | raster[2 * i + 1]) : raster[i];
    } else if (!cursor.ReadNumber(maxValue, value, bitmap ? 1 : 10)) {
      error = "PNM: damaged sample";
      return false;
    }
    if (value > maxValue) {
      error = "PNM: sample above the maximum value";
      return false;
    }
    // In bitmaps 1 is black; elsewhere maxValue is white.
    pixels[i] = bitmap ? (value != 0 ? 0 : 255)
                       : static_cast<std::uint8_t>((value * 255 + maxValue / 2) / maxValue);
  }
  sink(PageView{pixels.get(), w, h, static_cast<std::ptrdiff_t>(w) * channels, layout});
  return true;
}

}  // namespace strixa
