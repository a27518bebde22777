#include "platform/bitmap.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "image/image.h"

namespace strixa {

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint32_t rgbCompression = 0;
constexpr std::uint32_t rle8Compression = 1;
constexpr std::uint32_t rle4Compression = 2;
constexpr std::uint32_t bitFieldsCompression = 3;

constexpr std::uint64_t fileHeaderSize = 14;
constexpr std::uint64_t coreHeaderSize = 12;
constexpr std::uint64_t infoHeaderSize = 40;
constexpr std::array<std::uint64_t, 6> knownHeaderSizes = {12, 40, 52, 56, 108, 124};

// Red, green and blue masks sit here whether they end a longer header or follow a 40-byte one.
constexpr std::size_t maskOffset = 54;

// Skipped RLE pixels cost no bytes, so a stream's length does not bound its picture. No real
// stream is this sparse, and the limit keeps a few bytes from claiming gigabytes.
constexpr std::uint64_t maxRlePixelsPerByte = 4096;

// One output pixel: blue, green, red, 0.
using Colour = std::array<std::uint8_t, 4>;

// Indexes beyond the stored palette read as black rather than outside it.
using Palette = std::array<Colour, 256>;

struct Layout {
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bitCount = 0;
  std::uint32_t compression = rgbCompression;
  std::uint64_t pixelOffset = 0;
  std::array<std::uint32_t, 3> masks{};  // red, green, blue
  std::uint64_t paletteOffset = 0;
  std::uint64_t paletteEntrySize = 4;
  std::uint64_t paletteCount = 0;
};

// One colour channel of a packed pixel: (pixel >> shift) & lowMask indexes widen.
struct Channel {
  int shift = 0;
  std::uint32_t lowMask = 0;
  std::array<std::uint8_t, 256> widen{};
};

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

// Repeats the value's bits from the top down, so a full narrow channel reads 255.
std::uint8_t WidenBits(std::uint32_t value, int bits) {
  std::uint32_t wide = 0;
  for (int shift = 8 - bits; shift > -bits; shift -= bits) {
    wide |= shift >= 0 ? value << shift : value >> -shift;
  }
  return static_cast<std::uint8_t>(wide);
}

Channel MakeChannel(std::uint32_t mask) {
  Channel channel;
  if (mask == 0) {
    return channel;
  }
  const int low = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  if (bits >= 8) {
    // Wider channels keep their top eight bits.
    channel.shift = low + bits - 8;
    channel.lowMask = 0xFF;
    for (std::uint32_t v = 0; v < 256; ++v) {
      channel.widen[v] = static_cast<std::uint8_t>(v);
    }
  } else {
    channel.shift = low;
    channel.lowMask = (1u << bits) - 1;
    for (std::uint32_t v = 0; v <= channel.lowMask; ++v) {
      channel.widen[v] = WidenBits(v, bits);
    }
  }
  return channel;
}

bool IsKnownHeaderSize(std::uint64_t headerSize) {
  return std::find(knownHeaderSizes.begin(), knownHeaderSizes.end(), headerSize) !=
         knownHeaderSizes.end();
}

bool IsDepthAllowed(const Layout& layout, bool core) {
  switch (layout.compression) {
    case rgbCompression:
      return layout.bitCount == 1 || layout.bitCount == 4 || layout.bitCount == 8 ||
             layout.bitCount == 24 || (!core && (layout.bitCount == 16 || layout.bitCount == 32));
    case rle8Compression:
      return layout.bitCount == 8 && !layout.topDown;
    case rle4Compression:
      return layout.bitCount == 4 && !layout.topDown;
    case bitFieldsCompression:
      return layout.bitCount == 16 || layout.bitCount == 32;
    default:
      // Embedded JPEG or PNG data and the rarer compressions are not ours to decode.
      return false;
  }
}

// Reads and checks every header field; nothing here trusts a size or offset it has not bounded.
bool ReadLayout(Bytes bytes, Layout& layout) {
  if (bytes.size() < fileHeaderSize + 4 || bytes[0] != 'B' || bytes[1] != 'M') {
    return false;
  }
  const std::uint64_t headerSize = ReadU32(bytes, 14);
  if (!IsKnownHeaderSize(headerSize) || fileHeaderSize + headerSize > bytes.size()) {
    return false;
  }
  const bool core = headerSize == coreHeaderSize;
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint64_t declaredColours = 0;
  if (core) {
    width = ReadU16(bytes, 18);
    height = ReadU16(bytes, 20);
    layout.bitCount = static_cast<int>(ReadU16(bytes, 24));
    layout.paletteEntrySize = 3;
  } else {
    width = static_cast<std::int32_t>(ReadU32(bytes, 18));
    height = static_cast<std::int32_t>(ReadU32(bytes, 22));
    layout.bitCount = static_cast<int>(ReadU16(bytes, 28));
    layout.compression = ReadU32(bytes, 30);
    declaredColours = ReadU32(bytes, 46);
    layout.paletteEntrySize = 4;
  }
  layout.topDown = height < 0;
  height = height < 0 ? -height : height;
  if (width < 1 || width > maxImageSide || height < 1 || height > maxImageSide) {
    return false;
  }
  layout.width = static_cast<int>(width);
  layout.height = static_cast<int>(height);
  if (!IsDepthAllowed(layout, core)) {
    return false;
  }

  layout.pixelOffset = ReadU32(bytes, 10);
  layout.paletteOffset = fileHeaderSize + headerSize;
  if (layout.compression == bitFieldsCompression) {
    if (headerSize == infoHeaderSize) {
      layout.paletteOffset += 12;
      if (layout.paletteOffset > bytes.size()) {
        return false;
      }
    }
    layout.masks = {ReadU32(bytes, maskOffset), ReadU32(bytes, maskOffset + 4),
                    ReadU32(bytes, maskOffset + 8)};
  } else if (layout.bitCount == 16) {
    layout.masks = {0x7C00, 0x03E0, 0x001F};
  } else if (layout.bitCount == 32) {
    layout.masks = {0xFF0000, 0x00FF00, 0x0000FF};
  }
  if ((layout.bitCount == 16 || layout.bitCount == 32) &&
      !AreMasksUsable(layout.masks, layout.bitCount)) {
    return false;
  }
  if (layout.pixelOffset < layout.paletteOffset || layout.pixelOffset >= bytes.size()) {
    return false;
  }

  if (layout.bitCount <= 8) {
    // The palette lies between the headers and the pixels. Without a count, take the entries
    // that fit there; a stated count must fit, and entries past the depth's range are unused.
    const std::uint64_t fullCount = std::uint64_t{1} << layout.bitCount;
    const std::uint64_t room =
        (layout.pixelOffset - layout.paletteOffset) / layout.paletteEntrySize;
    if (declaredColours == 0) {
      layout.paletteCount = std::min(fullCount, room);
    } else if (declaredColours <= room) {
      layout.paletteCount = std::min(fullCount, declaredColours);
    } else {
      return false;
    }
    if (layout.paletteCount == 0) {
      return false;
    }
  }
  return true;
}

Palette ReadPalette(Bytes bytes, const Layout& layout) {
  Palette palette{};
  for (std::uint64_t i = 0; i < layout.paletteCount; ++i) {
    const std::size_t at = layout.paletteOffset + i * layout.paletteEntrySize;
    palette[i] = {bytes[at], bytes[at + 1], bytes[at + 2], 0};
  }
  return palette;
}

template <int bitCount>
void ConvertIndexedRow(const std::uint8_t* source, std::uint8_t* target, int width,
                       const Palette& palette) {
  constexpr int perByte = 8 / bitCount;
  constexpr unsigned valueMask = (1u << bitCount) - 1;
  for (int x = 0; x < width; ++x) {
    const int shift = 8 - bitCount * (x % perByte + 1);
    const unsigned index = (source[x / perByte] >> shift) & valueMask;
    std::memcpy(target + 4 * x, palette[index].data(), 4);
  }
}

void ConvertRgb24Row(const std::uint8_t* source, std::uint8_t* target, int width) {
  int x = 0;
  if constexpr (std::endian::native == std::endian::little) {
    // Four bytes at a time: the fourth belongs to the next pixel, so the last pixel goes singly.
    for (; x + 1 < width; ++x) {
      std::uint32_t pixel = 0;
      std::memcpy(&pixel, source + 3 * x, 4);
      pixel &= 0x00FFFFFF;
      std::memcpy(target + 4 * x, &pixel, 4);
    }
  }
  for (; x < width; ++x) {
    target[4 * x] = source[3 * x];
    target[4 * x + 1] = source[3 * x + 1];
    target[4 * x + 2] = source[3 * x + 2];
    target[4 * x + 3] = 0;
  }
}

void ConvertRgb32Row(const std::uint8_t* source, std::uint8_t* target, int width) {
  if constexpr (std::endian::native == std::endian::little) {
    for (int x = 0; x < width; ++x) {
      std::uint32_t pixel = 0;
      std::memcpy(&pixel, source + 4 * x, 4);
      pixel &= 0x00FFFFFF;
      std::memcpy(target + 4 * x, &pixel, 4);
    }
    return;
  }
  for (int x = 0; x < width; ++x) {
    target[4 * x] = source[4 * x];
    target[4 * x + 1] = source[4 * x + 1];
    target[4 * x + 2] = source[4 * x + 2];
    target[4 * x + 3] = 0;
  }
}

template <int bitCount>
void ConvertMaskedRow(const std::uint8_t* source, std::uint8_t* target, int width,
                      const std::array<Channel, 3>& channels) {
  const auto& [red, green, blue] = channels;
  for (int x = 0; x < width; ++x) {
    const std::uint8_t* p = source + x * (bitCount / 8);
    std::uint32_t pixel = p[0] | static_cast<std::uint32_t>(p[1]) << 8;
    if constexpr (bitCount == 32) {
      pixel |= static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    target[4 * x] = blue.widen[(pixel >> blue.shift) & blue.lowMask];
    target[4 * x + 1] = green.widen[(pixel >> green.shift) & green.lowMask];
    target[4 * x + 2] = red.widen[(pixel >> red.shift) & red.lowMask];
    target[4 * x + 3] = 0;
  }
}

// Calls convert(sourceRow, targetRow) for every row, top of the picture first.
template <typename Convert>
void ConvertRows(const Layout& layout, const std::uint8_t* pixels, std::uint64_t stride,
                 Image& image, Convert convert) {
  for (int y = 0; y < layout.height; ++y) {
    const int fileRow = layout.topDown ? y : layout.height - 1 - y;
    convert(pixels + static_cast<std::size_t>(fileRow) * stride,
            image.pixelBuffer.get() + static_cast<std::size_t>(y) * image.rowPitch);
  }
}

void ConvertUncompressed(Bytes bytes, const Layout& layout, std::uint64_t stride, Image& image) {
  const std::uint8_t* pixels = bytes.data() + layout.pixelOffset;
  const int width = layout.width;
  if (layout.bitCount <= 8) {
    const Palette palette = ReadPalette(bytes, layout);
    switch (layout.bitCount) {
      case 1:
        ConvertRows(layout, pixels, stride, image,
                    [&](const auto* s, auto* t) { ConvertIndexedRow<1>(s, t, width, palette); });
        return;
      case 4:
        ConvertRows(layout, pixels, stride, image,
                    [&](const auto* s, auto* t) { ConvertIndexedRow<4>(s, t, width, palette); });
        return;
      default:
        ConvertRows(layout, pixels, stride, image,
                    [&](const auto* s, auto* t) { ConvertIndexedRow<8>(s, t, width, palette); });
        return;
    }
  }
  if (layout.bitCount == 24) {
    ConvertRows(layout, pixels, stride, image,
                [&](const auto* s, auto* t) { ConvertRgb24Row(s, t, width); });
    return;
  }
  const std::array<std::uint32_t, 3> plainMasks = {0xFF0000, 0x00FF00, 0x0000FF};
  if (layout.bitCount == 32 && layout.masks == plainMasks) {
    ConvertRows(layout, pixels, stride, image,
                [&](const auto* s, auto* t) { ConvertRgb32Row(s, t, width); });
    return;
  }
  const std::array<Channel, 3> channels = {
      MakeChannel(layout.masks[0]), MakeChannel(layout.masks[1]), MakeChannel(layout.masks[2])};
  if (layout.bitCount == 16) {
    ConvertRows(layout, pixels, stride, image,
                [&](const auto* s, auto* t) { ConvertMaskedRow<16>(s, t, width, channels); });
  } else {
    ConvertRows(layout, pixels, stride, image,
                [&](const auto* s, auto* t) { ConvertMaskedRow<32>(s, t, width, channels); });
  }
}

// Plays an RLE stream onto a black picture. Every run, delta and absolute block is checked
// against the row and the picture before it is written; a stream that ends before its
// end-of-bitmap code (or before its last row is closed) is cut short and fails.
bool DecodeRle(Bytes stream, const Layout& layout, const Palette& palette, Image& image) {
  const bool fourBit = layout.compression == rle4Compression;
  const int width = layout.width;
  const int height = layout.height;
  std::memset(image.pixelBuffer.get(), 0,
              static_cast<std::size_t>(image.rowPitch) * static_cast<std::size_t>(height));
  std::size_t at = 0;
  int x = 0;
  int y = 0;  // rows counted from the bottom, as the stream runs
  while (y < height) {
    if (stream.size() - at < 2) {
      return false;
    }
    const int count = stream[at];
    const int value = stream[at + 1];
    at += 2;
    std::uint8_t* row = image.pixelBuffer.get() +
                        static_cast<std::size_t>(height - 1 - y) * image.rowPitch +
                        static_cast<std::size_t>(x) * 4;
    if (count > 0) {
      if (count > width - x) {
        return false;
      }
      for (int i = 0; i < count; ++i) {
        const int index = !fourBit ? value : (i % 2 == 0 ? value >> 4 : value & 0x0F);
        std::memcpy(row + 4 * i, palette[index].data(), 4);
      }
      x += count;
    } else if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      return true;
    } else if (value == 2) {
      if (stream.size() - at < 2) {
        return false;
      }
      const int right = stream[at];
      const int up = stream[at + 1];
      at += 2;
      if (right > width - x || up > height - 1 - y) {
        return false;
      }
      x += right;
      y += up;
    } else {
      const std::size_t dataBytes = fourBit ? (value + 1) / 2 : value;
      if (value > width - x || stream.size() - at < dataBytes) {
        return false;
      }
      for (int i = 0; i < value; ++i) {
        const int index = !fourBit
                              ? stream[at + i]
                              : (i % 2 == 0 ? stream[at + i / 2] >> 4 : stream[at + i / 2] & 0x0F);
        std::memcpy(row + 4 * i, palette[index].data(), 4);
      }
      x += value;
      // Absolute blocks are padded to a whole number of 16-bit words.
      at += std::min(dataBytes + dataBytes % 2, stream.size() - at);
    }
  }
  return true;
}

}  // namespace

bool DecodeBmp(std::span<const std::uint8_t> bytes, Image& image) {
  FreePixelBuffer(image);
  Layout layout;
  if (!ReadLayout(bytes, layout)) {
    return false;
  }
  const auto width = static_cast<std::uint64_t>(layout.width);
  const auto height = static_cast<std::uint64_t>(layout.height);
  if (layout.compression == rle8Compression || layout.compression == rle4Compression) {
    const Bytes stream = bytes.subspan(layout.pixelOffset);
    if (width * height > stream.size() * maxRlePixelsPerByte ||
        !AllocatePixelBuffer(layout.width, layout.height, image)) {
      return false;
    }
    if (!DecodeRle(stream, layout, ReadPalette(bytes, layout), image)) {
      FreePixelBuffer(image);
      return false;
    }
    return true;
  }
  // The last row's padding is not pixel data, so a file may end without it.
  const std::uint64_t rowBits = width * static_cast<std::uint64_t>(layout.bitCount);
  const std::uint64_t stride = (rowBits + 31) / 32 * 4;
  const std::uint64_t needed = layout.pixelOffset + stride * (height - 1) + (rowBits + 7) / 8;
  if (needed > bytes.size() || !AllocatePixelBuffer(layout.width, layout.height, image)) {
    return false;
  }
  ConvertUncompressed(bytes, layout, stride, image);
  return true;
}

}  // namespace strixa
