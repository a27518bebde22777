// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/page.h"

namespace strixa {

// Every page of a TIFF file, one at a time: 1- and 8-bit grey and 8-bit RGB strips and 8-bit grey
// and RGB tiles directly to grey bytes, anything else through libtiff's RGBA conversion.
bool DecodeTiff(std::span<const std::uint8_t> bytes, const DecodeLimits& limits,
                const PageSink& sink, std::string& error);

}  // namespace strixa
