// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/page.h"

namespace strixa {

// Every page of a PDF file (or those limits.pdfPages names) rendered in grey at limits.dpi, one
// page at a time. Pages whose size at that resolution breaks the limits are refused before
// rendering.
bool DecodePdf(std::span<const std::uint8_t> bytes, const DecodeLimits& limits,
               const PageSink& sink, std::string& error);

// Stops the PDF library from writing its own messages to standard error; call once, before
// any thread decodes.
void SilencePdfMessages();

}  // namespace strixa
