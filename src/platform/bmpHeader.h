// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace strixa {

// Why a bitmap was refused; tests tell the checks apart by it, users only see the load fail.
enum class BmpRefusal {
  None,
  CannotOpen,       // missing, unreadable, or not a regular file (a FIFO, a device, a folder)
  ReadFailed,       // the operating system reported an error while reading
  TruncatedHeader,  // the file ends inside its headers
  BadSignature,     // the first two bytes are not "BM"
  BadHeaderSize,    // no known information header has this size
  BadDimensions,    // a side is 0, negative (width) or beyond maxImageSide
  BadDepth,         // a depth and compression that do not go together, or one not decoded here
  BadMasks,         // colour masks that overlap, have gaps or are all empty
  BadPixelOffset,   // pixel data would start inside the headers or past the end of the file
  BadPalette,       // a stated palette that does not fit before the pixels, or no palette at all
  TruncatedData,    // the file ends before the pixel data the headers describe
  BadRle,           // a run-length code leaves the picture or the stream ends unfinished
  TooLarge,         // more pixels than a run-length stream of this length can plausibly hold
  OutOfMemory,      // the pixel buffer could not be allocated
};

inline constexpr std::uint32_t bmpRgb = 0;
inline constexpr std::uint32_t bmpRle8 = 1;
inline constexpr std::uint32_t bmpRle4 = 2;
inline constexpr std::uint32_t bmpBitFields = 3;

// The longest run of leading bytes the header check looks at: the file header, the longest
// information header, and masks after a 40-byte one fit in it.
inline constexpr std::size_t bmpHeadersMaxSize = 14 + 124;

// What the headers say about the picture. Fields are filled as far as the check got, so a caller
// may look at why a file was refused.
struct BmpLayout {
  std::uint32_t headerSize = 0;
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bitCount = 0;
  std::uint32_t compression = bmpRgb;
  std::uint64_t pixelOffset = 0;
  std::array<std::uint32_t, 3> masks{};  // red, green, blue
  std::uint64_t paletteOffset = 0;
  std::uint64_t paletteEntrySize = 4;
  std::uint64_t paletteCount = 0;
  std::uint64_t stride = 0;    // bytes per stored row, padding included (uncompressed only)
  std::uint64_t rowBytes = 0;  // bytes of pixel data in a row, without padding
};

inline bool IsRunLength(const BmpLayout& layout) {
  return layout.compression == bmpRle8 || layout.compression == bmpRle4;
}

// Checks the headers in start (the file's first bytes, at least bmpHeadersMaxSize of them unless
// the file is shorter) against each other and against fileSize, the file's whole length.
// BmpRefusal::None when a decoder may allocate the picture and read its pixels, else why not;
// nothing here trusts a size or offset it has not bounded.
BmpRefusal ReadBmpLayout(std::span<const std::uint8_t> start, std::uint64_t fileSize,
                         BmpLayout& layout);

}  // namespace strixa
