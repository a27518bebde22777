// SPDX-License-Identifier: Apache-2.0
#include "image/image.h"

#include "platform/platform.h"

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

bool LoadImageFile(Platform& platform, const std::string& path, Image& image) {
  FreePixelBuffer(image);
  if (!platform.DecodeBitmap(path, image) || image.greyBytes == nullptr) {
    FreePixelBuffer(image);
    return false;
  }
  return true;
}

void FreePixelBuffer(Image& image) { image = Image{}; }

}  // namespace strixa
