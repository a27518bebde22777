// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/bmpHeader.h"

namespace strixa {

class ByteSource;
struct Image;

// Loads the Windows bitmap file at path into image with our own reader. The headers are read and
// checked first; then only the pixel data they describe is read, row by row, straight into the
// pixel buffer. Safe on any thread (it keeps no state). BmpRefusal::None once image holds the
// picture; any other value says why the file was refused, and leaves image empty.
BmpRefusal ReadBmpFile(const std::string& path, Image& image);

// The same reader over the bytes of a whole file already in memory.
BmpRefusal DecodeBmp(std::span<const std::uint8_t> bytes, Image& image);

// The same reader over a source at the file's first byte.
BmpRefusal ReadBmpSource(ByteSource& source, Image& image);

}  // namespace strixa
