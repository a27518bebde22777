// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/bmpHeader.h"

namespace strixa {

struct Image;

// Loads the Windows bitmap file at path into image with our own reader. The headers are read and
// checked first; then only the pixel data they describe is read, row by row, straight into the
// pixel buffer. Safe on any thread (it keeps no state). False leaves image empty and, given
// reason, says why.
bool ReadBmpFile(const std::string& path, Image& image, BmpRefusal* reason = nullptr);

// The same reader over the bytes of a whole file already in memory.
bool DecodeBmp(std::span<const std::uint8_t> bytes, Image& image, BmpRefusal* reason = nullptr);

}  // namespace strixa
