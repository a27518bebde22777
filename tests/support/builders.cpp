// SPDX-License-Identifier: Apache-2.0
#include "support/builders.h"

#include <array>
#include <cmath>
#include <cstring>

#include "platform/memory.h"
#include "support/bmpWriter.h"

namespace strixa {

std::string Widen(std::string_view modules, int moduleWidth) {
  std::string pixels;
  for (char m : modules) {
    pixels.append(static_cast<std::size_t>(moduleWidth), m);
  }
  return pixels;
}

std::string WidenFractional(std::string_view modules, double pixelsPerModule) {
  std::string pixels;
  for (int j = 0;; ++j) {
    const auto module = static_cast<std::size_t>(std::floor(j / pixelsPerModule));
    if (module >= modules.size()) {
      return pixels;
    }
    pixels += modules[module];
  }
}

// Blue, green and red of the pixel at 0-based x and y, of a built picture (32-bit) or of one
// our bitmap reader loaded (one grey byte a pixel).
std::array<std::uint8_t, 3> ColourAt(const Image& image, int x, int y) {
  const std::uint8_t* p = image.greyBytes + static_cast<std::ptrdiff_t>(y) * image.rowPitch +
                          static_cast<std::ptrdiff_t>(x) * image.pixelStep;
  return image.pixelStep == 1 ? std::array<std::uint8_t, 3>{p[0], p[0], p[0]}
                              : std::array<std::uint8_t, 3>{p[-1], p[0], p[1]};
}

Image MakeBlankImage(int width, int height, std::uint8_t grey) {
  Image image;
  AllocatePixelBuffer(width, height, image);
  std::memset(image.pixelBuffer.get(), grey, static_cast<std::size_t>(width) * height * 4);
  for (std::size_t i = 3; i < static_cast<std::size_t>(width) * height * 4; i += 4) {
    image.pixelBuffer[i] = 0;
  }
  return image;
}

void SetPixel(Image& image, int x, int y, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
  if (x < 1 || y < 1 || x > image.imageWidth || y > image.imageHeight) {
    return;
  }
  std::uint8_t* p =
      &image.pixelBuffer[static_cast<std::size_t>(y - 1) * image.rowPitch + (x - 1) * 4];
  p[0] = blue;
  p[1] = green;
  p[2] = red;
}

void FillRect(Image& image, int x, int y, int width, int height, std::uint8_t grey) {
  for (int row = y; row < y + height; ++row) {
    for (int column = x; column < x + width; ++column) {
      SetPixel(image, column, row, grey, grey, grey);
    }
  }
}

Image MakeImage(const std::vector<std::string>& rows) {
  const int height = static_cast<int>(rows.size());
  const int width = height > 0 ? static_cast<int>(rows[0].size()) : 0;
  Image image = MakeBlankImage(width, height);
  for (int y = 1; y <= height; ++y) {
    for (int x = 1; x <= width; ++x) {
      const char c = rows[y - 1][x - 1];
      const auto grey = static_cast<std::uint8_t>(c == '#'   ? 0
                                                  : c == '.' ? 255
                                                             : static_cast<unsigned char>(c));
      SetPixel(image, x, y, grey, grey, grey);
    }
  }
  return image;
}

void DrawBars(Image& image, std::string_view modules, int moduleWidth, int x, int y, int length,
              bool vertical) {
  for (std::size_t i = 0; i < modules.size(); ++i) {
    if (modules[i] != '1') {
      continue;
    }
    const int offset = static_cast<int>(i) * moduleWidth;
    if (vertical) {
      FillRect(image, x, y + offset, length, moduleWidth, 0);
    } else {
      FillRect(image, x + offset, y, moduleWidth, length, 0);
    }
  }
}

Image RotateImage(const Image& image, int quarterTurns) {
  quarterTurns = ((quarterTurns % 4) + 4) % 4;
  const int w = image.imageWidth;
  const int h = image.imageHeight;
  const bool swap = quarterTurns % 2 == 1;
  Image turned = MakeBlankImage(swap ? h : w, swap ? w : h);
  for (int y = 1; y <= h; ++y) {
    for (int x = 1; x <= w; ++x) {
      int nx = x;
      int ny = y;
      if (quarterTurns == 1) {
        nx = h - y + 1;
        ny = x;
      } else if (quarterTurns == 2) {
        nx = w - x + 1;
        ny = h - y + 1;
      } else if (quarterTurns == 3) {
        nx = y;
        ny = w - x + 1;
      }
      const std::array<std::uint8_t, 3> p = ColourAt(image, x - 1, y - 1);
      SetPixel(turned, nx, ny, p[0], p[1], p[2]);
    }
  }
  return turned;
}

std::vector<std::uint8_t> MakeBmp(const Image& image) {
  std::vector<std::vector<std::uint32_t>> rows(static_cast<std::size_t>(image.imageHeight));
  for (int y = 0; y < image.imageHeight; ++y) {
    for (int x = 0; x < image.imageWidth; ++x) {
      const std::array<std::uint8_t, 3> p = ColourAt(image, x, y);
      rows[y].push_back(static_cast<std::uint32_t>(p[2]) << 16 | p[1] << 8 | p[0]);
    }
  }
  return WriteBmp(
      {.width = image.imageWidth, .height = image.imageHeight, .pixels = PackRows(rows, 24)});
}

std::vector<std::uint8_t> MakeBmp(const std::vector<std::string>& rows) {
  return MakeBmp(MakeImage(rows));
}

}  // namespace strixa
