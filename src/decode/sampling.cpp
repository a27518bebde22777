// SPDX-License-Identifier: Apache-2.0
#include "decode/sampling.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "image/axisView.h"

namespace strixa {

namespace {

// Calls take(value) with the grey value of every pixel first..last (64-bit, so no end near
// INT_MAX can overflow) of the line at across, in order. Pixels outside the picture read light,
// as PixelValue has them; those inside are walked by address, since this loop carries most of a
// candidate's sampling.
template <typename Take>
void ForEachValue(const AxisView& view, int across, long long first, long long last, Take take) {
  constexpr int light = 255;
  long long i = first;
  if (across >= 1 && across <= view.AcrossSize()) {
    const long long insideFirst = std::max(first, 1LL);
    const long long insideLast = std::min(last, static_cast<long long>(view.AlongSize()));
    for (; i < insideFirst && i <= last; ++i) {
      take(light);
    }
    if (insideFirst <= insideLast) {
      const std::uint8_t* grey = view.GreyByte(static_cast<int>(insideFirst), across);
      const std::ptrdiff_t stride = view.AlongStride();
      for (; i <= insideLast; ++i, grey += stride) {
        take(*grey);
      }
    }
  }
  for (; i <= last; ++i) {
    take(light);
  }
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

long long SampleLine(const AxisView& view, int lineThreshold, int x, int y, int width, int height,
                     int percentage, std::string& pixels) {
  const int across = LinePosition(view.Across(x, y), view.Across(width, height), percentage);
  const long long first = view.Along(x, y);
  const long long last = first + view.Along(width, height);
  pixels.clear();
  if (last < first) {
    return first;
  }
  pixels.resize(static_cast<std::size_t>(last - first + 1));
  char* mark = pixels.data();
  ForEachValue(view, across, first, last,
               [&](int value) { *mark++ = value <= lineThreshold ? '1' : '0'; });
  // The outer light marks go in one trim at the end.
  const std::size_t end = pixels.find_last_of('1');
  if (end == std::string::npos) {
    pixels.clear();
    return first;
  }
  pixels.erase(end + 1);
  const std::size_t leading = pixels.find_first_of('1');
  pixels.erase(0, leading);
  return first + static_cast<long long>(leading);
}

int CountPixels(const AxisView& view, int lineThreshold, int across, long long from, int step,
                int enough, bool dark) {
  if (across < 1 || across > view.AcrossSize()) {
    return 0;
  }
  int count = 0;
  for (long long along = from; count < enough && along >= 1 && along <= view.AlongSize();
       along += step) {
    if ((view.Value(static_cast<int>(along), across) <= lineThreshold) != dark) {
      break;
    }
    ++count;
  }
  return count;
}

int LineMean(const AxisView& view, int x, int y, int width, int height, int percentage) {
  const int extent = view.Along(width, height);
  // A line without extent has no mean; reading it as black keeps the division defined.
  if (extent <= 0) {
    return 0;
  }
  const int across = LinePosition(view.Across(x, y), view.Across(width, height), percentage);
  const long long first = view.Along(x, y);
  long long sum = 0;
  ForEachValue(view, across, first, first + extent, [&](int value) { sum += value; });
  // The divisor is the extent, one less than the pixels summed, so the mean reads slightly high;
  // the threshold ladder is set around that value.
  const long long mean = sum / extent;
  return static_cast<int>(std::nearbyint(static_cast<double>(mean) * 0.9));
}

}  // namespace strixa
