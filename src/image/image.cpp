// SPDX-License-Identifier: Apache-2.0
#include "image/image.h"

namespace strixa {

bool ViewPixels(const std::uint8_t* greyBytes, int width, int height, std::ptrdiff_t rowPitch,
                int pixelStep, Image& image) {
  FreePixelBuffer(image);
  if (greyBytes == nullptr || width < 1 || height < 1 || width > maxImageSide ||
      height > maxImageSide) {
    return false;
  }
  image.greyBytes = greyBytes;
  image.imageWidth = width;
  image.imageHeight = height;
  image.rowPitch = rowPitch;
  image.pixelStep = pixelStep;
  return true;
}

void FreePixelBuffer(Image& image) { image = Image{}; }

}  // namespace strixa
