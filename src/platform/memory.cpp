// SPDX-License-Identifier: Apache-2.0
#include "platform/memory.h"

#include "image/image.h"

namespace strixa {

namespace {

bool AllocateBuffer(int width, int height, int pixelStep, int greyOffset, Image& image,
                    PageUse use) {
  FreePixelBuffer(image);
  if (width < 1 || height < 1 || width > maxImageSide || height > maxImageSide) {
    return false;
  }
  const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                           static_cast<std::size_t>(pixelStep);
  image.pixelBuffer = AllocateLargeBuffer(size, use);
  if (!image.pixelBuffer) {
    return false;
  }
  image.imageWidth = width;
  image.imageHeight = height;
  image.greyBytes = image.pixelBuffer.get() + greyOffset;
  image.rowPitch = static_cast<std::ptrdiff_t>(pixelStep) * width;
  image.pixelStep = pixelStep;
  return true;
}

}  // namespace

bool AllocatePixelBuffer(int width, int height, Image& image, PageUse use) {
  return AllocateBuffer(width, height, 4, 1, image, use);
}

bool AllocateGreyBuffer(int width, int height, Image& image, PageUse use) {
  return AllocateBuffer(width, height, 1, 0, image, use);
}

}  // namespace strixa
