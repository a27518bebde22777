// SPDX-License-Identifier: Apache-2.0
// Drawing for the benchmarks: a float grey canvas, a deterministic generator, a small font and
// the damage every benchmark picture may take (turns, crops, blur, noise).
#pragma once

#include <cstdint>
#include <numbers>
#include <string_view>
#include <vector>

namespace strixa {

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

Canvas MakeCanvas(int width, int height, float paper);

// Paints columns x..x+width-1, rows y..y+height-1 (from 0), clipped to the canvas.
void FillBox(Canvas& canvas, int x, int y, int width, int height, float ink);

// A 5 x 9 font: rows 0-6 carry capitals and digits, lower case sits on row 6 with descenders in
// rows 7-8. Its upright strokes (l, I, 1, |, m, n) are what makes printed text look like bars.
constexpr int glyphRows = 9;
constexpr int glyphAdvance = 6;  // five columns and one blank

// Width in pixels of text drawn at scale.
int TextWidth(std::string_view text, int scale, bool bold);

// Draws text with its top-left corner at (x, y); each font pixel is scale x scale, one pixel
// wider when bold. Characters the font lacks leave a blank, as a space does.
void DrawText(Canvas& canvas, std::string_view text, int x, int y, int scale, bool bold, float ink);

// The canvas turned by degrees about its centre (positive turns clockwise on screen), grown to
// hold every corner; each pixel samples the drawn picture bilinearly, paper outside it.
Canvas Rotate(const Canvas& source, double degrees, float paper);

// The column where Rotate puts the source point (x, y).
double RotatedColumn(const Canvas& source, const Canvas& turned, double degrees, double x,
                     double y);

// Keeps columns left..right-1.
Canvas CropColumns(const Canvas& canvas, int left, int right);

// Keeps rows 0..bottom-1.
Canvas CropRows(const Canvas& canvas, int bottom);

// Separable Gaussian blur, edges repeated.
void Blur(Canvas& canvas, double sigma);

void AddNoise(Canvas& canvas, double deviation, Random& random);

// The canvas turned a quarter turn clockwise, quarterTurns times.
Canvas TurnQuarters(const Canvas& canvas, int quarterTurns);

// Grey bytes, rounded and clamped to 0..255, rows without gaps.
std::vector<std::uint8_t> GreyBytes(const Canvas& canvas);

}  // namespace strixa
