// SPDX-License-Identifier: Apache-2.0
#include "support/bmpWriter.h"

#include <cstddef>

namespace strixa {

namespace {

void PutLe(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i) {
    out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

}  // namespace

std::vector<std::uint8_t> WriteBmp(const BmpFile& file) {
  const bool core = file.headerSize == 12;
  const std::size_t headerEnd = 14 + static_cast<std::size_t>(file.headerSize);
  const std::size_t masksAfterHeader = file.headerSize < 52 ? 4 * file.masks.size() : 0;
  const std::size_t paletteStart = headerEnd + masksAfterHeader;
  const std::size_t entrySize = core ? 3 : 4;
  const std::size_t pixelStart = paletteStart + entrySize * file.palette.size() + file.gap;
  std::vector<std::uint8_t> out(pixelStart + file.pixels.size(), 0);
  out[0] = 'B';
  out[1] = 'M';
  PutLe(out, 2, static_cast<std::uint32_t>(out.size()), 4);
  PutLe(out, 10, static_cast<std::uint32_t>(pixelStart), 4);
  PutLe(out, 14, static_cast<std::uint32_t>(file.headerSize), 4);
  if (core) {
    PutLe(out, 18, static_cast<std::uint32_t>(file.width), 2);
    PutLe(out, 20, static_cast<std::uint32_t>(file.height), 2);
    PutLe(out, 22, 1, 2);
    PutLe(out, 24, static_cast<std::uint32_t>(file.bitCount), 2);
  } else {
    PutLe(out, 18, static_cast<std::uint32_t>(file.width), 4);
    PutLe(out, 22, static_cast<std::uint32_t>(file.height), 4);
    PutLe(out, 26, 1, 2);
    PutLe(out, 28, static_cast<std::uint32_t>(file.bitCount), 2);
    PutLe(out, 30, file.compression, 4);
    PutLe(out, 34, static_cast<std::uint32_t>(file.pixels.size()), 4);
    PutLe(out, 46, file.coloursUsed, 4);
    // Masks sit at the same file offsets inside a long header as after a 40-byte one.
    for (std::size_t i = 0; i < file.masks.size() && 54 + 4 * i + 4 <= paletteStart; ++i) {
      PutLe(out, 54 + 4 * i, file.masks[i], 4);
    }
  }
  for (std::size_t i = 0; i < file.palette.size(); ++i) {
    PutLe(out, paletteStart + entrySize * i, file.palette[i], static_cast<int>(entrySize));
  }
  for (std::size_t i = 0; i < file.pixels.size(); ++i) {
    out[pixelStart + i] = file.pixels[i];
  }
  return out;
}

std::vector<std::uint8_t> PackRows(const std::vector<std::vector<std::uint32_t>>& rows,
                                   int bitCount, bool topDown) {
  std::vector<std::uint8_t> out;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::vector<std::uint32_t>& row = rows[topDown ? r : rows.size() - 1 - r];
    std::vector<std::uint8_t> stored;
    if (bitCount < 8) {
      stored.assign((row.size() * bitCount + 7) / 8, 0);
      for (std::size_t x = 0; x < row.size(); ++x) {
        const std::size_t bit = x * bitCount;
        stored[bit / 8] |= static_cast<std::uint8_t>(row[x] << (8 - bitCount - bit % 8));
      }
    } else {
      for (std::uint32_t value : row) {
        for (int i = 0; i < bitCount / 8; ++i) {
          stored.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        }
      }
    }
    stored.resize((stored.size() + 3) / 4 * 4, 0);
    out.insert(out.end(), stored.begin(), stored.end());
  }
  return out;
}

std::vector<std::uint8_t> WriteGreyBmp(int width, int height, std::span<const std::uint8_t> grey) {
  BmpFile file;
  file.width = width;
  file.height = height;
  file.bitCount = 8;
  for (std::uint32_t value = 0; value < 256; ++value) {
    file.palette.push_back(value * 0x010101u);
  }
  std::vector<std::vector<std::uint32_t>> rows(static_cast<std::size_t>(height));
  for (std::size_t y = 0; y < rows.size(); ++y) {
    const auto row =
        grey.subspan(y * static_cast<std::size_t>(width), static_cast<std::size_t>(width));
    rows[y].assign(row.begin(), row.end());
  }
  file.pixels = PackRows(rows, 8);
  return WriteBmp(file);
}

}  // namespace strixa
