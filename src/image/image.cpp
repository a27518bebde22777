#include "image/image.h"

#include "platform/platform.h"

namespace strixa {

bool AllocatePixelBuffer(int width, int height, Image& image) {
  FreePixelBuffer(image);
  if (width < 1 || height < 1 || width > maxImageSide || height > maxImageSide) {
    return false;
  }
  const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
  image.pixelBuffer = AllocateLargeBuffer(size);
  if (!image.pixelBuffer) {
    return false;
  }
  image.imageWidth = width;
  image.imageHeight = height;
  image.bitsPerPixel = 32;
  image.bytesPerPixel = 4;
  image.rowPitch = 4 * width;
  return true;
}

bool LoadImageFile(Platform& platform, const std::string& path, Image& image) {
  FreePixelBuffer(image);
  if (!platform.DecodeBitmap(path, image) || !image.pixelBuffer) {
    FreePixelBuffer(image);
    return false;
  }
  return true;
}

void FreePixelBuffer(Image& image) { image = Image{}; }

}  // namespace strixa
