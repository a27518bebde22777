// SPDX-License-Identifier: Apache-2.0
// Misread benchmark: draws symbols of every symbology with random data and damage, and pages of
// plain text without any barcode, runs each picture through the whole program with and without
// /F, and counts correct reads, misses and wrong lines. A wrong line is worse than a miss, so the
// figure to watch is the wrong count. Every picture follows from the seed and its index alone, so
// any wrong line can be drawn and read again on its own with --picture.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <numbers>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "driver/driver.h"
#include "image/image.h"
#include "locate/candidate.h"
#include "platform/bitmap.h"
#include "robust/robust.h"
#include "support/bmpWriter.h"
#include "support/builders.h"
#include "support/code128Encoder.h"
#include "support/code39Encoder.h"
#include "support/eanEncoder.h"
#include "support/fakePlatform.h"
#include "support/twoOfFiveEncoder.h"

namespace strixa {

namespace {

// A small, fast generator whose sequence is the same on every platform and library, unlike the
// standard distributions.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  double Uniform(double low, double high) {
    return low + (high - low) * static_cast<double>(Next() >> 11) * 0x1.0p-53;
  }

  // low..high, both included.
  int Int(int low, int high) {
    return low + static_cast<int>(Next() % static_cast<std::uint64_t>(high - low + 1));
  }

  bool Chance(double probability) { return Uniform(0, 1) < probability; }

  // Near enough to a normal deviate for noise, from four uniform 16-bit parts of one draw;
  // the exact transform's logarithm and cosine cost more than drawing the picture.
  double Gaussian() {
    const std::uint64_t bits = Next();
    double sum = 0;
    for (int part = 0; part < 4; ++part) {
      sum += static_cast<double>((bits >> (16 * part)) & 0xFFFF);
    }
    return (sum / 65536.0 - 2) * std::numbers::sqrt3;
  }

 private:
  std::uint64_t state;
};

// Grey levels, 0 black to 255 white, row by row.
struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<float> grey;

  float& At(int x, int y) { return grey[static_cast<std::size_t>(y) * width + x]; }
  float At(int x, int y) const { return grey[static_cast<std::size_t>(y) * width + x]; }
};

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

// ---------------------------------------------------------------------------------------------
// A 5 x 9 font: rows 0-6 carry capitals and digits, lower case sits on row 6 with descenders in
// rows 7-8. Its upright strokes (l, I, 1, |, m, n) are what makes printed text look like bars.

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

constexpr int glyphRows = 9;
constexpr int glyphAdvance = 6;  // five columns and one blank

std::string_view GlyphRows(char c) {
  for (const Glyph& glyph : font) {
    if (glyph.character == c) {
      return glyph.rows;
    }
  }
  return {};
}

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

// ---------------------------------------------------------------------------------------------
// Symbols

enum Kind {
  ean13Kind,
  upcAKind,
  ean8Kind,
  code128AKind,
  code128BKind,
  code128CKind,
  ean128Kind,
  code39Ratio2Kind,
  code39Ratio3Kind,
  twoOfFiveKind,
  interleavedKind,
  textPageKind,
  kindCount,
};

constexpr std::array<std::string_view, kindCount> kindNames = {
    "EAN-13",  "UPC-A",     "EAN-8",     "Code128 A", "Code128 B", "Code128 C",
    "EAN-128", "Code39 r2", "Code39 r3", "2 of 5",    "2 of 5 i",  "text page",
};

struct Symbol {
  std::string pixels;    // along the reading direction, one character per pixel, "1" dark
  std::string expected;  // the line the tool must print
  std::string caption;   // the text printed under the bars, when drawn
};

std::string RandomDigits(Random& random, int count) {
  std::string digits;
  for (int i = 0; i < count; ++i) {
    digits += static_cast<char>('0' + random.Int(0, 9));
  }
  return digits;
}

// Appends the EAN check digit: weights 3 and 1 from the rightmost data digit leftwards.
std::string WithEanCheck(std::string digits) {
  int sum = 0;
  int weight = 3;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    sum += (*it - '0') * weight;
    weight = 4 - weight;
  }
  digits += static_cast<char>('0' + (10 - sum % 10) % 10);
  return digits;
}

constexpr std::array<std::string_view, 32> controlNames = {
    "<NUL>", "<SOH>", "<STX>", "<ETX>", "<EOT>", "<ENQ>", "<ACK>", "<BEL>",  // 0
    "<BS>",  "<HT>",  "<LF>",  "<VT>",  "<FF>",  "<CR>",  "<SO>",  "<SI>",   // 8
    "<DLE>", "<DC1>", "<DC2>", "<DC3>", "<DC4>", "<NAK>", "<SYN>", "<ETB>",  // 16
    "<CAN>", "<EM>",  "<SUB>", "<ESC>", "<FS>",  "<GS>",  "<RS>",  "<US>",   // 24
};

// Printed text of a Code 128 data value 0-99 in code set 0 (A), 1 (B) or 2 (C).
std::string Code128Text(int set, int value) {
  if (set == 2) {
    return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
  }
  if (set == 0 && value >= 64) {
    return std::string(controlNames[static_cast<std::size_t>(value - 64)]);
  }
  if (set == 1 && value == 95) {
    return "<DEL>";
  }
  return std::string(1, static_cast<char>(value + 32));
}

// A random Code 128 symbol starting in the given set, with the odd change of code set on the way.
std::pair<std::vector<int>, std::string> RandomCode128(Random& random, int set) {
  std::vector<int> values = {103 + set};
  std::string text;
  const int count = random.Int(1, set == 2 ? 8 : 12);
  for (int i = 0; i < count; ++i) {
    if (i > 0 && random.Chance(0.12)) {
      const int newSet = (set + random.Int(1, 2)) % 3;
      // Code A is 101, Code B 100 and Code C 99 from whichever set they are met in.
      values.push_back(101 - newSet);
      set = newSet;
    }
    int value = random.Int(0, set == 2 ? 99 : 95);
    if (set == 0 && value >= 64 && random.Chance(0.7)) {
      value -= 64;  // mostly printable characters, some controls
    }
    values.push_back(value);
    text += Code128Text(set, value);
  }
  return {values, text};
}

std::string RandomCode39Text(Random& random) {
  constexpr std::string_view characters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
  std::string text;
  const int count = random.Int(2, 10);
  for (int i = 0; i < count; ++i) {
    text += characters[static_cast<std::size_t>(random.Int(0, characters.size() - 1))];
  }
  return text;
}

// Wide elements of the 2 of 5 codes at a ratio of 2, 2.5 or 3, always wider than narrow.
int TwoOfFiveWide(Random& random, int narrow) {
  const double ratio = std::array{2.0, 2.5, 3.0}[static_cast<std::size_t>(random.Int(0, 2))];
  return std::max(narrow + 1, static_cast<int>(std::lround(narrow * ratio)));
}

Symbol MakeSymbol(Kind kind, int modulePixels, Random& random) {
  Symbol symbol;
  switch (kind) {
    case ean13Kind: {
      const std::string digits =
          WithEanCheck(std::to_string(random.Int(1, 9)) + RandomDigits(random, 11));
      symbol.pixels = Widen(EncodeEan13(digits), modulePixels);
      symbol.expected = "EAN13\t" + digits.substr(0, 7) + " " + digits.substr(7);
      symbol.caption = digits;
      break;
    }
    case upcAKind: {
      const std::string digits = WithEanCheck("0" + RandomDigits(random, 11));
      symbol.pixels = Widen(EncodeEan13(digits), modulePixels);
      symbol.expected = "UPC-A\t" + digits.substr(1, 6) + " " + digits.substr(7);
      symbol.caption = digits.substr(1);
      break;
    }
    case ean8Kind: {
      const std::string digits = WithEanCheck(RandomDigits(random, 7));
      symbol.pixels = Widen(EncodeEan8(digits), modulePixels);
      symbol.expected = "EAN8\t" + digits.substr(0, 4) + " " + digits.substr(4);
      symbol.caption = digits;
      break;
    }
    case code128AKind:
    case code128BKind:
    case code128CKind: {
      const auto [values, text] = RandomCode128(random, kind - code128AKind);
      symbol.pixels = Widen(EncodeCode128(values), modulePixels);
      symbol.expected = "CODE128\t" + text;
      symbol.caption = text;
      break;
    }
    case ean128Kind: {
      std::vector<int> values = {105, 102};
      std::string text;
      const int pairs = random.Int(1, 8);
      for (int i = 0; i < pairs; ++i) {
        if (i > 0 && random.Chance(0.1)) {
          values.push_back(102);
          text += "<FNC1>";
        }
        values.push_back(random.Int(0, 99));
        text += Code128Text(2, values.back());
      }
      symbol.pixels = Widen(EncodeCode128(values), modulePixels);
      symbol.expected = "EAN128\t" + text;
      symbol.caption = text;
      break;
    }
    case code39Ratio2Kind:
    case code39Ratio3Kind: {
      const std::string text = RandomCode39Text(random);
      const int ratio = kind == code39Ratio2Kind ? 2 : 3;
      symbol.pixels =
          Code39Pixels("*" + text + "*", modulePixels, ratio * modulePixels, modulePixels);
      symbol.expected = "CODE39\t" + text;
      symbol.caption = "*" + text + "*";
      break;
    }
    case twoOfFiveKind: {
      const std::string digits = RandomDigits(random, random.Int(3, 12));
      symbol.pixels = TwoOfFivePixels(digits, modulePixels, TwoOfFiveWide(random, modulePixels));
      symbol.expected = "2/5\t" + digits;
      symbol.caption = digits;
      break;
    }
    case interleavedKind:
    default: {
      const std::string digits = RandomDigits(random, 2 * random.Int(2, 7));
      symbol.pixels =
          InterleavedTwoOfFivePixels(digits, modulePixels, TwoOfFiveWide(random, modulePixels));
      symbol.expected = "2/5i\t" + digits;
      symbol.caption = digits;
      break;
    }
  }
  return symbol;
}

// ---------------------------------------------------------------------------------------------
// Damage

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

// ---------------------------------------------------------------------------------------------
// Pictures

// What was drawn, enough to tell the conditions apart and to describe a wrong line.
struct Picture {
  int index = 0;
  Kind kind = ean13Kind;
  std::string expected;  // "" for a text page
  int modulePixels = 0;  // 0 for a text page
  int quarterTurns = 0;
  double degrees = 0;
  int cutSide = 0;  // -1 left, +1 right, 0 uncut
  double cutShare = 0;
  int marginModules = -1;  // the picture's edge this many modules beyond both ends; -1 wide
  double barShare = 1;     // share of the bars' height left inside the picture
  double blurSigma = 0;
  double noiseDeviation = 0;
  bool captioned = false;
  int textScale = 0;  // text pages only
  Canvas canvas;
};

std::string RandomWord(Random& random) {
  auto letters = [&](char first, int count) {
    std::string word;
    for (int i = 0; i < count; ++i) {
      word += static_cast<char>(first + random.Int(0, 25));
    }
    return word;
  };
  const double pick = random.Uniform(0, 1);
  std::string word;
  if (pick < 0.55) {
    word = letters('a', random.Int(1, 9));
  } else if (pick < 0.7) {
    word = letters('A', 1) + letters('a', random.Int(1, 8));
  } else if (pick < 0.8) {
    word = letters('A', random.Int(2, 8));
  } else if (pick < 0.92) {
    constexpr std::array<std::string_view, 5> joins = {"", ".", ",", "/", "-"};
    word = RandomDigits(random, random.Int(1, 6));
    if (random.Chance(0.5)) {
      word += joins[static_cast<std::size_t>(random.Int(0, 4))];
      word += RandomDigits(random, random.Int(1, 4));
    }
  } else {
    constexpr std::array<std::string_view, 14> tokens = {
        "(", ")", "-", "--", "&", "%", "#", "|", "||", "III", "ll", "*", "=", "1111",
    };
    word = tokens[static_cast<std::size_t>(random.Int(0, tokens.size() - 1))];
  }
  if (random.Chance(0.15)) {
    word += ".,;:!?"[random.Int(0, 5)];
  }
  return word;
}

// A page of plain printed text: lines of words at one size, with the odd heading and blank line.
Canvas DrawTextPage(Random& random, float paper, float ink, int& scale) {
  Canvas page = MakeCanvas(random.Int(480, 640), random.Int(320, 420), paper);
  scale = random.Int(1, 4);
  const bool bold = random.Chance(0.3);
  const int left = random.Int(8, 40);
  int y = random.Int(4, 30);
  while (y < page.height) {
    const int lineScale = random.Chance(0.1) ? scale + 1 : scale;
    if (random.Chance(0.08)) {
      y += glyphRows * lineScale;
      continue;
    }
    std::string line;
    const int limit = page.width - left + random.Int(-60, 40);
    while (TextWidth(line, lineScale, bold) < limit) {
      line += RandomWord(random) + " ";
    }
    DrawText(page, line, left, y, lineScale, bold, ink);
    y += glyphRows * lineScale + random.Int(1, 4) * lineScale;
  }
  return page;
}

Picture DrawPicture(std::uint64_t seed, int index) {
  Random random(Random(seed * 0x2545F4914F6CDD1Dull + static_cast<std::uint64_t>(index)).Next());
  Picture picture;
  picture.index = index;
  picture.kind = static_cast<Kind>(index % kindCount);
  const float paper = static_cast<float>(random.Uniform(215, 255));
  const float ink = static_cast<float>(random.Uniform(0, 70));
  // A quarter of the pictures turn through any angle: with the quarter turns below, all 360.
  const bool anyAngle = random.Chance(0.25);
  picture.degrees = anyAngle              ? random.Uniform(-45, 45)
                    : random.Chance(0.35) ? 0
                                          : random.Uniform(-7, 7);
  picture.quarterTurns = random.Chance(0.5) ? 0 : random.Int(1, 3);
  picture.blurSigma = random.Chance(0.3) ? random.Uniform(0.4, 1.6) : 0;
  picture.noiseDeviation = random.Chance(0.3) ? random.Uniform(4, 40) : 0;

  Canvas canvas;
  if (picture.kind == textPageKind) {
    canvas = DrawTextPage(random, paper, ink, picture.textScale);
    canvas = Rotate(canvas, picture.degrees, paper);
  } else {
    picture.modulePixels = random.Int(1, 6);
    const Symbol symbol = MakeSymbol(picture.kind, picture.modulePixels, random);
    picture.expected = symbol.expected;
    const int length = static_cast<int>(symbol.pixels.size());
    const int quietLeft = std::max(10 * picture.modulePixels, 16) + random.Int(0, 30);
    const int quietRight = std::max(10 * picture.modulePixels, 16) + random.Int(0, 30);
    const int barHeight = std::max(24, static_cast<int>(length * random.Uniform(0.2, 0.7)));
    picture.captioned = random.Chance(0.5);
    const int captionScale = std::clamp(picture.modulePixels, 1, 3);
    const int top = random.Int(8, 40);
    const int bottom = random.Int(8, 40) + (picture.captioned ? (glyphRows + 3) * captionScale : 0);
    canvas = MakeCanvas(quietLeft + length + quietRight, top + barHeight + bottom, paper);
    for (int i = 0; i < length; ++i) {
      if (symbol.pixels[static_cast<std::size_t>(i)] == '1') {
        FillBox(canvas, quietLeft + i, top, 1, barHeight, ink);
      }
    }
    if (picture.captioned) {
      const int textWidth = TextWidth(symbol.caption, captionScale, false);
      DrawText(canvas, symbol.caption, quietLeft + (length - textWidth) / 2,
               top + barHeight + 2 * captionScale, captionScale, false, ink);
    }
    const Canvas upright = std::move(canvas);
    canvas = Rotate(upright, picture.degrees, paper);
    // Where the symbol's ends lie on its middle line, as columns of the turned picture.
    const double middleY = top + barHeight / 2.0;
    const double startColumn = RotatedColumn(upright, canvas, picture.degrees, quietLeft, middleY);
    const double endColumn =
        RotatedColumn(upright, canvas, picture.degrees, quietLeft + length, middleY);
    double left = 0;
    double right = canvas.width;
    if (random.Chance(0.3)) {
      // A tight crop: the picture ends marginModules modules beyond both ends of the symbol.
      picture.marginModules = random.Int(0, 10);
      const double margin = picture.marginModules * picture.modulePixels;
      left = std::min(startColumn, endColumn) - margin;
      right = std::max(startColumn, endColumn) + margin;
    }
    if (random.Chance(0.15)) {
      // Cut into the symbol along its reading direction, so part of it lies outside the picture.
      const double centreX = (startColumn + endColumn) / 2;
      const double half = std::abs(endColumn - startColumn) / 2;
      picture.cutSide = random.Chance(0.5) ? -1 : 1;
      picture.cutShare = random.Uniform(0.05, 0.6);
      const double cut = centreX + picture.cutSide * (half - 2 * half * picture.cutShare);
      (picture.cutSide < 0 ? left : right) = cut;
    }
    const int first = std::clamp(static_cast<int>(std::lround(left)), 0, canvas.width - 8);
    canvas = CropColumns(canvas, first,
                         std::clamp(static_cast<int>(std::lround(right)), first + 8, canvas.width));
    if (random.Chance(0.1)) {
      // The picture's edge cuts the bars short across their height, as on a label photographed
      // in part.
      picture.barShare = random.Uniform(0.15, 0.9);
      const int keep = top + static_cast<int>(barHeight * picture.barShare);
      canvas = CropRows(canvas, std::clamp(keep, 1, canvas.height));
    }
  }
  if (picture.blurSigma > 0) {
    Blur(canvas, picture.blurSigma);
  }
  if (picture.quarterTurns != 0) {
    canvas = TurnQuarters(canvas, picture.quarterTurns);
  }
  if (picture.noiseDeviation > 0) {
    AddNoise(canvas, picture.noiseDeviation, random);
  }
  picture.canvas = std::move(canvas);
  return picture;
}

// The picture as an 8-bit grey-palette bitmap file.
std::vector<std::uint8_t> EncodeBitmap(const Canvas& canvas) {
  std::vector<std::uint8_t> grey;
  grey.reserve(static_cast<std::size_t>(canvas.width) * static_cast<std::size_t>(canvas.height));
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      grey.push_back(static_cast<std::uint8_t>(std::clamp(canvas.At(x, y) + 0.5f, 0.0f, 255.0f)));
    }
  }
  return WriteGreyBmp(canvas.width, canvas.height, grey);
}

// The lines the second engine (src/robust) gives for the bitmap, as the program would print them.
std::vector<std::string> ReadBitmapRobust(const std::vector<std::uint8_t>& bitmap) {
  Image image;
  std::vector<std::string> lines;
  if (DecodeBmp(bitmap, image) != BmpRefusal::None) {
    return lines;
  }
  for (const RobustBarcode& barcode : ReadRobust(image)) {
    lines.emplace_back(PrintedPart(ResultLine(barcode.symbology, barcode.text)));
  }
  return lines;
}

// The lines one run of the program prints for the bitmap, with or without /F.
std::vector<std::string> ReadBitmap(const std::vector<std::uint8_t>& bitmap, bool fine) {
  FakePlatform platform;
  platform.files["picture.bmp"] = bitmap;
  if (fine) {
    platform.arguments.push_back("/F");
  }
  platform.arguments.push_back("picture.bmp");
  RunProgram(platform);
  return platform.lines;
}

std::string Describe(const Picture& picture) {
  char text[240];
  if (picture.kind == textPageKind) {
    std::snprintf(text, sizeof text,
                  "text page, scale %d, turn %d, angle %+.2f, blur %.2f, noise %.1f, %dx%d",
                  picture.textScale, 90 * picture.quarterTurns, picture.degrees, picture.blurSigma,
                  picture.noiseDeviation, picture.canvas.width, picture.canvas.height);
  } else {
    std::snprintf(text, sizeof text,
                  "%s, %d px/module, turn %d, angle %+.2f, margin %d, cut %s %.2f, bars %.2f, "
                  "blur %.2f, noise %.1f, caption %s, %dx%d",
                  std::string(kindNames[picture.kind]).c_str(), picture.modulePixels,
                  90 * picture.quarterTurns, picture.degrees, picture.marginModules,
                  picture.cutSide < 0   ? "left"
                  : picture.cutSide > 0 ? "right"
                                        : "none",
                  picture.cutShare, picture.barShare, picture.blurSigma, picture.noiseDeviation,
                  picture.captioned ? "yes" : "no", picture.canvas.width, picture.canvas.height);
  }
  return text;
}

// ---------------------------------------------------------------------------------------------
// Counting

struct Tally {
  long pictures = 0;
  long correct = 0;
  long missed = 0;
  long wrongLines = 0;
  long wrongPictures = 0;

  void Add(const Tally& other) {
    pictures += other.pictures;
    correct += other.correct;
    missed += other.missed;
    wrongLines += other.wrongLines;
    wrongPictures += other.wrongPictures;
  }
};

struct WrongLine {
  int index = 0;
  bool fine = false;
  std::string expected;
  std::string printed;
  std::string category;
  std::string description;
};

// Pictures drawn as users often send them, counted apart as well.
enum Group : std::size_t { tightGroup, cutGroup, turnedGroup, groupCount };
constexpr std::array<std::string_view, groupCount> groupNames = {
    "whole symbols, picture's edge 0 to 10 modules beyond both ends",
    "symbols cut by the picture's edge (into the symbol or across its bars)",
    "symbols turned by more than 7 degrees (besides quarter turns)",
};

bool InGroup(const Picture& picture, std::size_t group) {
  switch (group) {
    case tightGroup:
      return picture.marginModules >= 0 && picture.cutSide == 0 && picture.barShare == 1;
    case cutGroup:
      return picture.cutSide != 0 || picture.barShare < 1;
    default:
      return std::abs(picture.degrees) > 7;
  }
}

// Per mode (0 without /F, 1 with): tallies by symbology and by condition, wrong-line categories.
struct Counts {
  std::array<std::array<Tally, kindCount>, 2> byKind{};
  // The same for the pictures of each group, shown on their own.
  std::array<std::array<std::array<Tally, kindCount>, 2>, groupCount> byGroup{};
  std::array<std::map<std::pair<std::string, std::string>, Tally>, 2> byCondition;
  std::array<std::map<std::pair<std::string, std::string>, long>, 2> byCategory;
  std::vector<WrongLine> wrongLines;

  void Add(const Counts& other) {
    for (int mode = 0; mode < 2; ++mode) {
      for (int kind = 0; kind < kindCount; ++kind) {
        byKind[mode][kind].Add(other.byKind[mode][kind]);
        for (std::size_t group = 0; group < groupCount; ++group) {
          byGroup[group][mode][kind].Add(other.byGroup[group][mode][kind]);
        }
      }
      for (const auto& [key, tally] : other.byCondition[mode]) {
        byCondition[mode][key].Add(tally);
      }
      for (const auto& [key, count] : other.byCategory[mode]) {
        byCategory[mode][key] += count;
      }
    }
    wrongLines.insert(wrongLines.end(), other.wrongLines.begin(), other.wrongLines.end());
  }
};

std::string Label(std::string_view line) { return std::string(line.substr(0, line.find('\t'))); }

std::string Text(std::string_view line) {
  const std::size_t tab = line.find('\t');
  return tab == std::string_view::npos ? std::string() : std::string(line.substr(tab + 1));
}

// Why a printed line is wrong: any read of a text page, a read under another symbology's label
// (named), a piece of the drawn text (a partial read) or other text under the right label.
std::string Categorise(const Picture& picture, const std::string& printed) {
  if (picture.kind == textPageKind) {
    return "text read as " + Label(printed);
  }
  if (Label(printed) != Label(picture.expected)) {
    return "read as " + Label(printed);
  }
  if (Text(picture.expected).find(Text(printed)) != std::string::npos) {
    return "part of the text";
  }
  return "other text";
}

std::vector<std::pair<std::string, std::string>> Conditions(const Picture& picture) {
  const double angle = std::abs(picture.degrees);
  const char* band = angle == 0    ? "0"
                     : angle <= 1  ? "0-1"
                     : angle <= 3  ? "1-3"
                     : angle <= 5  ? "3-5"
                     : angle <= 7  ? "5-7"
                     : angle <= 15 ? "7-15"
                     : angle <= 30 ? "15-30"
                                   : "30-45";
  char margin[16];
  std::snprintf(margin, sizeof margin, "%2d", picture.marginModules);
  return {
      {"angle (degrees)", band},
      {"turn", std::to_string(90 * picture.quarterTurns)},
      {"px/module", std::to_string(picture.modulePixels)},
      {"cut", picture.cutSide == 0 ? "none" : "into the symbol"},
      {"margin (modules)", picture.marginModules < 0 ? "wide" : margin},
      {"bars cut short", picture.barShare < 1 ? "yes" : "no"},
      {"blur", picture.blurSigma == 0  ? "none"
               : picture.blurSigma < 1 ? "sigma < 1"
                                       : "sigma >= 1"},
      {"noise", picture.noiseDeviation == 0   ? "none"
                : picture.noiseDeviation < 20 ? "sd < 20"
                                              : "sd >= 20"},
      {"caption", picture.captioned ? "yes" : "no"},
  };
}

struct Options {
  int pictures = 10000;
  int first = 0;
  std::uint64_t seed = 1;
  int threads = 2;
  bool verbose = false;
  bool listMisses = false;
  bool robust = false;
  std::string saveFolder;
  int onlyPicture = -1;
};

void SaveBitmap(const std::string& path, const std::vector<std::uint8_t>& bitmap) {
  if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bitmap.data(), 1, bitmap.size(), out);
    std::fclose(out);
  } else {
    std::perror(path.c_str());
  }
}

void ReadOnePicture(const Options& options, int index, Counts& counts) {
  const Picture picture = DrawPicture(options.seed, index);
  const std::vector<std::uint8_t> bitmap = EncodeBitmap(picture.canvas);
  bool saved = false;
  for (int mode = 0; mode < (options.robust ? 1 : 2); ++mode) {
    const std::vector<std::string> lines =
        options.robust ? ReadBitmapRobust(bitmap) : ReadBitmap(bitmap, mode == 1);
    Tally tally;
    tally.pictures = 1;
    bool found = false;
    for (const std::string& line : lines) {
      if (picture.kind != textPageKind && line == picture.expected) {
        found = true;
        continue;
      }
      ++tally.wrongLines;
      const std::string category = Categorise(picture, line);
      ++counts.byCategory[mode][{std::string(kindNames[picture.kind]), category}];
      counts.wrongLines.push_back(
          {index, mode == 1, picture.expected, line, category, Describe(picture)});
    }
    tally.correct = found ? 1 : 0;
    tally.missed = found || picture.kind == textPageKind ? 0 : 1;
    tally.wrongPictures = tally.wrongLines > 0 ? 1 : 0;
    if (tally.missed > 0 && options.listMisses) {
      counts.wrongLines.push_back(
          {index, mode == 1, picture.expected, "", "missed", Describe(picture)});
    }
    counts.byKind[mode][picture.kind].Add(tally);
    for (std::size_t group = 0; group < groupCount; ++group) {
      if (picture.kind != textPageKind && InGroup(picture, group)) {
        counts.byGroup[group][mode][picture.kind].Add(tally);
      }
    }
    if (picture.kind == textPageKind) {
      counts.byCondition[mode][{"text page scale", std::to_string(picture.textScale)}].Add(tally);
    } else {
      for (const auto& key : Conditions(picture)) {
        counts.byCondition[mode][key].Add(tally);
      }
    }
    // A picture asked for alone is saved whatever it reads, to be looked at.
    if ((tally.wrongLines > 0 || options.onlyPicture >= 0) && !options.saveFolder.empty() &&
        !saved) {
      SaveBitmap(options.saveFolder + "/misread-" + std::to_string(options.seed) + "-" +
                     std::to_string(index) + ".bmp",
                 bitmap);
      saved = true;
    }
    if (options.onlyPicture >= 0) {
      std::printf("%s: %s\n", mode == 1 ? "with /F" : "without /F", Describe(picture).c_str());
      std::printf("  expected: %s\n", picture.expected.c_str());
      for (const std::string& line : lines) {
        std::printf("  printed:  %s\n", line.c_str());
      }
    }
  }
}

// The line with its tab shown, so it reads on one line of a report.
std::string Shown(std::string_view line) {
  std::string shown;
  for (char c : line) {
    if (c == '\t') {
      shown += "\\t";
    } else {
      shown += c;
    }
  }
  return shown;
}

void PrintRow(std::string_view name, const std::array<Tally, 2>& modes) {
  std::printf("%-22s %8ld", std::string(name).c_str(), modes[0].pictures);
  for (const Tally& t : modes) {
    std::printf(" | %8ld %8ld %7ld %7ld", t.correct, t.missed, t.wrongLines, t.wrongPictures);
  }
  std::printf("\n");
}

void PrintHeader(std::string_view first) {
  std::printf("%-22s %8s | %35s | %35s\n", "", "", "without /F", "with /F");
  std::printf("%-22s %8s", std::string(first).c_str(), "pictures");
  for (int mode = 0; mode < 2; ++mode) {
    std::printf(" | %8s %8s %7s %7s", "correct", "missed", "wrong", "w.pics");
  }
  std::printf("\n");
}

void PrintReport(const Options& options, const Counts& counts, double seconds) {
  std::printf("Misread benchmark: pictures %d..%d, seed %llu, %d threads, %.1f s\n", options.first,
              options.first + options.pictures - 1, static_cast<unsigned long long>(options.seed),
              options.threads, seconds);
  std::printf(
      "wrong = lines printed that are not the drawn symbol's line; w.pics = pictures "
      "with at least one; missed = symbol pictures without the right line\n\n");
  PrintHeader("symbology");
  std::array<Tally, 2> symbols{};
  for (int kind = 0; kind < kindCount; ++kind) {
    PrintRow(kindNames[kind], {counts.byKind[0][kind], counts.byKind[1][kind]});
    if (kind != textPageKind) {
      symbols[0].Add(counts.byKind[0][kind]);
      symbols[1].Add(counts.byKind[1][kind]);
    }
  }
  PrintRow("all symbols", symbols);
  std::array<Tally, 2> all = symbols;
  all[0].Add(counts.byKind[0][textPageKind]);
  all[1].Add(counts.byKind[1][textPageKind]);
  PrintRow("all pictures", all);

  for (std::size_t group = 0; group < groupCount; ++group) {
    std::printf("\n%s\n", std::string(groupNames[group]).c_str());
    PrintHeader("symbology");
    std::array<Tally, 2> inGroup{};
    for (int kind = 0; kind < textPageKind; ++kind) {
      PrintRow(kindNames[kind], {counts.byGroup[group][0][kind], counts.byGroup[group][1][kind]});
      inGroup[0].Add(counts.byGroup[group][0][kind]);
      inGroup[1].Add(counts.byGroup[group][1][kind]);
    }
    PrintRow("all symbols", inGroup);
  }

  std::printf("\n");
  PrintHeader("condition (symbols)");
  std::string group;
  for (const auto& [key, tally] : counts.byCondition[0]) {
    if (key.first != group) {
      group = key.first;
      std::printf("%s\n", group.c_str());
    }
    const auto other = counts.byCondition[1].find(key);
    PrintRow("  " + key.second,
             {tally, other == counts.byCondition[1].end() ? Tally{} : other->second});
  }

  std::printf("\nwrong lines by kind of fault\n");
  std::map<std::pair<std::string, std::string>, std::array<long, 2>> categories;
  for (int mode = 0; mode < 2; ++mode) {
    for (const auto& [key, count] : counts.byCategory[mode]) {
      categories[key][static_cast<std::size_t>(mode)] += count;
    }
  }
  std::printf("%-12s %-28s %10s %10s\n", "symbology", "fault", "without /F", "with /F");
  for (const auto& [key, pair] : categories) {
    std::printf("%-12s %-28s %10ld %10ld\n", key.first.c_str(), key.second.c_str(), pair[0],
                pair[1]);
  }

  if (options.verbose || options.listMisses || options.onlyPicture >= 0) {
    std::printf("\nwrong lines\n");
    for (const WrongLine& wrong : counts.wrongLines) {
      std::printf("#%d %s expected \"%s\" printed \"%s\" (%s) [%s]\n", wrong.index,
                  wrong.fine ? "/F" : "--", Shown(wrong.expected).c_str(),
                  Shown(wrong.printed).c_str(), wrong.category.c_str(), wrong.description.c_str());
    }
  }
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--verbose" || arg == "-v") {
      options.verbose = true;
    } else if (arg == "--robust") {
      options.robust = true;
    } else if (arg == "--misses") {
      options.listMisses = true;
    } else if (arg == "--pictures" && hasValue) {
      options.pictures = std::atoi(argv[++i]);
    } else if (arg == "--first" && hasValue) {
      options.first = std::atoi(argv[++i]);
    } else if (arg == "--seed" && hasValue) {
      options.seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--threads" && hasValue) {
      options.threads = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--save" && hasValue) {
      options.saveFolder = argv[++i];
    } else if (arg == "--picture" && hasValue) {
      options.onlyPicture = std::atoi(argv[++i]);
    } else {
      return false;
    }
  }
  return options.pictures > 0 && options.first >= 0;
}

int RunBenchmark(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::printf(
        "usage: strixa_misread_bench [--pictures N] [--first K] [--seed S] [--threads T]\n"
        "                            [--verbose] [--misses] [--save FOLDER] [--picture K]\n"
        "                            [--robust]\n"
        "  --pictures N   how many pictures (default 10000), numbered from --first (default 0)\n"
        "  --seed S       picture K is drawn from S and K alone (default 1)\n"
        "  --threads T    worker threads (default 2)\n"
        "  --verbose      list every wrong line with the picture's parameters\n"
        "  --misses       list every symbol picture without its line too\n"
        "  --save FOLDER  write each picture with a wrong line as FOLDER/misread-S-K.bmp\n"
        "  --picture K    draw and read picture K only, printing everything it reads\n"
        "  --robust       read with the second engine (src/robust) instead, once (the /F rows\n"
        "                 stay empty)\n");
    return 2;
  }
  if (options.onlyPicture >= 0) {
    options.first = options.onlyPicture;
    options.pictures = 1;
    options.threads = 1;
  }
  const auto start = std::chrono::steady_clock::now();
  std::atomic<int> next{options.first};
  const int end = options.first + options.pictures;
  std::vector<Counts> perThread(static_cast<std::size_t>(options.threads));
  std::vector<std::thread> workers;
  for (Counts& counts : perThread) {
    workers.emplace_back([&options, &next, end, &counts] {
      for (int index = next++; index < end; index = next++) {
        ReadOnePicture(options, index, counts);
      }
    });
  }
  for (std::thread& worker : workers) {
    worker.join();
  }
  Counts total;
  for (const Counts& counts : perThread) {
    total.Add(counts);
  }
  std::stable_sort(total.wrongLines.begin(), total.wrongLines.end(),
                   [](const WrongLine& a, const WrongLine& b) {
                     return std::tie(a.index, a.fine) < std::tie(b.index, b.fine);
                   });
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  PrintReport(options, total, seconds);
  return 0;
}

}  // namespace

}  // namespace strixa

int main(int argc, char** argv) { return strixa::RunBenchmark(argc, argv); }
