// SPDX-License-Identifier: Apache-2.0
#include "platform/platform.h"

#include <gtest/gtest.h>

#include "image/image.h"
#include "support/builders.h"
#include "support/fakePlatform.h"

namespace strixa {

namespace {

TEST(PlatformTest, LoadFillsStateAndFailureLeavesItZero) {
  FakePlatform platform;
  Image picture = MakeBlankImage(5, 3);
  SetPixel(picture, 2, 1, 1, 2, 3);
  platform.files["a.bmp"] = MakeBmp(picture);
  platform.files["b.txt"] = {'B', 'M', 'x'};

  Image image;
  ASSERT_TRUE(LoadImageFile(platform, "a.bmp", image));
  EXPECT_EQ(image.imageWidth, 5);
  EXPECT_EQ(image.imageHeight, 3);
  // One grey byte a pixel: the green one.
  EXPECT_EQ(image.rowPitch, 5);
  EXPECT_EQ(image.pixelStep, 1);
  EXPECT_EQ(image.pixelBuffer[1], 2);
  EXPECT_EQ(image.pixelBuffer[0], 255);

  for (const char* path : {"b.txt", "missing.bmp"}) {
    EXPECT_FALSE(LoadImageFile(platform, path, image)) << path;
    EXPECT_FALSE(image.pixelBuffer);
    EXPECT_EQ(image.imageWidth, 0);
    EXPECT_EQ(image.imageHeight, 0);
    EXPECT_EQ(image.greyBytes, nullptr);
    EXPECT_EQ(image.rowPitch, 0);
  }
}

}  // namespace

}  // namespace strixa
