// SPDX-License-Identifier: Apache-2.0
#include "platform/memory.h"

#include <cstddef>

#include <gtest/gtest.h>

#include "image/image.h"

namespace strixa {

namespace {

TEST(MemoryTest, AllocateRefusesImpossibleSides) {
  Image image;
  EXPECT_FALSE(AllocatePixelBuffer(0, 5, image));
  EXPECT_FALSE(AllocatePixelBuffer(5, -1, image));
  EXPECT_FALSE(AllocatePixelBuffer(32768, 1, image));
  EXPECT_FALSE(image.pixelBuffer);
  ASSERT_TRUE(AllocatePixelBuffer(32767, 1, image));
  EXPECT_EQ(image.rowPitch, 4 * 32767);
}

// Our own reader's layout: a quarter of the memory, the grey byte first.
TEST(MemoryTest, GreyBufferHoldsOneByteAPixel) {
  Image image;
  EXPECT_FALSE(AllocateGreyBuffer(0, 5, image));
  EXPECT_FALSE(AllocateGreyBuffer(32768, 1, image));
  ASSERT_TRUE(AllocateGreyBuffer(7, 3, image));
  EXPECT_EQ(image.rowPitch, 7);
  EXPECT_EQ(image.pixelStep, 1);
  EXPECT_EQ(image.greyBytes, image.pixelBuffer.get());
  image.pixelBuffer[2 * 7 + 6] = 99;
  EXPECT_EQ(PixelValue(image, 7, 3), 99);
  EXPECT_EQ(PixelValue(image, 1, 1), 0);
}

// Heap blocks below the mapping threshold and mappings above it: each zero, and each carrying the
// function that gives it back, or it would leak.
TEST(MemoryTest, LargeBlocksComeZeroedWithTheirRelease) {
  for (const std::size_t size : {std::size_t{1}, std::size_t{256} << 10, std::size_t{3} << 20}) {
    SCOPED_TRACE(size);
    LargeBuffer block = AllocateLargeBuffer(size);
    ASSERT_TRUE(block);
    EXPECT_NE(block.get_deleter().release, nullptr);
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(block[size - 1], 0);
    block[size - 1] = 1;
  }
}

}  // namespace

}  // namespace strixa
