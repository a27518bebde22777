// SPDX-License-Identifier: Apache-2.0
#include "support/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <string_view>
#include <vector>

namespace strixa {

Canvas MakeCanvas(int width, int height, float paper) {
  return {width, height, std::vector<float>(static_cast<std::size_t>(width) * height, paper)};
}

// Paints columns x..x+width-1, rows y..y+height-1 (from 0), clipped to the canvas.
void FillBox(Canvas& canvas, int x, int y, int width, int height, float ink) {
  const int left = std::max(x, 0);
  const int right = std::min(x + width, canvas.width);
  const int top = std::max(y, 0);
  const int bottom = std::min(y + height, canvas.height);
  for (int row = top; row < bottom; ++row) {
    for (int column = left; column < right; ++column) {
      canvas.At(column, row) = ink;
    }
  }
}

namespace {

struct Glyph {
  char character;
  std::string_view rows;  // up to nine rows of five, separated by spaces; '#' is ink
};

constexpr Glyph font[] = {
    {'A', ".###. #...# #...# ##### #...# #...# #...#"},
    {'B', "####. #...# #...# ####. #...# #...# ####."},
    {'C', ".###. #...# #.... #.... #.... #...# .###."},
    {'D', "####. #...# #...# #...# #...# #...# ####."},
    {'E', "##### #.... #.... ####. #.... #.... #####"},
    {'F', "##### #.... #.... ####. #.... #.... #...."},
    {'G', ".###. #...# #.... #.### #...# #...# .####"},
    {'H', "#...# #...# #...# ##### #...# #...# #...#"},
    {'I', ".###. ..#.. ..#.. ..#.. ..#.. ..#.. .###."},
    {'J', "..### ...#. ...#. ...#. ...#. #..#. .##.."},
    {'K', "#...# #..#. #.#.. ##... #.#.. #..#. #...#"},
    {'L', "#.... #.... #.... #.... #.... #.... #####"},
    {'M', "#...# ##.## #.#.# #.#.# #...# #...# #...#"},
    {'N', "#...# #...# ##..# #.#.# #..## #...# #...#"},
    {'O', ".###. #...# #...# #...# #...# #...# .###."},
    {'P', "####. #...# #...# ####. #.... #.... #...."},
    {'Q', ".###. #...# #...# #...# #.#.# #..#. .##.#"},
    {'R', "####. #...# #...# ####. #.#.. #..#. #...#"},
    {'S', ".#### #.... #.... .###. ....# ....# ####."},
    {'T', "##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#.."},
    {'U', "#...# #...# #...# #...# #...# #...# .###."},
    {'V', "#...# #...# #...# #...# #...# .#.#. ..#.."},
    {'W', "#...# #...# #...# #.#.# #.#.# #.#.# .#.#."},
    {'X', "#...# #...# .#.#. ..#.. .#.#. #...# #...#"},
    {'Y', "#...# #...# .#.#. ..#.. ..#.. ..#.. ..#.."},
    {'Z', "##### ....# ...#. ..#.. .#... #.... #####"},
    {'a', "..... ..... .###. ....# .#### #...# .####"},
    {'b', "#.... #.... #.##. ##..# #...# #...# ####."},
    {'c', "..... ..... .###. #.... #.... #...# .###."},
    {'d', "....# ....# .##.# #..## #...# #...# .####"},
    {'e', "..... ..... .###. #...# ##### #.... .###."},
    {'f', "..##. .#..# .#... ###.. .#... .#... .#..."},
    {'g', "..... ..... .#### #...# #...# .#### ....# ....# .###."},
    {'h', "#.... #.... #.##. ##..# #...# #...# #...#"},
    {'i', "..#.. ..... .##.. ..#.. ..#.. ..#.. .###."},
    {'j', "...#. ..... ..##. ...#. ...#. ...#. ...#. #..#. .##.."},
    {'k', "#.... #.... #..#. #.#.. ##... #.#.. #..#."},
    {'l', ".##.. ..#.. ..#.. ..#.. ..#.. ..#.. .###."},
    {'m', "..... ..... ##.#. #.#.# #.#.# #...# #...#"},
    {'n', "..... ..... #.##. ##..# #...# #...# #...#"},
    {'o', "..... ..... .###. #...# #...# #...# .###."},
    {'p', "..... ..... ####. #...# #...# ####. #.... #.... #...."},
    {'q', "..... ..... .##.# #..## #...# .#### ....# ....# ....#"},
    {'r', "..... ..... #.##. ##..# #.... #.... #...."},
    {'s', "..... ..... .###. #.... .###. ....# ####."},
    {'t', ".#... .#... ###.. .#... .#... .#..# ..##."},
    {'u', "..... ..... #...# #...# #...# #..## .##.#"},
    {'v', "..... ..... #...# #...# #...# .#.#. ..#.."},
    {'w', "..... ..... #...# #...# #.#.# #.#.# .#.#."},
    {'x', "..... ..... #...# .#.#. ..#.. .#.#. #...#"},
    {'y', "..... ..... #...# #...# #...# .#### ....# ....# .###."},
    {'z', "..... ..... ##### ...#. ..#.. .#... #####"},
    {'0', ".###. #...# #..## #.#.# ##..# #...# .###."},
    {'1', "..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###."},
    {'2', ".###. #...# ....# ...#. ..#.. .#... #####"},
    {'3', "##### ...#. ..#.. ...#. ....# #...# .###."},
    {'4', "...#. ..##. .#.#. #..#. ##### ...#. ...#."},
    {'5', "##### #.... ####. ....# ....# #...# .###."},
    {'6', "..##. .#... #.... ####. #...# #...# .###."},
    {'7', "##### ....# ...#. ..#.. .#... .#... .#..."},
    {'8', ".###. #...# #...# .###. #...# #...# .###."},
    {'9', ".###. #...# #...# .#### ....# ...#. .##.."},
    {'.', "..... ..... ..... ..... ..... .##.. .##.."},
    {',', "..... ..... ..... ..... .##.. ..#.. .#..."},
    {';', "..... .##.. .##.. ..... .##.. ..#.. .#..."},
    {':', "..... .##.. .##.. ..... .##.. .##.. ....."},
    {'!', "..#.. ..#.. ..#.. ..#.. ..#.. ..... ..#.."},
    {'?', ".###. #...# ....# ...#. ..#.. ..... ..#.."},
    {'-', "..... ..... ..... .###. ..... ..... ....."},
    {'_', "..... ..... ..... ..... ..... ..... #####"},
    {'\'', "..#.. ..#.. .#... ..... ..... ..... ....."},
    {'"', ".#.#. .#.#. ..... ..... ..... ..... ....."},
    {'(', "...#. ..#.. .#... .#... .#... ..#.. ...#."},
    {')', ".#... ..#.. ...#. ...#. ...#. ..#.. .#..."},
    {'[', ".###. .#... .#... .#... .#... .#... .###."},
    {']', ".###. ...#. ...#. ...#. ...#. ...#. .###."},
    {'/', "..... ....# ...#. ..#.. .#... #.... ....."},
    {'|', "..#.. ..#.. ..#.. ..#.. ..#.. ..#.. ..#.."},
    {'%', "##... ##..# ...#. ..#.. .#... #..## ...##"},
    {'&', ".##.. #..#. #.#.. .#... #.#.# #..#. .##.#"},
    {'$', "..#.. .#### #.#.. .###. ..#.# ####. ..#.."},
    {'#', ".#.#. .#.#. ##### .#.#. ##### .#.#. .#.#."},
    {'+', "..... ..#.. ..#.. ##### ..#.. ..#.. ....."},
    {'=', "..... ..... ##### ..... ##### ..... ....."},
    {'*', "..... ..#.. #.#.# .###. #.#.# ..#.. ....."},
    {'@', ".###. #...# ....# .##.# #.#.# #.#.# .###."},
    {'<', "...#. ..#.. .#... #.... .#... ..#.. ...#."},
    {'>', ".#... ..#.. ...#. ....# ...#. ..#.. .#..."},
};

std::string_view GlyphRows(char c) {
  for (const Glyph& glyph : font) {
    if (glyph.character == c) {
      return glyph.rows;
    }
  }
  return {};
}

}  // namespace

// Width in pixels of text drawn at scale.
int TextWidth(std::string_view text, int scale, bool bold) {
  return static_cast<int>(text.size()) * (glyphAdvance * scale + (bold ? 1 : 0));
}

// Draws text with its top-left corner at (x, y); each font pixel is scale x scale, one pixel
// wider when bold. Characters the font lacks leave a blank, as a space does.
void DrawText(Canvas& canvas, std::string_view text, int x, int y, int scale, bool bold,
              float ink) {
  for (char c : text) {
    const std::string_view rows = GlyphRows(c);
    int row = 0;
    int column = 0;
    for (char pixel : rows) {
      if (pixel == ' ') {
        ++row;
        column = 0;
        continue;
      }
      if (pixel == '#') {
        FillBox(canvas, x + column * scale, y + row * scale, scale + (bold ? 1 : 0), scale, ink);
      }
      ++column;
    }
    x += glyphAdvance * scale + (bold ? 1 : 0);
  }
}

// The canvas turned by degrees about its centre (positive turns clockwise on screen), grown to
// hold every corner; each pixel samples the drawn picture bilinearly, paper outside it.
Canvas Rotate(const Canvas& source, double degrees, float paper) {
  if (degrees == 0) {
    return source;
  }
  const double radians = degrees * std::numbers::pi / 180;
  const double c = std::cos(radians);
  const double s = std::sin(radians);
  const int width =
      static_cast<int>(std::ceil(std::abs(source.width * c) + std::abs(source.height * s)));
  const int height =
      static_cast<int>(std::ceil(std::abs(source.width * s) + std::abs(source.height * c)));
  Canvas turned = MakeCanvas(width, height, paper);
  const double sourceX = (source.width - 1) / 2.0;
  const double sourceY = (source.height - 1) / 2.0;
  const double centreX = (width - 1) / 2.0;
  const double centreY = (height - 1) / 2.0;
  auto at = [&](int x, int y) {
    return x < 0 || y < 0 || x >= source.width || y >= source.height ? paper : source.At(x, y);
  };
  for (int y = 0; y < height; ++y) {
    const double dy = y - centreY;
    // Source coordinates step by (c, -s) along an output row.
    double u = -c * centreX + s * dy + sourceX;
    double v = s * centreX + c * dy + sourceY;
    for (int x = 0; x < width; ++x, u += c, v -= s) {
      const int u0 = static_cast<int>(std::floor(u));
      const int v0 = static_cast<int>(std::floor(v));
      const float fu = static_cast<float>(u - u0);
      const float fv = static_cast<float>(v - v0);
      float a, b, d, e;
      if (u0 >= 0 && v0 >= 0 && u0 + 1 < source.width && v0 + 1 < source.height) {
        const float* p = &source.grey[static_cast<std::size_t>(v0) * source.width + u0];
        a = p[0];
        b = p[1];
        d = p[source.width];
        e = p[source.width + 1];
      } else {
        a = at(u0, v0);
        b = at(u0 + 1, v0);
        d = at(u0, v0 + 1);
        e = at(u0 + 1, v0 + 1);
      }
      turned.At(x, y) = (1 - fv) * ((1 - fu) * a + fu * b) + fv * ((1 - fu) * d + fu * e);
    }
  }
  return turned;
}

// The column where Rotate puts the source point (x, y).
double RotatedColumn(const Canvas& source, const Canvas& turned, double degrees, double x,
                     double y) {
  const double radians = degrees * std::numbers::pi / 180;
  const double ux = x - (source.width - 1) / 2.0;
  const double uy = y - (source.height - 1) / 2.0;
  return std::cos(radians) * ux - std::sin(radians) * uy + (turned.width - 1) / 2.0;
}

// Keeps columns left..right-1.
Canvas CropColumns(const Canvas& canvas, int left, int right) {
  Canvas cropped = MakeCanvas(right - left, canvas.height, 0);
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = left; x < right; ++x) {
      cropped.At(x - left, y) = canvas.At(x, y);
    }
  }
  return cropped;
}

// Keeps rows 0..bottom-1.
Canvas CropRows(const Canvas& canvas, int bottom) {
  Canvas cropped = MakeCanvas(canvas.width, bottom, 0);
  std::copy(canvas.grey.begin(),
            canvas.grey.begin() + static_cast<std::ptrdiff_t>(bottom) * canvas.width,
            cropped.grey.begin());
  return cropped;
}

// Separable Gaussian blur, edges repeated.
void Blur(Canvas& canvas, double sigma) {
  const int radius = static_cast<int>(std::ceil(3 * sigma));
  std::vector<float> kernel;
  float total = 0;
  for (int i = -radius; i <= radius; ++i) {
    kernel.push_back(static_cast<float>(std::exp(-i * i / (2 * sigma * sigma))));
    total += kernel.back();
  }
  for (float& k : kernel) {
    k /= total;
  }
  std::vector<float> line;
  for (int pass = 0; pass < 2; ++pass) {
    const bool rows = pass == 0;
    const int lines = rows ? canvas.height : canvas.width;
    const int length = rows ? canvas.width : canvas.height;
    // The line with its end pixels repeated radius times on either side.
    line.resize(static_cast<std::size_t>(length + 2 * radius));
    for (int l = 0; l < lines; ++l) {
      for (int i = -radius; i < length + radius; ++i) {
        const int at = std::clamp(i, 0, length - 1);
        line[static_cast<std::size_t>(i + radius)] = rows ? canvas.At(at, l) : canvas.At(l, at);
      }
      for (int i = 0; i < length; ++i) {
        float sum = 0;
        for (std::size_t k = 0; k < kernel.size(); ++k) {
          sum += kernel[k] * line[static_cast<std::size_t>(i) + k];
        }
        (rows ? canvas.At(i, l) : canvas.At(l, i)) = sum;
      }
    }
  }
}

void AddNoise(Canvas& canvas, double deviation, Random& random) {
  for (float& grey : canvas.grey) {
    grey += static_cast<float>(deviation * random.Gaussian());
  }
}

// The canvas turned a quarter turn clockwise, quarterTurns times.
Canvas TurnQuarters(const Canvas& canvas, int quarterTurns) {
  if (quarterTurns == 0) {
    return canvas;
  }
  const bool swap = quarterTurns % 2 == 1;
  Canvas turned =
      MakeCanvas(swap ? canvas.height : canvas.width, swap ? canvas.width : canvas.height, 0);
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      int nx = x;
      int ny = y;
      if (quarterTurns == 1) {
        nx = canvas.height - 1 - y;
        ny = x;
      } else if (quarterTurns == 2) {
        nx = canvas.width - 1 - x;
        ny = canvas.height - 1 - y;
      } else {
        nx = y;
        ny = canvas.width - 1 - x;
      }
      turned.At(nx, ny) = canvas.At(x, y);
    }
  }
  return turned;
}

std::vector<std::uint8_t> GreyBytes(const Canvas& canvas) {
  std::vector<std::uint8_t> grey;
  grey.reserve(static_cast<std::size_t>(canvas.width) * static_cast<std::size_t>(canvas.height));
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      grey.push_back(static_cast<std::uint8_t>(std::clamp(canvas.At(x, y) + 0.5f, 0.0f, 255.0f)));
    }
  }
  return grey;
}

}  // namespace strixa
