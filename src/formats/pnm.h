// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/page.h"

namespace strixa {

// A portable anymap (P1 to P6, ASCII or binary, any maxval). 8-bit binary grey and RGB are
// handed over in place, without a copy.
bool DecodePnm(std::span<const std::uint8_t> bytes, const DecodeLimits& limits,
               const PageSink& sink, std::string& error);

}  // namespace strixa
