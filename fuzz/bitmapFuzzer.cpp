// SPDX-License-Identifier: Apache-2.0
#include <cstddef>
#include <cstdint>
#include <span>

#include "image/image.h"
#include "platform/bitmap.h"

using namespace strixa;

// Any bytes at all must either load into a picture whose every pixel can be read, or fail with
// a reason and leave the image empty.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Image image;
  if (DecodeBmp(std::span<const std::uint8_t>(data, size), image) != BmpRefusal::None) {
    if (image.pixelBuffer || image.imageWidth != 0 || image.imageHeight != 0) {
      __builtin_trap();
    }
    return 0;
  }
  if (image.imageWidth < 1 || image.imageHeight < 1 || image.imageWidth > maxImageSide ||
      image.imageHeight > maxImageSide || image.pixelStep != 1 ||
      image.rowPitch != image.imageWidth) {
    __builtin_trap();
  }
  // Touch the last pixel so a buffer shorter than its sides shows up under the sanitizer.
  volatile int last = PixelValue(image, image.imageWidth, image.imageHeight);
  (void)last;
  return 0;
}
