// SPDX-License-Identifier: Apache-2.0
#include "support/turnedSymbol.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace strixa {

void DrawSymbol(const Drawing& d, Picture& picture) {
  const double length = d.module * static_cast<double>(d.modules.size());
  const int width = d.width > 0 ? d.width : static_cast<int>(length + 2 * d.margin);
  const int height = d.heightPx > 0 ? d.heightPx : static_cast<int>(d.height + 2 * d.margin);
  const double radians = d.angle * std::numbers::pi / 180;
  const double ax = std::cos(radians);
  const double ay = std::sin(radians);
  std::vector<double> value(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int dark = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const double px = x + (sx + 0.5) / 4 - width / 2.0;
          const double py = y + (sy + 0.5) / 4 - height / 2.0;
          const double u = px * ax + py * ay + length / 2 - d.shift;
          const double v = px * ay - py * ax;
          if (u >= 0 && u < length && std::abs(v) <= d.height / 2 &&
              d.modules[static_cast<std::size_t>(u / d.module)] == '1') {
            ++dark;
          }
        }
      }
      const double light = 1 - (1 - d.darkestLight) * x / std::max(1, width - 1);
      value[static_cast<std::size_t>(y) * width + x] =
          light * (d.paper + (d.ink - d.paper) * dark / 16.0);
    }
  }
  if (d.blur > 0) {
    const int reach = static_cast<int>(std::ceil(3 * d.blur));
    std::vector<double> kernel;
    double total = 0;
    for (int i = -reach; i <= reach; ++i) {
      kernel.push_back(std::exp(-0.5 * i * i / (d.blur * d.blur)));
      total += kernel.back();
    }
    for (int pass = 0; pass < 2; ++pass) {
      std::vector<double> out(value.size());
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          double sum = 0;
          for (int i = -reach; i <= reach; ++i) {
            const int xx = std::clamp(pass == 0 ? x + i : x, 0, width - 1);
            const int yy = std::clamp(pass == 0 ? y : y + i, 0, height - 1);
            sum += kernel[static_cast<std::size_t>(i + reach)] *
                   value[static_cast<std::size_t>(yy) * width + xx];
          }
          out[static_cast<std::size_t>(y) * width + x] = sum / total;
        }
      }
      value = out;
    }
  }
  picture.grey.resize(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    picture.grey[i] = static_cast<std::uint8_t>(std::clamp(std::lround(value[i]), 0L, 255L));
  }
  ViewPixels(picture.grey.data(), width, height, width, 1, picture.image);
}

void DrawPage(int width, int height, const std::vector<PlacedDrawing>& drawings, Picture& page) {
  page.grey.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 255);
  for (const PlacedDrawing& placed : drawings) {
    Picture picture;
    DrawSymbol(placed.drawing, picture);
    const int w = picture.image.imageWidth;
    for (int y = 0; y < picture.image.imageHeight; ++y) {
      for (int x = 0; x < w; ++x) {
        std::uint8_t& pixel = page.grey[static_cast<std::size_t>(placed.y + y) * width +
                                        static_cast<std::size_t>(placed.x + x)];
        pixel = std::min(
            pixel, picture.grey[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)]);
      }
    }
  }
  ViewPixels(page.grey.data(), width, height, width, 1, page.image);
}

}  // namespace strixa
