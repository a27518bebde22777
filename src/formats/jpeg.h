// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/page.h"

namespace strixa {

// A baseline or progressive JPEG file in grey, YCbCr or RGB, as grey or RGB pixels.
bool DecodeJpeg(std::span<const std::uint8_t> bytes, const DecodeLimits& limits,
                const PageSink& sink, std::string& error);

}  // namespace strixa
