#include "decode/sampling.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "image/image.h"

namespace strixa {

namespace {

// Walks first..last inclusive (64-bit, so no end near INT_MAX can overflow) and appends one mark
// per pixel; the outer light marks go in one trim at the end.
template <typename Pixel>
void SampleLine(long long first, long long last, int lineThreshold, Pixel pixel,
                std::string& pixels) {
  pixels.clear();
  if (last < first) {
    return;
  }
  pixels.reserve(static_cast<std::size_t>(last - first + 1));
  for (long long i = first; i <= last; ++i) {
    pixels += pixel(i) <= lineThreshold ? '1' : '0';
  }
  const std::size_t end = pixels.find_last_of('1');
  if (end == std::string::npos) {
    pixels.clear();
    return;
  }
  pixels.erase(end + 1);
  pixels.erase(0, pixels.find_first_of('1'));
}

// Coordinates past any possible picture read light without being narrowed to int.
int ReadPixel(const Image& image, long long x, long long y) {
  constexpr long long limit = maxImageSide + 1;
  if (x < 1 || y < 1 || x > limit || y > limit) {
    return 255;
  }
  return PixelValue(image, static_cast<int>(x), static_cast<int>(y));
}

template <typename Pixel>
int AverageLine(long long first, int extent, Pixel pixel) {
  // A line without extent has no mean; reading it as black keeps the division defined.
  if (extent <= 0) {
    return 0;
  }
  long long sum = 0;
  for (long long i = first; i <= first + extent; ++i) {
    sum += pixel(i);
  }
  // The divisor is the extent, one less than the pixels summed, so the mean reads slightly high;
  // the threshold ladder is set around that value.
  const long long mean = sum / extent;
  return static_cast<int>(std::nearbyint(static_cast<double>(mean) * 0.9));
}

}  // namespace

int LinePosition(int offset, int extent, int percentage) {
  // Both steps round to single precision: 57 x 50 % must land on 28.5 exactly, so that
  // halfway rows go to the even neighbour.
  const float q = static_cast<float>((extent / 100.0) * percentage);
  const float position = static_cast<float>(static_cast<double>(q) + offset);
  const double index = std::nearbyint(position);
  return static_cast<int>(std::clamp(index, static_cast<double>(std::numeric_limits<int>::min()),
                                     static_cast<double>(std::numeric_limits<int>::max())));
}

void SampleRowInto(const Image& image, int lineThreshold, int x, int y, int width, int height,
                   int percentage, std::string& pixels) {
  const int row = LinePosition(y, height, percentage);
  SampleLine(
      x, static_cast<long long>(x) + width, lineThreshold,
      [&](long long i) { return ReadPixel(image, i, row); }, pixels);
}

void SampleColumnInto(const Image& image, int lineThreshold, int x, int y, int width, int height,
                      int percentage, std::string& pixels) {
  const int column = LinePosition(x, width, percentage);
  SampleLine(
      y, static_cast<long long>(y) + height, lineThreshold,
      [&](long long i) { return ReadPixel(image, column, i); }, pixels);
}

std::string SampleRow(const Image& image, int lineThreshold, int x, int y, int width, int height,
                      int percentage) {
  std::string pixels;
  SampleRowInto(image, lineThreshold, x, y, width, height, percentage, pixels);
  return pixels;
}

std::string SampleColumn(const Image& image, int lineThreshold, int x, int y, int width, int height,
                         int percentage) {
  std::string pixels;
  SampleColumnInto(image, lineThreshold, x, y, width, height, percentage, pixels);
  return pixels;
}

int RowMean(const Image& image, int x, int y, int width, int height, int percentage) {
  const int row = LinePosition(y, height, percentage);
  return AverageLine(x, width, [&](long long i) { return ReadPixel(image, i, row); });
}

int ColumnMean(const Image& image, int x, int y, int width, int height, int percentage) {
  const int column = LinePosition(x, width, percentage);
  return AverageLine(y, height, [&](long long i) { return ReadPixel(image, column, i); });
}

}  // namespace strixa
