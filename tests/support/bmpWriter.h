// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace strixa {

// The fields of a bitmap file to write. The defaults give a valid 24-bit bottom-up file once
// pixels are filled in; tests change single fields to build every variant and many damaged ones.
// Every field has an initializer so that designated initializers may name only the ones they set.
struct BmpFile {
  int headerSize = 40;  // 12 writes a core header with 16-bit sides and 3-byte palette entries
  int width = 1;
  int height = 1;  // negative for top-down rows
  int bitCount = 24;
  std::uint32_t compression = 0;
  std::uint32_t coloursUsed = 0;
  std::vector<std::uint32_t> palette{};  // 0xRRGGBB each
  // Red, green, blue and optionally alpha: inside headers of 52 bytes and more, else after the
  // header.
  std::vector<std::uint32_t> masks{};
  int gap = 0;                         // unused bytes between the palette and the pixels
  std::vector<std::uint8_t> pixels{};  // stored exactly as given
};

std::vector<std::uint8_t> WriteBmp(const BmpFile& file);

// Pixel rows as a file stores them: values of bitCount bits (palette indexes, or 16-, 24- and
// 32-bit little-endian words), each row padded to four bytes. rows[0] is the top of the picture;
// the rows are stored bottom row first unless topDown.
std::vector<std::uint8_t> PackRows(const std::vector<std::vector<std::uint32_t>>& rows,
                                   int bitCount, bool topDown = false);

// An 8-bit bitmap with a grey palette, as scanners write grey pages; grey holds width x height
// values, top row first.
std::vector<std::uint8_t> WriteGreyBmp(int width, int height, std::span<const std::uint8_t> grey);

}  // namespace strixa
