// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/page.h"

namespace strixa {

// A PNG file of any colour type and depth, as grey or RGB(A) pixels.
bool DecodePng(std::span<const std::uint8_t> bytes, const DecodeLimits& limits,
               const PageSink& sink, std::string& error);

}  // namespace strixa
