// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "formats/page.h"

namespace strixa {

enum class Format { Unknown, Bmp, Png, Jpeg, Tiff, Pnm, Webp, Pdf };

// Bytes SniffFormat needs to see: a PDF header may follow up to a kilobyte of other bytes.
inline constexpr std::size_t sniffLength = 1024;

// The format the leading bytes of a file announce, whatever its name says.
Format SniffFormat(std::span<const std::uint8_t> head);

std::string_view FormatName(Format format);

// False for formats whose decoder was left out of this build.
bool IsFormatBuilt(Format format);

// Decodes every page of a file held in memory, handing each to sink in order. BMP is not
// decoded here: the library reads it. False with error set when the file cannot be read; pages
// already handed over stay valid results.
bool DecodePages(Format format, std::span<const std::uint8_t> bytes, const DecodeLimits& limits,
                 const PageSink& sink, std::string& error);

// Keeps decoder libraries from writing to standard error themselves; call once, before any
// thread decodes.
void SilenceDecoderMessages();

}  // namespace strixa
