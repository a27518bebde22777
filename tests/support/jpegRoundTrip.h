// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace strixa {

// Compresses a grey picture (rows without gaps) as a JPEG file at quality 1-100 in memory and
// decodes it again into decoded, as a camera or a scanner's file would come back. fileBytes gets
// the compressed size. False when libjpeg refuses either step.
bool JpegRoundTrip(const std::vector<std::uint8_t>& grey, int width, int height, int quality,
                   std::vector<std::uint8_t>& decoded, std::size_t& fileBytes);

}  // namespace strixa
