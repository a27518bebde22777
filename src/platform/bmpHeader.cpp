// SPDX-License-Identifier: Apache-2.0
#include "platform/bmpHeader.h"

#include <algorithm>
#include <bit>

#include "image/image.h"

namespace strixa {

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint64_t fileHeaderSize = 14;
constexpr std::uint64_t coreHeaderSize = 12;
constexpr std::uint64_t infoHeaderSize = 40;
constexpr std::array<std::uint64_t, 6> knownHeaderSizes = {12, 40, 52, 56, 108, 124};

// Red, green and blue masks sit here whether they end a longer header or follow a 40-byte one.
constexpr std::size_t maskOffset = 54;

// Skipped run-length pixels cost no bytes, so a stream's length does not bound its picture. No
// real stream is this sparse, and the limit keeps a few bytes from claiming gigabytes.
constexpr std::uint64_t maxRlePixelsPerByte = 4096;

std::uint32_t ReadU16(Bytes bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1])
                                                         << 8;
}

std::uint32_t ReadU32(Bytes bytes, std::size_t offset) {
  return ReadU16(bytes, offset) | ReadU16(bytes, offset + 2) << 16;
}

// A mask is usable when its bits are one unbroken run inside the pixel; an empty mask is a
// channel the file does not store.
bool IsContiguousMask(std::uint32_t mask, int bitCount) {
  if (bitCount < 32 && (mask >> bitCount) != 0) {
    return false;
  }
  if (mask == 0) {
    return true;
  }
  const std::uint32_t aligned = mask >> std::countr_zero(mask);
  return (aligned & (aligned + 1)) == 0;
}

bool AreMasksUsable(const std::array<std::uint32_t, 3>& masks, int bitCount) {
  const auto [red, green, blue] = masks;
  return IsContiguousMask(red, bitCount) && IsContiguousMask(green, bitCount) &&
         IsContiguousMask(blue, bitCount) && (red & green) == 0 && (red & blue) == 0 &&
         (green & blue) == 0 && (red | green | blue) != 0;
}

bool IsKnownHeaderSize(std::uint64_t headerSize) {
  return std::find(knownHeaderSizes.begin(), knownHeaderSizes.end(), headerSize) !=
         knownHeaderSizes.end();
}

bool IsDepthAllowed(const BmpLayout& layout, bool core) {
  switch (layout.compression) {
    case bmpRgb:
      return layout.bitCount == 1 || layout.bitCount == 4 || layout.bitCount == 8 ||
             layout.bitCount == 24 || (!core && (layout.bitCount == 16 || layout.bitCount == 32));
    case bmpRle8:
      return layout.bitCount == 8 && !layout.topDown;
    case bmpRle4:
      return layout.bitCount == 4 && !layout.topDown;
    case bmpBitFields:
      return layout.bitCount == 16 || layout.bitCount == 32;
  }
  // Embedded JPEG or PNG data and the rarer compressions are not ours to decode.
  return false;
}

// The palette lies between the headers and the pixels. Without a count, take the entries that
// fit there; a stated count must fit, and entries past the depth's range are unused.
bool ReadPaletteSize(std::uint64_t declaredColours, BmpLayout& layout) {
  const std::uint64_t fullCount = std::uint64_t{1} << layout.bitCount;
  const std::uint64_t room = (layout.pixelOffset - layout.paletteOffset) / layout.paletteEntrySize;
  if (declaredColours == 0) {
    layout.paletteCount = std::min(fullCount, room);
  } else if (declaredColours <= room) {
    layout.paletteCount = std::min(fullCount, declaredColours);
  } else {
    return false;
  }
  return layout.paletteCount > 0;
}

}  // namespace

BmpRefusal ReadBmpLayout(Bytes start, std::uint64_t fileSize, BmpLayout& layout) {
  layout = BmpLayout{};
  if (start.size() >= 2 && (start[0] != 'B' || start[1] != 'M')) {
    return BmpRefusal::BadSignature;
  }
  if (start.size() < fileHeaderSize + 4) {
    return BmpRefusal::TruncatedHeader;
  }
  layout.headerSize = ReadU32(start, 14);
  if (!IsKnownHeaderSize(layout.headerSize)) {
    return BmpRefusal::BadHeaderSize;
  }
  if (fileHeaderSize + layout.headerSize > start.size()) {
    return BmpRefusal::TruncatedHeader;
  }
  const bool core = layout.headerSize == coreHeaderSize;
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint64_t declaredColours = 0;
  if (core) {
    width = ReadU16(start, 18);
    height = ReadU16(start, 20);
    layout.bitCount = static_cast<int>(ReadU16(start, 24));
    layout.paletteEntrySize = 3;
  } else {
    width = static_cast<std::int32_t>(ReadU32(start, 18));
    height = static_cast<std::int32_t>(ReadU32(start, 22));
    layout.bitCount = static_cast<int>(ReadU16(start, 28));
    layout.compression = ReadU32(start, 30);
    declaredColours = ReadU32(start, 46);
  }
  layout.topDown = height < 0;
  height = height < 0 ? -height : height;
  if (width < 1 || width > maxImageSide || height < 1 || height > maxImageSide) {
    return BmpRefusal::BadDimensions;
  }
  layout.width = static_cast<int>(width);
  layout.height = static_cast<int>(height);
  if (!IsDepthAllowed(layout, core)) {
    return BmpRefusal::BadDepth;
  }

  layout.pixelOffset = ReadU32(start, 10);
  layout.paletteOffset = fileHeaderSize + layout.headerSize;
  if (layout.compression == bmpBitFields) {
    if (layout.headerSize == infoHeaderSize) {
      layout.paletteOffset += 12;
      if (layout.paletteOffset > start.size()) {
        return BmpRefusal::TruncatedHeader;
      }
    }
    layout.masks = {ReadU32(start, maskOffset), ReadU32(start, maskOffset + 4),
                    ReadU32(start, maskOffset + 8)};
  } else if (layout.bitCount == 16) {
    layout.masks = {0x7C00, 0x03E0, 0x001F};
  } else if (layout.bitCount == 32) {
    layout.masks = {0xFF0000, 0x00FF00, 0x0000FF};
  }
  if ((layout.bitCount == 16 || layout.bitCount == 32) &&
      !AreMasksUsable(layout.masks, layout.bitCount)) {
    return BmpRefusal::BadMasks;
  }
  if (layout.pixelOffset < layout.paletteOffset || layout.pixelOffset >= fileSize) {
    return BmpRefusal::BadPixelOffset;
  }
  if (layout.bitCount <= 8 && !ReadPaletteSize(declaredColours, layout)) {
    return BmpRefusal::BadPalette;
  }

  const auto pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  const std::uint64_t dataSize = fileSize - layout.pixelOffset;
  if (IsRunLength(layout)) {
    return pixels <= dataSize * maxRlePixelsPerByte ? BmpRefusal::None : BmpRefusal::TooLarge;
  }
  // The last row's padding is not pixel data, so a file may end without it.
  const std::uint64_t rowBits = static_cast<std::uint64_t>(width) * layout.bitCount;
  layout.stride = (rowBits + 31) / 32 * 4;
  layout.rowBytes = (rowBits + 7) / 8;
  const std::uint64_t needed =
      layout.stride * static_cast<std::uint64_t>(height - 1) + layout.rowBytes;
  return needed <= dataSize ? BmpRefusal::None : BmpRefusal::TruncatedData;
}

}  // namespace strixa
