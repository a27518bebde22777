// SPDX-License-Identifier: Apache-2.0
#include "platform/bitmap.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "image/image.h"
#include "platform/byteSource.h"
#include "platform/memory.h"

namespace strixa {

namespace {

// The grey byte of each palette entry: its green, the one channel the reading stages use.
// Indexes beyond the stored palette read as black rather than outside it.
using Palette = std::array<std::uint8_t, 256>;

// One colour channel of a packed pixel: (pixel >> shift) & lowMask indexes widen.
struct Channel {
  int shift = 0;
  std::uint32_t lowMask = 0;
  std::array<std::uint8_t, 256> widen{};
};

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

template <int bitCount>
void ConvertIndexedRow(const std::uint8_t* source, std::uint8_t* target, int width,
                       const Palette& palette) {
  constexpr int perByte = 8 / bitCount;
  constexpr unsigned valueMask = (1u << bitCount) - 1;
  for (int x = 0; x < width; ++x) {
    const int shift = 8 - bitCount * (x % perByte + 1);
    target[x] = palette[(source[x / perByte] >> shift) & valueMask];
  }
}

// Plain 24 and 32-bit pixels keep their middle (green) byte of each pixel's bytes.
void ConvertGreenRow(const std::uint8_t* source, std::uint8_t* target, int width, int bytes) {
  for (int x = 0; x < width; ++x) {
    target[x] = source[bytes * x + 1];
  }
}

template <int bitCount>
void ConvertMaskedRow(const std::uint8_t* source, std::uint8_t* target, int width,
                      const std::array<Channel, 3>& channels) {
  const Channel& green = channels[1];
  for (int x = 0; x < width; ++x) {
    const std::uint8_t* p = source + x * (bitCount / 8);
    std::uint32_t pixel = p[0] | static_cast<std::uint32_t>(p[1]) << 8;
    if constexpr (bitCount == 32) {
      pixel |= static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    target[x] = green.widen[(pixel >> green.shift) & green.lowMask];
  }
}

// Reads the palette from the bytes before the pixels (front starts at the file's first byte).
Palette ReadPalette(std::span<const std::uint8_t> front, const BmpLayout& layout) {
  Palette palette{};
  for (std::uint64_t i = 0; i < layout.paletteCount; ++i) {
    const std::size_t at = layout.paletteOffset + i * layout.paletteEntrySize;
    palette[i] = front[at + 1];
  }
  return palette;
}

// The reason for data that stopped coming before the headers said it would.
BmpRefusal EndedEarly(const ByteSource& source) {
  return source.Failed() ? BmpRefusal::ReadFailed : BmpRefusal::TruncatedData;
}

// Calls convert(sourceRow, targetRow) for every row in file order, straight from the source;
// false when the data ends first. The last row may lack its padding.
template <typename Convert>
bool ConvertRows(ByteSource& source, const BmpLayout& layout, Image& image, Convert convert) {
  const auto stride = static_cast<std::size_t>(layout.stride);
  for (int fileRow = 0; fileRow < layout.height; ++fileRow) {
    const std::uint8_t* row = source.Take(
        fileRow + 1 < layout.height ? stride : static_cast<std::size_t>(layout.rowBytes));
    if (row == nullptr) {
      return false;
    }
    const int y = layout.topDown ? fileRow : layout.height - 1 - fileRow;
    convert(row, image.pixelBuffer.get() + static_cast<std::size_t>(y) * image.rowPitch);
  }
  return true;
}

bool ConvertUncompressed(ByteSource& source, const BmpLayout& layout, const Palette& palette,
                         Image& image) {
  const int width = layout.width;
  switch (layout.bitCount) {
    case 1:
      return ConvertRows(source, layout, image, [&](const auto* s, auto* t) {
        ConvertIndexedRow<1>(s, t, width, palette);
      });
    case 4:
      return ConvertRows(source, layout, image, [&](const auto* s, auto* t) {
        ConvertIndexedRow<4>(s, t, width, palette);
      });
    case 8:
      return ConvertRows(source, layout, image, [&](const auto* s, auto* t) {
        ConvertIndexedRow<8>(s, t, width, palette);
      });
    case 24:
      return ConvertRows(source, layout, image,
                         [&](const auto* s, auto* t) { ConvertGreenRow(s, t, width, 3); });
    case 16:
    case 32:
      break;
  }
  const std::array<std::uint32_t, 3> plainMasks = {0xFF0000, 0x00FF00, 0x0000FF};
  if (layout.bitCount == 32 && layout.masks == plainMasks) {
    return ConvertRows(source, layout, image,
                       [&](const auto* s, auto* t) { ConvertGreenRow(s, t, width, 4); });
  }
  const std::array<Channel, 3> channels = {
      MakeChannel(layout.masks[0]), MakeChannel(layout.masks[1]), MakeChannel(layout.masks[2])};
  if (layout.bitCount == 16) {
    return ConvertRows(source, layout, image, [&](const auto* s, auto* t) {
      ConvertMaskedRow<16>(s, t, width, channels);
    });
  }
  // The header check lets no depth through but those above.
  return ConvertRows(source, layout, image,
                     [&](const auto* s, auto* t) { ConvertMaskedRow<32>(s, t, width, channels); });
}

// Writes count pixels of a run or absolute block at column x of row; pixels past the right edge
// are dropped, as common writers store each row's padding as pixels. indexAt(i) is the palette
// index of the block's pixel i.
template <typename IndexAt>
void PutPixels(std::uint8_t* row, ColumnSpan& span, int x, int count, int width,
               const Palette& palette, IndexAt indexAt) {
  const int inside = std::min(count, width - x);
  if (inside <= 0) {
    return;
  }
  for (int i = 0; i < inside; ++i) {
    row[x + i] = palette[indexAt(i)];
  }
  span.first = span.first == span.end ? x : std::min(span.first, x);
  span.end = std::max(span.end, x + inside);
}

// Keeps the spans only where some row was left partly unset: a whole picture is read without them.
void DropWholeSpans(Image& image) {
  const auto whole = [&](const ColumnSpan& span) {
    return span.first == 0 && span.end == image.imageWidth;
  };
  if (std::ranges::all_of(image.setColumns, whole)) {
    image.setColumns.clear();
  }
}

// Plays a run-length stream onto the zero (black) picture. Runs and absolute blocks keep only
// their pixels inside the row; a delta that leaves the picture, or a stream that ends before
// its end-of-bitmap code (or before its last row is closed), fails.
BmpRefusal DecodeRle(ByteSource& source, const BmpLayout& layout, const Palette& palette,
                     Image& image) {
  const bool fourBit = layout.compression == bmpRle4;
  const int width = layout.width;
  const int height = layout.height;
  int x = 0;  // may pass width: later pixels of the row are dropped
  int y = 0;  // rows counted from the bottom, as the stream runs
  image.setColumns.assign(static_cast<std::size_t>(height), ColumnSpan{});
  while (y < height) {
    const std::uint8_t* code = source.Take(2);
    if (code == nullptr) {
      return source.Failed() ? BmpRefusal::ReadFailed : BmpRefusal::BadRle;
    }
    const int count = code[0];
    const int value = code[1];
    std::uint8_t* row =
        image.pixelBuffer.get() + static_cast<std::size_t>(height - 1 - y) * image.rowPitch;
    ColumnSpan& span = image.setColumns[static_cast<std::size_t>(height - 1 - y)];
    if (count > 0) {
      if (fourBit) {
        PutPixels(row, span, x, count, width, palette,
                  [&](int i) { return i % 2 == 0 ? value >> 4 : value & 0x0F; });
      } else {
        PutPixels(row, span, x, count, width, palette, [&](int) { return value; });
      }
      x = std::min(x + count, width);
    } else if (value == 0) {
      x = 0;
      ++y;
    } else if (value == 1) {
      return BmpRefusal::None;
    } else if (value == 2) {
      const std::uint8_t* delta = source.Take(2);
      if (delta == nullptr || delta[0] > width - x || delta[1] > height - 1 - y) {
        return source.Failed() ? BmpRefusal::ReadFailed : BmpRefusal::BadRle;
      }
      x += delta[0];
      y += delta[1];
    } else {
      const std::size_t dataBytes = fourBit ? (value + 1) / 2 : value;
      const std::uint8_t* data = source.Take(dataBytes);
      if (data == nullptr) {
        return source.Failed() ? BmpRefusal::ReadFailed : BmpRefusal::BadRle;
      }
      if (fourBit) {
        PutPixels(row, span, x, value, width, palette,
                  [&](int i) { return i % 2 == 0 ? data[i / 2] >> 4 : data[i / 2] & 0x0F; });
      } else {
        PutPixels(row, span, x, value, width, palette, [&](int i) { return data[i]; });
      }
      x = std::min(x + value, width);
      // Absolute blocks are padded to a whole number of 16-bit words; the last pad may be missing.
      if (dataBytes % 2 != 0 && source.Take(1) == nullptr && source.Failed()) {
        return BmpRefusal::ReadFailed;
      }
    }
  }
  return BmpRefusal::None;
}

// Checks the headers, then reads the pixels the layout describes from source into image.
BmpRefusal DecodeSource(ByteSource& source, Image& image) {
  BmpLayout layout;
  const std::span<const std::uint8_t> start = source.Peek(bmpHeadersMaxSize);
  if (const BmpRefusal refusal = ReadBmpLayout(start, source.Size(), layout);
      refusal != BmpRefusal::None) {
    return source.Failed() ? BmpRefusal::ReadFailed : refusal;
  }
  // The palette ends before the pixels, so at most a header and 256 entries: a small piece.
  const std::uint64_t paletteEnd =
      layout.paletteOffset + layout.paletteCount * layout.paletteEntrySize;
  const std::span<const std::uint8_t> front = source.Peek(static_cast<std::size_t>(paletteEnd));
  if (front.size() < paletteEnd) {
    return EndedEarly(source);
  }
  const Palette palette = ReadPalette(front, layout);
  if (!source.SkipTo(layout.pixelOffset)) {
    return EndedEarly(source);
  }
  const bool runLength = IsRunLength(layout);
  if (!AllocateGreyBuffer(layout.width, layout.height, image,
                          runLength ? PageUse::Scattered : PageUse::Whole)) {
    return BmpRefusal::OutOfMemory;
  }
  if (runLength) {
    const BmpRefusal rle = DecodeRle(source, layout, palette, image);
    DropWholeSpans(image);
    // Only a picture the stream set whole is read whole: asking for huge pages over a sparse one
    // lets the kernel back a single set pixel with two megabytes.
    if (image.setColumns.empty()) {
      ExpectWholeReads(image.pixelBuffer);
    }
    return rle;
  }
  return ConvertUncompressed(source, layout, palette, image) ? BmpRefusal::None
                                                             : EndedEarly(source);
}

}  // namespace

BmpRefusal ReadBmpSource(ByteSource& source, Image& image) {
  FreePixelBuffer(image);
  const BmpRefusal refusal = DecodeSource(source, image);
  if (refusal != BmpRefusal::None) {
    FreePixelBuffer(image);
  }
  return refusal;
}

BmpRefusal ReadBmpFile(const std::string& path, Image& image) {
  FreePixelBuffer(image);
  std::unique_ptr<ByteSource> source;
  if (!ByteSource::OpenFile(path, source)) {
    return BmpRefusal::CannotOpen;
  }
  return ReadBmpSource(*source, image);
}

BmpRefusal DecodeBmp(std::span<const std::uint8_t> bytes, Image& image) {
  ByteSource source(bytes);
  return ReadBmpSource(source, image);
}

}  // namespace strixa
