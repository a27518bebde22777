// SPDX-License-Identifier: Apache-2.0
#include "image/image.h"

#include <gtest/gtest.h>

#include "support/builders.h"

namespace strixa {

namespace {

TEST(ImageTest, PixelValueIsTheGreenByteAtOneBasedCoordinates) {
  Image image = MakeBlankImage(3, 2);
  SetPixel(image, 1, 1, 0, 255, 0);
  SetPixel(image, 3, 2, 255, 0, 255);
  SetPixel(image, 2, 1, 10, 77, 20);
  EXPECT_EQ(PixelValue(image, 1, 1), 255);
  EXPECT_EQ(PixelValue(image, 3, 2), 0);
  EXPECT_EQ(PixelValue(image, 2, 1), 77);
  EXPECT_EQ(PixelValue(image, 2, 2), 255);
}

TEST(ImageTest, PixelValueOutsideThePictureReadsLight) {
  Image image = MakeBlankImage(4, 3, 0);
  EXPECT_EQ(PixelValue(image, 4, 3), 0);
  const int outside[][2] = {{0, 1}, {1, 0}, {5, 1}, {1, 4}, {4 + 39, 3}, {4, 3 + 39}, {-7, -7}};
  for (const auto& p : outside) {
    EXPECT_EQ(PixelValue(image, p[0], p[1]), 255) << p[0] << "," << p[1];
  }
  const Image empty;
  EXPECT_EQ(PixelValue(empty, 1, 1), 255);
}

TEST(ImageTest, ThresholdTestsCountTheThresholdItselfAsDark) {
  EXPECT_EQ(SampleScore(200, 200), -2);
  EXPECT_EQ(SampleScore(201, 200), 1);
  EXPECT_EQ(SampleScore(0, 200), -2);
  EXPECT_EQ(Binarize(200, 200), 0);
  EXPECT_EQ(Binarize(201, 200), 255);
  EXPECT_EQ(Binarize(160, 160), 0);
}

// Grey, three- and four-byte pixels with padded rows all read the grey byte in place.
TEST(ImageTest, ViewReadsCallerPixelsInPlace) {
  const std::uint8_t grey[] = {10, 20, 0, 0, 30, 40, 0, 0};
  const std::uint8_t bgr[] = {0, 10, 0, 0, 20, 0, 9, 0, 30, 0, 0, 40, 0};
  Image image;
  ASSERT_TRUE(ViewPixels(grey, 2, 2, 4, 1, image));
  EXPECT_EQ(PixelValue(image, 2, 2), 40);
  ASSERT_TRUE(ViewPixels(bgr + 1, 2, 2, 7, 3, image));
  EXPECT_EQ(PixelValue(image, 1, 2), 30);
  EXPECT_EQ(PixelValue(image, 2, 2), 40);
  EXPECT_EQ(PixelValue(image, 3, 2), 255);
  EXPECT_FALSE(ViewPixels(grey, 0, 2, 4, 1, image));
  EXPECT_EQ(image.greyBytes, nullptr);
}

TEST(ImageTest, FreeLeavesTheStateEmpty) {
  Image image = MakeBlankImage(2, 2);
  FreePixelBuffer(image);
  EXPECT_FALSE(image.pixelBuffer);
  EXPECT_EQ(image.imageWidth, 0);
  FreePixelBuffer(image);
}

}  // namespace

}  // namespace strixa
