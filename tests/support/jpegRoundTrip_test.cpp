// SPDX-License-Identifier: Apache-2.0
#include "support/jpegRoundTrip.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace strixa {

namespace {

#if STRIXA_PHOTO_JPEG

// Vertical bars two pixels wide, as a symbol's modules.
std::vector<std::uint8_t> Bars(int width, int height) {
  std::vector<std::uint8_t> grey;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      grey.push_back(x / 2 % 2 == 0 ? 20 : 235);
    }
  }
  return grey;
}

long SumOfErrors(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  long sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    sum += std::abs(a[i] - b[i]);
  }
  return sum;
}

TEST(JpegRoundTripTest, KeepsThePicturesSize) {
  struct Case {
    int width, height, quality;
  };
  // Sizes off the 8 x 8 blocks and a photo's.
  const Case cases[] = {{1, 1, 90}, {17, 9, 30}, {9, 17, 60}, {640, 480, 75}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    const std::vector<std::uint8_t> grey(static_cast<std::size_t>(c.width * c.height), 200);
    std::vector<std::uint8_t> decoded;
    std::size_t fileBytes = 0;
    ASSERT_TRUE(JpegRoundTrip(grey, c.width, c.height, c.quality, decoded, fileBytes));
    ASSERT_EQ(decoded.size(), grey.size());
    EXPECT_GT(fileBytes, 100u);  // headers and tables at least
    EXPECT_LE(SumOfErrors(decoded, grey), static_cast<long>(grey.size()));  // flat stays flat
  }
}

TEST(JpegRoundTripTest, LowerQualityLosesMoreInFewerBytes) {
  const std::vector<std::uint8_t> bars = Bars(64, 32);
  std::vector<std::uint8_t> low, high;
  std::size_t lowBytes = 0, highBytes = 0;
  ASSERT_TRUE(JpegRoundTrip(bars, 64, 32, 30, low, lowBytes));
  ASSERT_TRUE(JpegRoundTrip(bars, 64, 32, 90, high, highBytes));
  EXPECT_LT(lowBytes, highBytes);
  EXPECT_GT(SumOfErrors(low, bars), SumOfErrors(high, bars));
  EXPECT_GT(SumOfErrors(low, bars), 0);
}

TEST(JpegRoundTripTest, RefusesPixelsThatDoNotFillThePicture) {
  std::vector<std::uint8_t> decoded;
  std::size_t fileBytes = 0;
  EXPECT_FALSE(JpegRoundTrip(std::vector<std::uint8_t>(99, 0), 10, 10, 80, decoded, fileBytes));
  EXPECT_FALSE(JpegRoundTrip({}, 0, 0, 80, decoded, fileBytes));
}

#else

TEST(JpegRoundTripTest, NeedsLibjpeg) { GTEST_SKIP() << "built without libjpeg"; }

#endif

}  // namespace

}  // namespace strixa
