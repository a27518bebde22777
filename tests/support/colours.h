// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "image/image.h"

namespace strixa {

// The picture as 0xRRGGBB per pixel, top row first; the fourth byte must be 0 everywhere.
inline std::vector<std::uint32_t> Colours(const Image& image) {
  std::vector<std::uint32_t> colours;
  for (int i = 0; i < image.imageWidth * image.imageHeight; ++i) {
    const std::uint8_t* p = &image.pixelBuffer[static_cast<std::size_t>(i) * 4];
    EXPECT_EQ(p[3], 0) << "pixel " << i;
    colours.push_back(static_cast<std::uint32_t>(p[2]) << 16 | p[1] << 8 | p[0]);
  }
  return colours;
}

}  // namespace strixa
