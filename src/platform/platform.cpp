// SPDX-License-Identifier: Apache-2.0
#include "platform/platform.h"

#include "image/image.h"

namespace strixa {

bool LoadImageFile(Platform& platform, const std::string& path, Image& image) {
  FreePixelBuffer(image);
  if (!platform.DecodeBitmap(path, image) || image.greyBytes == nullptr) {
    FreePixelBuffer(image);
    return false;
  }
  return true;
}

}  // namespace strixa
