// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/image.h"

namespace strixa {

// A picture seen along one of its axes. Lines run along the "along" axis and lie side by side
// along the "across" axis: along rows (vertical false) along is x and across is y, along columns
// the two are exchanged. Code written once against the view reads either way.
struct AxisView {
  const Image& image;
  bool vertical;

  int AlongSize() const { return vertical ? image.imageHeight : image.imageWidth; }
  int AcrossSize() const { return vertical ? image.imageWidth : image.imageHeight; }

  // The along and across parts of a position or an extent given as (x, y).
  int Along(int x, int y) const { return vertical ? y : x; }
  int Across(int x, int y) const { return vertical ? x : y; }

  // As PixelValue: anything outside the picture reads as light.
  int Value(int along, int across) const {
    return vertical ? PixelValue(image, across, along) : PixelValue(image, along, across);
  }

  // The grey byte of a pixel inside the picture, and the distance from one pixel of a line to the
  // next, for loops that walk a line by address.
  const std::uint8_t* GreyByte(int along, int across) const {
    return vertical ? image.greyBytes + Offset(across, along)
                    : image.greyBytes + Offset(along, across);
  }
  std::ptrdiff_t AlongStride() const { return vertical ? image.rowPitch : image.pixelStep; }
  // The distance from one line to the next.
  std::ptrdiff_t AcrossStride() const { return vertical ? image.pixelStep : image.rowPitch; }

 private:
  std::ptrdiff_t Offset(int x, int y) const {
    return static_cast<std::ptrdiff_t>(y - 1) * image.rowPitch +
           static_cast<std::ptrdiff_t>(x - 1) * image.pixelStep;
  }
};

}  // namespace strixa
