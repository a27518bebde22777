#include "platform/bitmap.h"

#include "image/image.h"

bool DecodeBmp(std::span<const std::uint8_t>, Image& image) {
  FreePixelBuffer(image);
  return false;
}
