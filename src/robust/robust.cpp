// SPDX-License-Identifier: Apache-2.0
#include "robust/robust.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <numbers>
#include <numeric>
#include <span>
#include <string_view>
#include <tuple>
#include <utility>

#include "decode/dispatcher.h"
#include "image/image.h"
#include "robust/activity.h"
#include "symbologies/code128.h"
#include "symbologies/code39.h"
#include "symbologies/ean13.h"
#include "symbologies/elements.h"
#include "symbologies/twoOfFive.h"

namespace strixa {

namespace {

struct Vec {
  double x = 0;
  double y = 0;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(double s, Vec a) { return {s * a.x, s * a.y}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
double Length(Vec a) { return std::sqrt(Dot(a, a)); }
// A quarter turn counterclockwise on the screen (y down): from a reading direction, its top.
Vec Up(Vec a) { return {a.y, -a.x}; }

// ---------------------------------------------------------------------------------------------
// Planes and lines

// The grey pixels a pass samples: the picture itself or a copy scaled down by 2^level.
struct Plane {
  const std::uint8_t* bytes = nullptr;
  int width = 0;
  int height = 0;
  std::ptrdiff_t rowPitch = 0;
  int pixelStep = 1;
  double scale = 1;                // picture pixels per plane pixel
  float leastStep = smallestStep;  // an edge's least step on this plane, against its noise
  double activeShare = 1;          // of the picture's cells, those where bars may lie
  std::vector<std::uint8_t> owned;

  int At(int x, int y) const { return bytes[y * rowPitch + x * pixelStep]; }
};

Plane PictureLevel(const Image& picture) {
  Plane plane;
  plane.bytes = picture.greyBytes;
  plane.width = picture.imageWidth;
  plane.height = picture.imageHeight;
  plane.rowPitch = picture.rowPitch;
  plane.pixelStep = picture.pixelStep;
  return plane;
}

// The deviation of the picture's noise, from its flattest part. In a small tile, the median
// difference of neighbouring pixels is about 0.95 of it where few pairs of pixels straddle an
// edge. Pairs are taken across, down and along both diagonals, and the least of the four medians
// counts: along bars of any angle one of them straddles few edges, even where the bars are a pixel
// wide and fill the tile, as in a tight crop. The least of the tiles' then leaves out ground,
// text and clutter (a picture may be full of them, all but a label's margin). Nought on a clean
// drawing or where any tile is flat: a smooth or clipped patch hides the noise, and lines then
// keep the least step they always have.
double NoiseDeviation(const Image& picture) {
  constexpr int tile = 32;
  constexpr int rowsApart = 8;
  constexpr int largest = 63;  // differences beyond count as this: only medians are wanted
  // On large pictures every other tile (or fewer) either way: a page has thousands.
  const int tilesAcross = picture.imageWidth / tile;
  const int tilesDown = picture.imageHeight / tile;
  const int skip = 1 + static_cast<int>(std::sqrt(tilesAcross * tilesDown / 2048.0));
  const std::uint8_t* bytes = picture.greyBytes;
  const std::ptrdiff_t step = picture.pixelStep;
  const std::ptrdiff_t pitch = picture.rowPitch;
  // The neighbour of a pixel each way, and the pixel it is taken from.
  const std::array<std::ptrdiff_t, 4> from = {0, 0, 0, step};
  const std::array<std::ptrdiff_t, 4> to = {step, pitch, pitch + step, pitch};
  int least = -1;
  std::array<std::array<int, largest + 1>, 4> counts{};
  // The rows of a tile taken, and the pairs in each.
  constexpr int rows = tile / rowsApart;
  constexpr int count = rows * (tile - 1);
  for (int ty = 0; ty < tilesDown; ty += skip) {
    for (int tx = 0; tx < tilesAcross; tx += skip) {
      const std::uint8_t* corner = bytes + ty * tile * pitch + tx * tile * step;
      // A tile lowers the least median only where more than half of some way's differences lie
      // below it: counted first, which vectorises, and the tile's medians found only then.
      if (least > 0) {
        std::array<int, 4> under{};
        // Pixels side by side, the common case, in a loop of its own that the compiler vectorises.
        const auto below = [least](const std::uint8_t* a, const std::uint8_t* b,
                                   std::ptrdiff_t apart) {
          int n = 0;
          for (int x = 0; x < tile - 1; ++x) {
            n += std::abs(b[x * apart] - a[x * apart]) < least ? 1 : 0;
          }
          return n;
        };
        for (int r = 0; r < rows; ++r) {
          const std::uint8_t* pixel = corner + (r * rowsApart + rowsApart / 2) * pitch;
          for (std::size_t way = 0; way < 4; ++way) {
            const std::uint8_t* a = pixel + from[way];
            const std::uint8_t* b = pixel + to[way];
            under[way] += step == 1 ? below(a, b, 1) : below(a, b, step);
          }
        }
        if (std::none_of(under.begin(), under.end(), [](int n) { return 2 * n > count; })) {
          continue;
        }
      }
      for (auto& way : counts) {
        way.fill(0);
      }
      // A few rows of the tile, each pixel but its last: every neighbour lies in the tile.
      for (int r = 0; r < rows; ++r) {
        const std::uint8_t* pixel = corner + (r * rowsApart + rowsApart / 2) * pitch;
        for (int x = 1; x < tile; ++x, pixel += step) {
          for (std::size_t way = 0; way < 4; ++way) {
            const int difference = std::abs(pixel[to[way]] - pixel[from[way]]);
            ++counts[way][static_cast<std::size_t>(std::min(largest, difference))];
          }
        }
      }
      for (const auto& way : counts) {
        int below = 0;
        int median = 0;
        while (median < largest && 2 * (below + way[static_cast<std::size_t>(median)]) <= count) {
          below += way[static_cast<std::size_t>(median)];
          ++median;
        }
        least = least < 0 ? median : std::min(least, median);
      }
      if (least == 0) {
        return 0;  // no tile can go lower: pages and clean drawings stop at their first flat tile
      }
    }
  }
  return std::max(0, least) / 0.954;
}

// Each pixel the mean of a square of four: noise averages out, and a symbol too large for the
// finer lines' windows fits.
Plane HalfOf(const Plane& source) {
  Plane plane;
  plane.width = source.width / 2;
  plane.height = source.height / 2;
  plane.scale = source.scale * 2;
  plane.owned.resize(static_cast<std::size_t>(plane.width) *
                     static_cast<std::size_t>(plane.height));
  // Row pointers and a loop of its own for one byte a pixel, the common case, so that the
  // compiler vectorises it wherever it is inlined: on a page it is most of the scaling's cost.
  const std::ptrdiff_t step = source.pixelStep;
  for (int y = 0; y < plane.height; ++y) {
    const std::uint8_t* top = source.bytes + 2 * static_cast<std::ptrdiff_t>(y) * source.rowPitch;
    const std::uint8_t* bottom = top + source.rowPitch;
    std::uint8_t* out = plane.owned.data() + static_cast<std::ptrdiff_t>(y) * plane.width;
    if (step == 1) {
      for (int x = 0; x < plane.width; ++x) {
        out[x] = static_cast<std::uint8_t>(
            (top[2 * x] + top[2 * x + 1] + bottom[2 * x] + bottom[2 * x + 1] + 2) / 4);
      }
    } else {
      for (int x = 0; x < plane.width; ++x) {
        const std::ptrdiff_t at = 2 * x * step;
        out[x] = static_cast<std::uint8_t>(
            (top[at] + top[at + step] + bottom[at] + bottom[at + step] + 2) / 4);
      }
    }
  }
  plane.bytes = plane.owned.data();
  plane.rowPitch = plane.width;
  return plane;
}

// Bilinear grey at a point of the plane (pixel centres at +0.5), clamped to its edge.
float Sample(const Plane& plane, double x, double y) {
  x = std::clamp(x - 0.5, 0.0, plane.width - 1.0);
  y = std::clamp(y - 0.5, 0.0, plane.height - 1.0);
  const int x0 = static_cast<int>(x);
  const int y0 = static_cast<int>(y);
  const int x1 = std::min(x0 + 1, plane.width - 1);
  const int y1 = std::min(y0 + 1, plane.height - 1);
  const auto fx = static_cast<float>(x - x0);
  const auto fy = static_cast<float>(y - y0);
  const float top = plane.At(x0, y0) + fx * static_cast<float>(plane.At(x1, y0) - plane.At(x0, y0));
  const float bottom =
      plane.At(x0, y1) + fx * static_cast<float>(plane.At(x1, y1) - plane.At(x0, y1));
  return top + fy * (bottom - top);
}

// A line of a plane: origin + t * direction for t in [0, length], both ends on the plane's edge
// or inside it. An end inside that only cuts the line short is no edge of the picture: the
// element it cuts may be wider, and never stands in for light.
struct Line {
  Vec origin;
  Vec direction;
  double length = 0;
  bool startsAtEdge = true;
  bool endsAtEdge = true;
};

// The part of the infinite line through point along direction that lies on [0, w] x [0, h];
// false when it misses the plane.
bool ClipLine(Vec point, Vec direction, double lo, double hi, double w, double h, Line& line) {
  const double from[2] = {point.x, point.y};
  const double step[2] = {direction.x, direction.y};
  const double size[2] = {w, h};
  for (int axis = 0; axis < 2; ++axis) {
    if (std::abs(step[axis]) < 1e-12) {
      if (from[axis] < 0 || from[axis] > size[axis]) {
        return false;
      }
      continue;
    }
    double t0 = (0 - from[axis]) / step[axis];
    double t1 = (size[axis] - from[axis]) / step[axis];
    if (t0 > t1) {
      std::swap(t0, t1);
    }
    lo = std::max(lo, t0);
    hi = std::min(hi, t1);
  }
  if (hi - lo < 8) {
    return false;
  }
  line.origin = point + lo * direction;
  line.direction = direction;
  line.length = hi - lo;
  return true;
}

// Moves the line's start on by less than a pixel so that, where the line runs along the rows or
// the columns, its samples fall on pixel centres: bars of a pixel, sampled half a pixel off, blend
// into one grey. Lines from the plane's edge along its rows or columns sample them so already.
// Lines more than a few degrees off drift across the pixels within a symbol's length anyway, and
// are left as they are. Whether the line moved.
bool SamplePixelCentres(Line& line) {
  constexpr double largestDrift = 0.05;  // across, per sample: about three degrees
  const bool alongRows = std::abs(line.direction.x) >= std::abs(line.direction.y);
  if (std::min(std::abs(line.direction.x), std::abs(line.direction.y)) > largestDrift) {
    return false;
  }
  const double step = alongRows ? line.direction.x : line.direction.y;
  const double first = (alongRows ? line.origin.x : line.origin.y) + 0.5 * step;
  // Each move of the start by `pixel` moves the samples by a whole pixel.
  const double pixel = 1 / std::abs(step);
  const double onCentre = (0.5 - (first - std::floor(first))) / step;
  const double move = onCentre - pixel * std::floor(onCentre / pixel);
  line.origin = line.origin + move * line.direction;
  line.length -= move;
  return move != 0;
}

// ---------------------------------------------------------------------------------------------
// Edges

// An edge's step must exceed this share of the grey range around it, and never less than
// minimumStep grey levels: noise on a flat ground stays below both. On a noisy picture the least
// step grows to noiseEdgeSteps of its noise's deviation (as NoiseDeviation finds it, low rather
// than high): below that, heavy noise turns the grey every few samples, which breaks bars into
// pieces and costs the decoders a try at each, while bars that stand out of the noise step by
// far more. Lines blend neighbouring pixels, which smooths their noise a little further.
constexpr float stepShare = 0.12F;
constexpr float minimumStep = smallestStep;
constexpr double noiseEdgeSteps = 3.5;
constexpr int rangeBlock = 8;   // samples a block of the local range
constexpr int rangeBlocks = 3;  // blocks either side the local range reaches
// Where the ranges beside a block's own are taken: just beyond it, so that none shares a block.
constexpr int wideReach = 2 * rangeBlocks + 1;

// The boundaries of a line's elements (picture edge, edges, picture edge) along it, and whether
// the first element is dark. The scratch vectors are the caller's, reused line after line.
struct Profile {
  std::vector<float> grey;
  std::vector<float> threshold;  // per block
  std::vector<float> middle;     // per block, the middle of the grey range around it
  std::vector<float> halfRange;  // and half its span
  std::vector<float> lows;       // per block, its own darkest and lightest grey
  std::vector<float> highs;
  std::vector<float> threeLows;  // per block, the range of it and the next two
  std::vector<float> threeHighs;
  std::vector<float> rangeLows;  // per block, the range around it, after wideReach blocks of none
  std::vector<float> rangeHighs;
  // Per block, the range around it widened by the ranges wideReach blocks either side, as far as
  // both of those reach beyond it.
  std::vector<float> wideMiddle;
  std::vector<float> wideHalfRange;
  std::vector<int> extremes;
  // Per step between neighbouring extremes, where it crosses the middle of its own extremes; below
  // nought until found.
  std::vector<float> stepMiddles;
  std::vector<float> boundaries;
  std::vector<float> runAt;  // ReadLine's, kept for the next line
  std::vector<float> runWidths;
  bool firstDark = false;
  float leastStep = minimumStep;  // the plane's, taken as each line is sampled
};

// Samples begin to end (not included) of the line into grey, indexed from the line's start, to
// the same values whatever part of the line is sampled.
void SampleSpan(const Plane& plane, const Line& line, int begin, int end, float* grey) {
  const auto at = [&line](int i) { return line.origin + (i + 0.5) * line.direction; };
  // Sample's clamps matter only within half a pixel of the plane's edge, where a line may start
  // and end; between, the samples are taken without them.
  const auto inside = [&plane](Vec p) {
    return p.x >= 0.5 && p.x <= plane.width - 0.5 && p.y >= 0.5 && p.y <= plane.height - 0.5;
  };
  int from = begin;
  while (from < end && !inside(at(from))) {
    const Vec p = at(from);
    grey[from] = Sample(plane, p.x, p.y);
    ++from;
  }
  int to = end;
  while (to > from && !inside(at(to - 1))) {
    --to;
    const Vec p = at(to);
    grey[to] = Sample(plane, p.x, p.y);
  }
  if (from >= to) {
    return;
  }
  // Positions in fixed point, 32 bits of fraction, stepped from the line's first sample: a few
  // thousand steps drift by less than a millionth of a pixel, and no float conversion is left
  // but the fractions'.
  constexpr double one = 4294967296.0;
  constexpr float fraction = 1.0F / 4294967296.0F;
  const std::int64_t xStep = std::llround(line.direction.x * one);
  const std::int64_t yStep = std::llround(line.direction.y * one);
  std::int64_t x = std::llround((at(0).x - 0.5) * one) + from * xStep;
  std::int64_t y = std::llround((at(0).y - 0.5) * one) + from * yStep;
  const std::uint8_t* bytes = plane.bytes;
  const std::ptrdiff_t pitch = plane.rowPitch;
  const std::ptrdiff_t step = plane.pixelStep;
  const int lastX = plane.width - 1;
  const int lastY = plane.height - 1;
  // Rows and columns: one fraction stays nought and the other never changes, so each sample
  // blends two pixels, to the same value as the general loop's.
  constexpr std::int64_t whole = std::int64_t{1} << 32;
  const int x0 = static_cast<int>(x >> 32);
  const int y0 = static_cast<int>(y >> 32);
  if (yStep == 0 && xStep == whole && (x & 0xFFFFFFFF) == 0 && x0 >= 0 &&
      x0 + (to - from) - 1 <= lastX && y0 >= 0 && y0 <= lastY) {
    const std::uint8_t* near = bytes + y0 * pitch + static_cast<std::ptrdiff_t>(x0) * step;
    const std::uint8_t* far = near + (y0 < lastY ? pitch : 0);
    const float fy = static_cast<float>(y & 0xFFFFFFFF) * fraction;
    for (int i = from; i < to; ++i, near += step, far += step) {
      const float top = near[0];
      grey[i] = top + fy * (static_cast<float>(far[0]) - top);
    }
    return;
  }
  if (xStep == 0 && yStep == whole && (y & 0xFFFFFFFF) == 0 && y0 >= 0 &&
      y0 + (to - from) - 1 <= lastY && x0 >= 0 && x0 <= lastX) {
    const std::uint8_t* near = bytes + y0 * pitch + static_cast<std::ptrdiff_t>(x0) * step;
    const std::ptrdiff_t dx = x0 < lastX ? step : 0;
    const float fx = static_cast<float>(x & 0xFFFFFFFF) * fraction;
    for (int i = from; i < to; ++i, near += pitch) {
      grey[i] = near[0] + fx * static_cast<float>(near[dx] - near[0]);
    }
    return;
  }
  // Clamped at the plane's last row and column, which have no neighbour to blend with.
  const auto blend = [&](std::int64_t px, std::int64_t py) {
    const int x0 = std::clamp(static_cast<int>(px >> 32), 0, lastX);
    const int y0 = std::clamp(static_cast<int>(py >> 32), 0, lastY);
    const std::ptrdiff_t dx = x0 < lastX ? step : 0;
    const std::ptrdiff_t dy = y0 < lastY ? pitch : 0;
    const std::uint8_t* pixel = bytes + y0 * pitch + x0 * step;
    const float fx = static_cast<float>(px & 0xFFFFFFFF) * fraction;
    const float fy = static_cast<float>(py & 0xFFFFFFFF) * fraction;
    const float top = pixel[0] + fx * static_cast<float>(pixel[dx] - pixel[0]);
    const float bottom = pixel[dy] + fx * static_cast<float>(pixel[dy + dx] - pixel[dy]);
    return top + fy * (bottom - top);
  };
  // Between samples with both neighbours, which on a straight line are all between two such, the
  // clamps are left out.
  const auto blendsInside = [&](std::int64_t px, std::int64_t py) {
    return px >= 0 && py >= 0 && (px >> 32) < lastX && (py >> 32) < lastY;
  };
  while (from < to && !blendsInside(x, y)) {
    grey[from++] = blend(x, y);
    x += xStep;
    y += yStep;
  }
  while (to > from && !blendsInside(x + (to - 1 - from) * xStep, y + (to - 1 - from) * yStep)) {
    --to;
    grey[to] = blend(x + (to - from) * xStep, y + (to - from) * yStep);
  }
  // A few dozen samples at a time: their pixels gathered first, then blended together, which the
  // compiler does several at once. The fractions, the positions' low 32 bits, step alike.
  constexpr int chunk = 32;
  std::array<int, chunk> topLeft;
  std::array<int, chunk> topRight;
  std::array<int, chunk> bottomLeft;
  std::array<int, chunk> bottomRight;
  const auto xStepFraction = static_cast<std::uint32_t>(xStep & 0xFFFFFFFF);
  const auto yStepFraction = static_cast<std::uint32_t>(yStep & 0xFFFFFFFF);
  while (from < to) {
    const int n = std::min(chunk, to - from);
    const auto xFraction = static_cast<std::uint32_t>(x & 0xFFFFFFFF);
    const auto yFraction = static_cast<std::uint32_t>(y & 0xFFFFFFFF);
    for (std::size_t j = 0; j < static_cast<std::size_t>(n); ++j, x += xStep, y += yStep) {
      const std::uint8_t* pixel = bytes + (y >> 32) * pitch + (x >> 32) * step;
      topLeft[j] = pixel[0];
      topRight[j] = pixel[step];
      bottomLeft[j] = pixel[pitch];
      bottomRight[j] = pixel[pitch + step];
    }
    float* out = grey + from;
    for (std::size_t j = 0; j < static_cast<std::size_t>(n); ++j) {
      const auto sample = static_cast<std::uint32_t>(j);
      const float fx = static_cast<float>(xFraction + sample * xStepFraction) * fraction;
      const float fy = static_cast<float>(yFraction + sample * yStepFraction) * fraction;
      const float top =
          static_cast<float>(topLeft[j]) + fx * static_cast<float>(topRight[j] - topLeft[j]);
      const float bottom = static_cast<float>(bottomLeft[j]) +
                           fx * static_cast<float>(bottomRight[j] - bottomLeft[j]);
      out[j] = top + fy * (bottom - top);
    }
    from += n;
  }
}

void SampleLine(const Plane& plane, const Line& line, Profile& profile) {
  profile.leastStep = plane.leastStep;
  const int count = static_cast<int>(line.length);
  profile.grey.resize(static_cast<std::size_t>(count));
  SampleSpan(plane, line, 0, count, profile.grey.data());
}

// The darkest and lightest of the grey from `from`, count samples.
void RangeOf(const float* from, int count, float& low, float& high) {
  if (count == rangeBlock) {
    // A whole block by pairs: the same extremes in fewer dependent steps.
    const float low01 = std::min(from[0], from[1]);
    const float low23 = std::min(from[2], from[3]);
    const float low45 = std::min(from[4], from[5]);
    const float low67 = std::min(from[6], from[7]);
    const float high01 = std::max(from[0], from[1]);
    const float high23 = std::max(from[2], from[3]);
    const float high45 = std::max(from[4], from[5]);
    const float high67 = std::max(from[6], from[7]);
    low = std::min(std::min(low01, low23), std::min(low45, low67));
    high = std::max(std::max(high01, high23), std::max(high45, high67));
    return;
  }
  low = 255;
  high = 0;
  for (const float* g = from; g < from + count; ++g) {
    low = std::min(low, *g);
    high = std::max(high, *g);
  }
}

static_assert(rangeBlock == 8 && rangeBlocks == 3);

void SetThresholds(Profile& profile) {
  const std::vector<float>& grey = profile.grey;
  const int count = static_cast<int>(grey.size());
  const int blocks = (count + rangeBlock - 1) / rangeBlock;
  const auto size = static_cast<std::size_t>(blocks);
  // Each block's own range, after rangeBlocks blocks either side that change no range: the grey
  // lies between 0 and 255.
  std::vector<float>& lows = profile.lows;
  std::vector<float>& highs = profile.highs;
  lows.resize(size + 2 * rangeBlocks);
  highs.resize(size + 2 * rangeBlocks);
  for (std::size_t n = 0; n < rangeBlocks; ++n) {
    lows[n] = lows[size + rangeBlocks + n] = 255;
    highs[n] = highs[size + rangeBlocks + n] = 0;
  }
  for (int b = 0; b < blocks; ++b) {
    const int from = b * rangeBlock;
    RangeOf(grey.data() + from, std::min(rangeBlock, count - from),
            lows[static_cast<std::size_t>(b) + rangeBlocks],
            highs[static_cast<std::size_t>(b) + rangeBlocks]);
  }
  // The range of the seven blocks around each: of two runs of three, found once for every place,
  // and the seventh.
  std::vector<float>& threeLows = profile.threeLows;
  std::vector<float>& threeHighs = profile.threeHighs;
  threeLows.resize(size + rangeBlocks);
  threeHighs.resize(size + rangeBlocks);
  for (std::size_t n = 0; n < size + rangeBlocks; ++n) {
    threeLows[n] = std::min(std::min(lows[n], lows[n + 1]), lows[n + 2]);
    threeHighs[n] = std::max(std::max(highs[n], highs[n + 1]), highs[n + 2]);
  }
  profile.threshold.resize(size);
  profile.middle.resize(size);
  profile.halfRange.resize(size);
  std::vector<float>& rangeLows = profile.rangeLows;
  std::vector<float>& rangeHighs = profile.rangeHighs;
  rangeLows.assign(size + 2 * wideReach, 255);
  rangeHighs.assign(size + 2 * wideReach, 0);
  for (std::size_t b = 0; b < size; ++b) {
    const float low = std::min(std::min(threeLows[b], threeLows[b + 3]), lows[b + 6]);
    const float high = std::max(std::max(threeHighs[b], threeHighs[b + 3]), highs[b + 6]);
    profile.threshold[b] = std::max(profile.leastStep, stepShare * (high - low));
    profile.middle[b] = (low + high) / 2;
    profile.halfRange[b] = (high - low) / 2;
    rangeLows[b + wideReach] = low;
    rangeHighs[b + wideReach] = high;
  }
  // Light changes smoothly across a picture: paper lighter on both sides of a stretch than in it
  // is paper that blur kept the stretch's narrow spaces from showing (and likewise for ink). A
  // gradient or a glare lights one side only, and widens nothing.
  profile.wideMiddle.resize(size);
  profile.wideHalfRange.resize(size);
  for (std::size_t b = 0; b < size; ++b) {
    const std::size_t here = b + wideReach;
    const float low =
        std::min(rangeLows[here], std::max(rangeLows[b], rangeLows[here + wideReach]));
    const float high =
        std::max(rangeHighs[here], std::min(rangeHighs[b], rangeHighs[here + wideReach]));
    profile.wideMiddle[b] = (low + high) / 2;
    profile.wideHalfRange[b] = (high - low) / 2;
  }
}

// Alternating extremes: a maximum is confirmed once the grey falls below it by the local
// threshold, a minimum once it rises above it by as much.
void FindExtremes(Profile& profile) {
  const float* grey = profile.grey.data();
  const float* threshold = profile.threshold.data();
  std::vector<int>& extremes = profile.extremes;
  extremes.clear();
  const int count = static_cast<int>(profile.grey.size());
  const auto block = [](int i) {
    return static_cast<std::size_t>(static_cast<unsigned>(i) / rangeBlock);
  };
  int lowest = 0;
  int highest = 0;
  int i = 1;
  bool rising = false;  // seeking a maximum
  // The darkest and lightest so far and their thresholds stay in registers.
  float low = count > 0 ? grey[0] : 0;
  float high = low;
  float lowThreshold = count > 0 ? threshold[0] : 0;
  float highThreshold = lowThreshold;
  for (; i < count; ++i) {
    const float g = grey[i];
    if (g < low) {
      lowest = i;
      low = g;
      lowThreshold = threshold[block(i)];
    }
    if (g > high) {
      highest = i;
      high = g;
      highThreshold = threshold[block(i)];
    }
    if (g - low >= lowThreshold) {
      profile.firstDark = true;
      extremes.push_back(lowest);
      rising = true;
      break;
    }
    if (high - g >= highThreshold) {
      profile.firstDark = false;
      extremes.push_back(highest);
      break;
    }
  }
  if (i >= count) {
    return;
  }
  // The candidate and its grey stay in registers; the sample that confirmed the first extreme is
  // the first candidate. A loop for each direction keeps the direction out of the samples' tests,
  // and a new candidate is taken by a maximum (minimum) and a select, not a branch on the grey:
  // it confirms nothing, as every threshold is above nought.
  int candidate = i;
  float at = grey[i];
  for (++i;; ++i) {
    if (rising) {
      for (; i < count; ++i) {
        const float g = grey[i];
        candidate = g > at ? i : candidate;
        at = std::max(at, g);
        if (at - g >= threshold[block(candidate)]) {
          break;
        }
      }
    } else {
      for (; i < count; ++i) {
        const float g = grey[i];
        candidate = g < at ? i : candidate;
        at = std::min(at, g);
        if (g - at >= threshold[block(candidate)]) {
          break;
        }
      }
    }
    if (i >= count) {
      break;
    }
    extremes.push_back(candidate);
    rising = !rising;
    candidate = i;
    at = grey[i];
  }
  // The last extreme is confirmed by the step that found the one before it.
  extremes.push_back(candidate);
}

// Where the grey crosses level between two extremes, interpolated between the samples either
// side; of several crossings (noise), the steepest.
float EdgeBetween(const std::vector<float>& grey, int from, int to, float level) {
  // Without a branch on the grey, which a crossing would make guessed wrong once an edge: a
  // sample pair's steepness counts where it crosses (every crossing's is above nought), the
  // steepest is kept by a maximum and its place by a select, and the edge is placed once.
  float best = 0;
  int at = -1;
  float here = grey[static_cast<std::size_t>(from)] - level;
  for (int i = from; i < to; ++i) {
    const float next = grey[static_cast<std::size_t>(i) + 1] - level;
    const bool crosses = ((here < 0) != (next < 0)) & (here != next);
    const float steep = std::abs(next - here) * static_cast<float>(crosses);
    at = steep > best ? i : at;
    best = std::max(best, steep);
    here = next;
  }
  if (at < 0) {
    return static_cast<float>(from + to) / 2 + 0.5F;
  }
  const float before = grey[static_cast<std::size_t>(at)] - level;
  const float after = grey[static_cast<std::size_t>(at) + 1] - level;
  // Samples sit at i + 0.5.
  return static_cast<float>(at) + 0.5F + before / (before - after);
}

// Blur spreads an element narrower than itself into a bell that falls short of the grey range,
// and its true edges lie nearer its extreme than the middle of its step. Between wider elements
// of the other shade, under a bell-shaped blur of width s, an element of width w reaches
// 2 Phi(w / 2s) - 1 of the way across the range, and its edges lie (Phi(w / s) - 1/2) of it: their
// share of its step depends only on the reach. By twentieths of the reach, from nought to whole.
constexpr std::array<float, 21> edgeShareByReach = {
    1.000F, 0.998F, 0.992F, 0.982F, 0.969F, 0.952F, 0.932F, 0.908F, 0.882F, 0.853F, 0.823F,
    0.790F, 0.756F, 0.722F, 0.687F, 0.652F, 0.619F, 0.586F, 0.555F, 0.526F, 0.500F};

float EdgeShare(float reach) {
  const float at = std::clamp(reach, 0.0F, 1.0F) * 20;
  const auto below = std::min(static_cast<std::size_t>(at), edgeShareByReach.size() - 2);
  const float fraction = at - static_cast<float>(below);
  return edgeShareByReach[below] +
         fraction * (edgeShareByReach[below + 1] - edgeShareByReach[below]);
}

// The width of the element between steps `step` and `other` (steps counted between neighbouring
// extremes), each step placed at the middle of its own extremes. A step serves three elements'
// tests at most, and is placed once.
float MiddlesApart(Profile& profile, std::size_t step, std::size_t other) {
  const auto middleOf = [&profile](std::size_t k) {
    float& at = profile.stepMiddles[k];
    if (at < 0) {
      const int from = profile.extremes[k];
      const int to = profile.extremes[k + 1];
      const float level = (profile.grey[static_cast<std::size_t>(from)] +
                           profile.grey[static_cast<std::size_t>(to)]) /
                          2;
      at = EdgeBetween(profile.grey, from, to, level);
    }
    return at;
  };
  return std::abs(middleOf(other) - middleOf(step));
}

// The level of a step that a range (middle, halfRange) finds short: one extreme beyond the
// middle by half the range at least, the other nearer it, that of an element blur kept from
// reaching its shade. The model holds only for an element narrower than the one beside it, and
// between its steps' middles a narrow element measures narrower; a wide bar a glare lightens also
// falls short, but measures as wide. Two elements of one width measure alike but for noise, and
// the model does not hold between them. Elsewhere, otherwise.
constexpr float narrowerShare = 0.9F;
float ShallowEdgeLevel(Profile& profile, std::size_t step, float middle, float halfRange,
                       float otherwise) {
  const std::vector<int>& extremes = profile.extremes;
  const float a = profile.grey[static_cast<std::size_t>(extremes[step])];
  const float b = profile.grey[static_cast<std::size_t>(extremes[step + 1])];
  const bool shortAfter = std::abs(b - middle) < std::abs(a - middle);
  const float full = shortAfter ? a : b;
  const float shallow = shortAfter ? b : a;
  if (halfRange <= 0 || std::abs(full - middle) < 0.5F * halfRange ||
      (full < middle) == (shallow < full)) {
    return otherwise;
  }
  // The short element lies between this step and the next on its side, the full one between this
  // step and the next on the other; a full element running into the line's end is wide enough.
  const bool hasNext = step + 2 < extremes.size();
  const bool hasBefore = step > 0;
  if (!(shortAfter ? hasNext : hasBefore)) {
    return otherwise;
  }
  if ((shortAfter ? hasBefore : hasNext) &&
      MiddlesApart(profile, step, shortAfter ? step + 1 : step - 1) >
          narrowerShare * MiddlesApart(profile, step, shortAfter ? step - 1 : step + 1)) {
    return otherwise;
  }
  const float reachable = full < middle ? middle + halfRange : middle - halfRange;
  const float reach = (shallow - full) / (reachable - full);
  return full + EdgeShare(reach) * (shallow - full);
}

// The level an edge is placed at: the middle of the grey range around it where that lies well
// inside the step (sharp pictures: exact to a tenth of a pixel even for elements of one or two
// pixels, whose extremes fall short of the range), else by the blurred-edge model, or the middle
// of the step's own extremes. A step inside the local range may still fall short of the paper
// (or ink) both sides show, where blur kept a long stretch of narrow elements from it.
float EdgeLevel(Profile& profile, std::size_t step) {
  const int from = profile.extremes[step];
  const int to = profile.extremes[step + 1];
  const float a = profile.grey[static_cast<std::size_t>(from)];
  const float b = profile.grey[static_cast<std::size_t>(to)];
  const float low = std::min(a, b);
  const float high = std::max(a, b);
  const auto block = static_cast<std::size_t>((from + to) / 2 / rangeBlock);
  const float margin = 0.2F * (high - low);
  const auto inside = [&](float middle) { return middle > low + margin && middle < high - margin; };
  const float middle = profile.middle[block];
  if (!inside(middle)) {
    return ShallowEdgeLevel(profile, step, middle, profile.halfRange[block], (low + high) / 2);
  }
  const float wideMiddle = profile.wideMiddle[block];
  if (inside(wideMiddle)) {
    return middle;
  }
  return ShallowEdgeLevel(profile, step, wideMiddle, profile.wideHalfRange[block], middle);
}

// Fills profile.boundaries: 0, each edge, and the line's length; none when there would be fewer
// than fewest, which no symbol has.
void FindEdges(Profile& profile, std::size_t fewest) {
  SetThresholds(profile);
  FindExtremes(profile);
  profile.boundaries.clear();
  // Each pair of neighbouring extremes makes one edge.
  if (profile.extremes.size() < 2 || profile.extremes.size() + 1 < fewest) {
    return;
  }
  profile.boundaries.push_back(0);
  profile.stepMiddles.assign(profile.extremes.size() - 1, -1);
  for (std::size_t i = 0; i + 1 < profile.extremes.size(); ++i) {
    const int from = profile.extremes[i];
    const int to = profile.extremes[i + 1];
    profile.boundaries.push_back(EdgeBetween(profile.grey, from, to, EdgeLevel(profile, i)));
  }
  profile.boundaries.push_back(static_cast<float>(profile.grey.size()));
}

// ---------------------------------------------------------------------------------------------
// Element runs and their decoders

// A line's elements in reading order: element k lies from at[k] to at[k + 1]; the first and the
// last run into the picture's edge.
struct Run {
  std::vector<float> at;
  std::vector<float> widths;  // at[k + 1] - at[k], taken once for the decoders' many tries
  bool firstBar = false;
  // Whether the first (last) element runs into the picture's edge, not into a line's cut end.
  bool edgeBefore = true;
  bool edgeAfter = true;
  // Where set, the digits a 2 of 5 read must have: another reader's text is being found again,
  // to measure its symbol, so its stop is known and its quiet zones go unchecked.
  std::size_t digits = 0;

  void SetWidths() {
    widths.resize(at.size() - 1);
    for (std::size_t k = 0; k + 1 < at.size(); ++k) {
      widths[k] = at[k + 1] - at[k];
    }
  }
  int Count() const { return static_cast<int>(at.size()) - 1; }
  float Width(int k) const { return widths[static_cast<std::size_t>(k)]; }
  bool IsBar(int k) const { return (k % 2 == 0) == firstBar; }
};

// What a decoder read from the element first (a bar) to the element last.
struct SymbolAt {
  Symbology symbology = Symbology::None;
  std::string text;
  int last = 0;
  // A check over one or two characters: a line that crosses a symbol's long edge or a run of
  // its bars makes one often enough that lines beside it must agree, as for no check at all.
  bool weakCheck = false;
};

// Light of at least need before element first. Where bordersCount, a border stands in for it
// as it ends a tight label: ink beyond the light at least as wide as need, wider than any bar of
// the symbologies that count borders (the dark ground or surface a label is stuck on), or the
// picture's edge, where the bar runs into it, or the light before it does, or a tight crop's
// sliver of ground beyond that light does.
bool QuietBefore(const Run& run, int first, double need, bool bordersCount) {
  const bool edgeCounts = bordersCount && run.edgeBefore;
  if (first == 0) {
    return edgeCounts;
  }
  return run.Width(first - 1) >= need || (edgeCounts && first <= 2) ||
         (bordersCount && first >= 2 && run.Width(first - 2) >= need);
}

bool QuietAfter(const Run& run, int last, double need, bool bordersCount) {
  const bool edgeCounts = bordersCount && run.edgeAfter;
  const int count = run.Count();
  if (last >= count - 1) {
    return edgeCounts;
  }
  return run.Width(last + 1) >= need || (edgeCounts && last + 3 >= count) ||
         (bordersCount && last + 2 < count && run.Width(last + 2) >= need);
}

double SumWidths(const Run& run, int first, int count) {
  double sum = 0;
  for (int k = first; k < first + count; ++k) {
    sum += run.Width(k);
  }
  return sum;
}

// A sharp picture (a printer's or a screen's pixels, a scan thresholded to black and white) puts
// each edge on a pixel boundary, up to half a pixel from where the symbol has it: at two or three
// pixels a module, a fifth of a module, so a sum of two elements may lie halfway between two
// patterns'. Where every edge of the N elements from first (`modules` wide) lies that near a grid
// of equal modules, their widths in the grid's whole modules are set in widths. The grid may lie
// anywhere within the rounding, so what must fit is the spread of the edges' offsets from it; and
// no edge may lie more than a little over a quarter of a module from its place, so each is
// plainly nearer its own place than the next.
constexpr double pixelRounding = 0.6;  // half a pixel, and a little for the edge's own noise
constexpr double snapModules = 0.27;

template <std::size_t N>
bool SnapToModules(const Run& run, int first, int modules, std::array<int, N>& widths) {
  const double module = SumWidths(run, first, static_cast<int>(N)) / modules;
  const double origin = run.at[static_cast<std::size_t>(first)];
  const double spread = 2 * std::min(pixelRounding, snapModules * module);
  double low = 0;
  double high = 0;
  int before = 0;
  // Most tries are no symbol's and fail at their first edges.
  for (std::size_t i = 1; i <= N; ++i) {
    const double from = run.at[static_cast<std::size_t>(first) + i] - origin;
    const int place = i == N ? modules : static_cast<int>(std::lround(from / module));
    low = std::min(low, from - place * module);
    high = std::max(high, from - place * module);
    if (place <= before || high - low > spread) {
      return false;
    }
    widths[i - 1] = place - before;
    before = place;
  }
  return true;
}

// Whether equal groups of modules (characters, digit pairs) measure as a smooth change of scale
// would make them: perspective and curved surfaces change it along a symbol, a misread grouping
// or a second symbol jumps. Each group lies near the middle of its neighbours; a group at an end,
// where a label wrapped round a can shrinks fastest, near what its two nearest neighbours
// extrapolate by their ratio (with only one neighbour, near that one).
bool ScaleChangesSmoothly(const std::vector<double>& widths) {
  const std::size_t count = widths.size();
  for (std::size_t i = 0; i < count; ++i) {
    double near = 0;
    if (i > 0 && i + 1 < count) {
      near = (widths[i - 1] + widths[i + 1]) / 2;
    } else if (count == 2) {
      near = widths[1 - i];
    } else if (count > 2) {
      const double next = widths[i == 0 ? 1 : count - 2];
      const double beyond = widths[i == 0 ? 2 : count - 3];
      near = next * next / beyond;
    }
    if (widths[i] < 0.8 * near || widths[i] > 1.25 * near) {
      return false;
    }
  }
  return true;
}

// Run lengths of a module pattern ("1" a bar module), at most N runs.
template <std::size_t N>
constexpr std::array<int, N> PatternRuns(std::string_view pattern) {
  std::array<int, N> runs{};
  std::size_t run = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (i > 0 && pattern[i] != pattern[i - 1]) {
      ++run;
    }
    if (run < N) {
      ++runs[run];
    }
  }
  return runs;
}

template <std::size_t N, std::size_t Count>
constexpr std::array<std::array<int, N>, Count> TableRuns(
    const std::array<std::string_view, Count>& table) {
  std::array<std::array<int, N>, Count> runs{};
  for (std::size_t i = 0; i < Count; ++i) {
    runs[i] = PatternRuns<N>(table[i]);
  }
  return runs;
}

constexpr auto eanRunsL = TableRuns<4>(eanPatternsL);
constexpr auto eanRunsG = TableRuns<4>(eanPatternsG);
constexpr auto eanRunsR = TableRuns<4>(eanPatternsR);
constexpr auto code128Runs = TableRuns<6>(code128Patterns);
constexpr auto code128StartRuns = TableRuns<6>(code128StartPatterns);
// The stop's seven elements.
constexpr std::array<int, 7> code128StopRuns = {2, 3, 3, 1, 1, 1, 2};

// EAN digits are told by the distances from each edge to the next like edge, which blur and ink
// spread leave alone: both sums must lie within eanFit modules of a pattern's together, and
// every pattern with other sums eanMargin further off. 1 and 7, and 2 and 8, share their sums
// and differ by a module in each of their four elements, which blur and ink spread do move.
constexpr double eanFit = 1.0;
constexpr double eanMargin = 0.45;
// Light beyond an EAN or UPC symbol, in modules (the printed zones are seven and more).
constexpr double eanQuietModules = 5;

// A digit's four elements in modules of its own seven, measured once for all the patterns.
struct DigitWidths {
  double firstSum = 0;   // the first two elements
  double secondSum = 0;  // the second and third
  std::array<double, 4> elements{};
  std::array<bool, 4> bars{};
};

DigitWidths MeasureDigit(const Run& run, int first) {
  const double module = SumWidths(run, first, 4) / 7;
  DigitWidths widths;
  widths.firstSum = (run.Width(first) + run.Width(first + 1)) / module;
  widths.secondSum = (run.Width(first + 1) + run.Width(first + 2)) / module;
  for (int i = 0; i < 4; ++i) {
    widths.elements[static_cast<std::size_t>(i)] = run.Width(first + i) / module;
    widths.bars[static_cast<std::size_t>(i)] = run.IsBar(first + i);
  }
  return widths;
}

using DigitSet = std::array<std::array<int, 4>, 10>;

// A digit as its sums read it (0-9, or 10-19 for the second set; -1 for none) and the pattern
// that shares its sums, which its elements must tell it from.
struct DigitRead {
  int digit = -1;
  int partner = -1;
};

const std::array<int, 4>& DigitPattern(const DigitSet& set, const DigitSet* second, int digit) {
  return digit < 10 ? set[static_cast<std::size_t>(digit)]
                    : (*second)[static_cast<std::size_t>(digit - 10)];
}

DigitRead FitDigitSums(double firstSum, double secondSum, const DigitSet& set,
                       const DigitSet* second) {
  const int count = second != nullptr ? 20 : 10;
  std::array<double, 20> misfits{};
  std::array<int, 20> keys{};
  DigitRead read;
  for (int i = 0; i < count; ++i) {
    const auto& pattern = DigitPattern(set, second, i);
    const auto k = static_cast<std::size_t>(i);
    misfits[k] = std::abs(firstSum - (pattern[0] + pattern[1])) +
                 std::abs(secondSum - (pattern[1] + pattern[2]));
    keys[k] = 10 * (pattern[0] + pattern[1]) + pattern[1] + pattern[2];
    if (read.digit < 0 || misfits[k] < misfits[static_cast<std::size_t>(read.digit)]) {
      read.digit = i;
    }
  }
  const auto best = static_cast<std::size_t>(read.digit);
  if (misfits[best] > eanFit) {
    return {};
  }
  for (int i = 0; i < count; ++i) {
    const auto k = static_cast<std::size_t>(i);
    if (k == best) {
      continue;
    }
    if (keys[k] == keys[best]) {
      read.partner = i;
    } else if (misfits[k] - misfits[best] < eanMargin) {
      return {};
    }
  }
  return read;
}

// The digit the four elements from first spell by their sums; those of a sharp picture by its
// whole modules where their measure leaves it open.
DigitRead ReadDigitSums(const Run& run, int first, const DigitWidths& widths, const DigitSet& set,
                        const DigitSet* second) {
  const DigitRead read = FitDigitSums(widths.firstSum, widths.secondSum, set, second);
  std::array<int, 4> snapped{};
  if (read.digit >= 0 || !SnapToModules(run, first, 7, snapped)) {
    return read;
  }
  return FitDigitSums(snapped[0] + snapped[1], snapped[1] + snapped[2], set, second);
}

// How a line draws a symbol's digits' elements, from the digits their sums settle: blur draws
// every element towards the mean of a digit's four, 7/4 modules, keeping a share of its distance
// from it, and ink spread widens bars and narrows spaces alike. Partners that share their sums
// differ by a module in each element, by the kept share once drawn: the elements as measured must
// lie nearer one partner's, as drawn, by eanPartnerMargin modules in all, two of the four, and by
// more than strays as large as the settled digits' could carry them. Heavy blur moves each edge
// by its neighbours' widths, so a digit's elements may stray from any such draw: elements a
// stray modules off each, towards the other partner, lie 8 stray - 4 nearer it.
struct ElementDraw {
  double kept = 1;
  double spread = 0;
  double stray = 0;  // the settled digits' largest, in modules
};

constexpr double eanMeanElement = 7.0 / 4;
constexpr double eanPartnerMargin = 2.0;

double DrawnElement(const ElementDraw& draw, int modules, bool bar) {
  return eanMeanElement + draw.kept * (modules - eanMeanElement) +
         (bar ? draw.spread : -draw.spread);
}

using SettledDigit = std::pair<const DigitWidths*, const std::array<int, 4>*>;

// By least squares. Where fewer than two digits settle, the guards' spread stands, unblurred.
ElementDraw FitElementDraw(std::span<const SettledDigit> settled, double guardSpread) {
  double xx = 0;
  double xz = 0;
  double zz = 0;
  double xy = 0;
  double zy = 0;
  for (const auto& [widths, pattern] : settled) {
    for (std::size_t i = 0; i < 4; ++i) {
      const double x = (*pattern)[i] - eanMeanElement;
      const double z = widths->bars[i] ? 1 : -1;
      const double y = widths->elements[i] - eanMeanElement;
      xx += x * x;
      xz += x * z;
      zz += z * z;
      xy += x * y;
      zy += z * y;
    }
  }
  const double determinant = xx * zz - xz * xz;
  if (settled.size() < 2 || !(determinant > 1e-9)) {
    return {1, guardSpread, 0};
  }
  ElementDraw draw{(xy * zz - zy * xz) / determinant, (xx * zy - xz * xy) / determinant, 0};
  for (const auto& [widths, pattern] : settled) {
    for (std::size_t i = 0; i < 4; ++i) {
      draw.stray = std::max(
          draw.stray,
          std::abs(widths->elements[i] - DrawnElement(draw, (*pattern)[i], widths->bars[i])));
    }
  }
  return draw;
}

// Which of a digit and its partner the elements spell, or -1.
int TellPartners(const DigitWidths& widths, const DigitRead& read, const DigitSet& set,
                 const DigitSet* second, const ElementDraw& draw) {
  if (read.partner < 0) {
    return read.digit;
  }
  const auto misfit = [&](int digit) {
    const auto& pattern = DigitPattern(set, second, digit);
    double sum = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      sum += std::abs(widths.elements[i] - DrawnElement(draw, pattern[i], widths.bars[i]));
    }
    return sum;
  };
  const double one = misfit(read.digit);
  const double other = misfit(read.partner);
  const double margin = std::max(eanPartnerMargin, 8 * draw.stray - 4);
  return one + margin <= other ? read.digit : other + margin <= one ? read.partner : -1;
}

// EAN-13 (and UPC-A) with six digits a half, EAN-8 with four.
bool DecodeEan(const Run& run, int first, int digitsPerHalf, SymbolAt& read) {
  const int elements = 11 + 8 * digitsPerHalf;
  if (first + elements > run.Count()) {
    return false;
  }
  const int middle = first + 3 + 4 * digitsPerHalf;
  const int end = middle + 5 + 4 * digitsPerHalf;
  const int digits = 2 * digitsPerHalf;
  const auto digitAt = [&](int place) {
    return place < digitsPerHalf ? first + 3 + 4 * place : middle + 5 + 4 * (place - digitsPerHalf);
  };
  // Perspective and curved surfaces change the module along the symbol. Each digit's seven
  // modules, like edge to like edge, measure it where the digit lies; a parabola through them
  // follows a tilt and a can's curve, while heavy blur, which moves a digit's edges by its
  // neighbours' widths, leaves single digits off it. Each digit must lie within a module of seven
  // of it, and each guard is measured by it.
  const int symbolModules = 11 + 14 * digitsPerHalf;
  const auto placeAt = [&](int place) {  // a digit's middle, -1 to 1 across the symbol
    const int modulesBefore = place < digitsPerHalf ? 3 + 7 * place : 8 + 7 * place;
    return 2.0 * (modulesBefore + 3.5) / symbolModules - 1;
  };
  // Most tries fail at the start guard: it is first held against the digit beside it.
  const double firstModule = SumWidths(run, digitAt(0), 4) / 7;
  for (int k = first; k < first + 2; ++k) {
    if (!(std::abs((run.Width(k) + run.Width(k + 1)) / firstModule - 2) <= 0.6)) {
      return false;
    }
  }
  std::array<double, 12> modules{};
  std::array<double, 5> powers{};   // sums of x^0 .. x^4
  std::array<double, 3> moments{};  // sums of m x^0 .. m x^2
  for (int place = 0; place < digits; ++place) {
    const double m = SumWidths(run, digitAt(place), 4) / 7;
    modules[static_cast<std::size_t>(place)] = m;
    const double x = placeAt(place);
    double power = 1;
    for (std::size_t i = 0; i < 5; ++i, power *= x) {
      powers[i] += power;
      if (i < 3) {
        moments[i] += m * power;
      }
    }
  }
  // The least squares parabola a + b x + c x^2, by Cramer's rule.
  const auto determinant = [](const std::array<std::array<double, 3>, 3>& m) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  };
  const std::array<std::array<double, 3>, 3> normal = {{{powers[0], powers[1], powers[2]},
                                                        {powers[1], powers[2], powers[3]},
                                                        {powers[2], powers[3], powers[4]}}};
  const double whole = determinant(normal);
  std::array<double, 3> fit{};
  for (std::size_t column = 0; column < 3; ++column) {
    std::array<std::array<double, 3>, 3> replaced = normal;
    for (std::size_t row = 0; row < 3; ++row) {
      replaced[row][column] = moments[row];
    }
    fit[column] = determinant(replaced) / whole;
  }
  const auto moduleAt = [&fit, symbolModules](double modulesIn) {
    const double x = 2.0 * modulesIn / symbolModules - 1;
    return fit[0] + fit[1] * x + fit[2] * x * x;
  };
  for (int place = 0; place < digits; ++place) {
    const double x = placeAt(place);
    const double near = fit[0] + fit[1] * x + fit[2] * x * x;
    const double width = 7 * modules[static_cast<std::size_t>(place)] / near;
    if (!(width >= 6 && width <= 8)) {
      return false;
    }
  }
  const double startModule = moduleAt(1.5);
  const double middleModule = moduleAt(symbolModules / 2.0);
  const double endModule = moduleAt(symbolModules - 1.5);
  // Every two neighbours in a guard span two modules.
  for (const auto& [from, count, module] :
       {std::tuple{first, 3, startModule}, std::tuple{middle, 5, middleModule},
        std::tuple{end, 3, endModule}}) {
    for (int k = from; k + 1 < from + count; ++k) {
      if (!(std::abs((run.Width(k) + run.Width(k + 1)) / module - 2) <= 0.6)) {
        return false;
      }
    }
  }
  if (!QuietBefore(run, first, eanQuietModules * startModule, true) ||
      !QuietAfter(run, end + 2, eanQuietModules * endModule, true)) {
    return false;
  }
  // Ink spread from the guards' single modules: bars come out wider, spaces narrower, alike.
  double bars = 0;
  double spaces = 0;
  for (const auto& [from, count, module] :
       {std::tuple{first, 3, startModule}, std::tuple{middle, 5, middleModule},
        std::tuple{end, 3, endModule}}) {
    for (int k = from; k < from + count; ++k) {
      (run.IsBar(k) ? bars : spaces) += run.Width(k) / module;
    }
  }
  const double spread = std::clamp((bars / 6 - spaces / 5) / 2, -0.5, 0.5);
  const auto setOf = [&](int place) { return place < digitsPerHalf ? &eanRunsL : &eanRunsR; };
  const auto secondOf = [&](int place) { return place < digitsPerHalf ? &eanRunsG : nullptr; };
  std::array<DigitWidths, 12> widths{};
  std::array<DigitRead, 12> sums{};
  std::array<SettledDigit, 12> settled{};
  std::size_t settledCount = 0;
  for (int place = 0; place < digits; ++place) {
    const auto p = static_cast<std::size_t>(place);
    const int k = digitAt(place);
    widths[p] = MeasureDigit(run, k);
    sums[p] = ReadDigitSums(run, k, widths[p], *setOf(place), secondOf(place));
    if (sums[p].digit < 0) {
      return false;
    }
    if (sums[p].partner < 0) {
      settled[settledCount++] = {&widths[p],
                                 &DigitPattern(*setOf(place), secondOf(place), sums[p].digit)};
    }
  }
  const ElementDraw draw = FitElementDraw(std::span(settled.data(), settledCount), spread);
  std::string left;
  std::string right;
  std::string parity;
  int sum = 0;
  for (int place = 0; place < digits; ++place) {
    const bool leftHalf = place < digitsPerHalf;
    const auto p = static_cast<std::size_t>(place);
    const int read = TellPartners(widths[p], sums[p], *setOf(place), secondOf(place), draw);
    if (read < 0) {
      return false;
    }
    const int digit = read % 10;
    // As ReadEanSymbol weighs them: 3 for odd places of each half, the check digit left out.
    const int halfPlace = leftHalf ? place + 1 : place - digitsPerHalf + 1;
    if (leftHalf || halfPlace < digitsPerHalf) {
      sum += digit * (halfPlace % 2 == 1 ? 3 : 1);
    }
    (leftHalf ? left : right) += static_cast<char>('0' + digit);
    if (leftHalf) {
      parity += read >= 10 ? 'B' : 'A';
    }
  }
  std::string text = left + ' ' + right;
  if (digitsPerHalf == 6) {
    const int leading = FindPattern(eanParityPatterns, parity);
    if (leading < 0) {
      return false;
    }
    text.insert(text.begin(), static_cast<char>('0' + leading));
    sum += leading;
    read.symbology = Symbology::Ean13;
  } else {
    // One set for the whole left half, as DecodeEan8 has it.
    if (parity.find_first_not_of(parity.front()) != std::string::npos) {
      return false;
    }
    read.symbology = Symbology::Ean8;
  }
  if (!HasEanCheckDigit(text, sum)) {
    return false;
  }
  read.text = std::move(text);
  read.last = end + 2;
  return true;
}

// A Code 128 value is the pattern whose four edge-to-like-edge sums lie nearest the measured
// ones: each within code128Tolerance modules (symbols drawn at one and a half pixels a module
// come out in runs of one and two pixels, off by a third of a module at each edge), and every
// other pattern at least code128Margin further off in all. The check character catches most of
// what slips through; the margin keeps a value from being a coin toss between two.
constexpr double code128Tolerance = 0.75;
constexpr double code128Margin = 0.5;
// After start A, a lone character's check character is that character again, so a blur that
// turns one pattern into another turns both alike: the margin alone must tell the two apart.
// Where the next pattern is a module off in one sum, the usual margin lets that sum be a quarter
// of a module off; this one, an eighth.
constexpr double code128LoneMargin = 0.75;
constexpr double code128QuietModules = 5;
// How far one character's module may lie from the one's before it: a surface turned steeply
// away shrinks it by a fifth from one character to the next.
constexpr double code128NeighbourSlack = 1.35;

// The sums of each two neighbouring elements of the N from first, in modules of their own, the N
// spanning `modules`: measured once for all the patterns they are held against. With widths of
// nought and more, each lies between nought and `modules`.
template <std::size_t N>
std::array<double, N - 1> MeasuredSums(const Run& run, int first, int modules) {
  const double module = SumWidths(run, first, static_cast<int>(N)) / modules;
  std::array<double, N - 1> measured{};
  for (std::size_t i = 0; i + 1 < N; ++i) {
    measured[i] =
        (run.Width(first + static_cast<int>(i)) + run.Width(first + static_cast<int>(i) + 1)) /
        module;
  }
  return measured;
}

// The misfit of measured sums to a pattern's, or -1 when one sum is off by more than tolerance.
// Once it reaches enough the rest is left out: it only grows.
template <std::size_t N>
double SumsMisfit(const std::array<double, N - 1>& measured, const std::array<int, N>& runs,
                  double tolerance, double enough = 1e300) {
  double misfit = 0;
  for (std::size_t i = 0; i + 1 < N; ++i) {
    const double off = std::abs(measured[i] - (runs[i] + runs[i + 1]));
    if (off > tolerance) {
      return -1;
    }
    misfit += off;
    if (misfit >= enough) {
      return misfit;
    }
  }
  return misfit;
}

template <std::size_t N>
bool MatchesSums(const Run& run, int first, const std::array<int, N>& runs, int modules,
                 double tolerance) {
  return SumsMisfit(MeasuredSums<N>(run, first, modules), runs, tolerance) >= 0;
}

// The value whose sums lie nearest the measured ones (entries from `from` of table), or -1;
// margin is how much nearer it lies than the next.
template <std::size_t Count>
int Code128ValueOfSums(const std::array<double, 5>& measured,
                       const std::array<std::array<int, 6>, Count>& table, std::size_t from,
                       double* margin) {
  int best = -1;
  double bestMisfit = 1e9;
  double nextMisfit = 1e9;
  for (std::size_t v = from; v < Count; ++v) {
    // A pattern no nearer than the next best changes neither.
    const double misfit = SumsMisfit(measured, table[v], 1e9, nextMisfit);
    if (misfit < bestMisfit) {
      nextMisfit = bestMisfit;
      bestMisfit = misfit;
      best = static_cast<int>(v);
    } else if (misfit < nextMisfit) {
      nextMisfit = misfit;
    }
  }
  if (best < 0 ||
      SumsMisfit(measured, table[static_cast<std::size_t>(best)], code128Tolerance) < 0 ||
      nextMisfit - bestMisfit < code128Margin) {
    return -1;
  }
  if (margin != nullptr) {
    *margin = nextMisfit - bestMisfit;
  }
  return best;
}

// The value of the six elements from first; those of a sharp picture by their whole modules
// where their measure leaves it open.
template <std::size_t Count>
int Code128Value(const Run& run, int first, const std::array<std::array<int, 6>, Count>& table,
                 std::size_t from, double* margin = nullptr) {
  const int value =
      Code128ValueOfSums(MeasuredSums<6>(run, first, code128SymbolModules), table, from, margin);
  std::array<int, 6> snapped{};
  if (value >= 0 || !SnapToModules(run, first, code128SymbolModules, snapped)) {
    return value;
  }
  std::array<double, 5> sums{};
  for (std::size_t i = 0; i < 5; ++i) {
    sums[i] = snapped[i] + snapped[i + 1];
  }
  return Code128ValueOfSums(sums, table, from, margin);
}

bool DecodeCode128Run(const Run& run, int first, SymbolAt& read) {
  if (first + 25 > run.Count()) {
    return false;
  }
  // Perspective and curved surfaces change the module along the symbol, by a quarter from one
  // character to the next where a can turns away. Each character is taken within a wide margin of
  // the one before; once all are read, each must lie close to the middle of its two neighbours,
  // as a smooth change of scale puts it. The quiet zone, cheaper, is looked at before the start.
  const double startModule = SumWidths(run, first, 6) / code128SymbolModules;
  if (!QuietBefore(run, first, code128QuietModules * startModule, true)) {
    return false;
  }
  const int startSet = Code128Value(run, first, code128StartRuns, 1);
  if (startSet < 0) {
    return false;
  }
  std::vector<double> modules = {startModule};
  std::vector<int> values;
  double firstMargin = 0;
  int k = first + 6;
  for (;;) {
    if (k + 7 > run.Count() || values.size() > 200) {
      return false;
    }
    const double before = modules.back();
    // The stop's first six elements span eleven modules, like edge to like edge.
    const double stopModules = SumWidths(run, k, 6) / before;
    if (stopModules > 11 / code128NeighbourSlack && stopModules < 11 * code128NeighbourSlack &&
        MatchesSums(run, k, code128StopRuns, 13, code128Tolerance)) {
      modules.push_back(SumWidths(run, k, 6) / 11);
      if (!QuietAfter(run, k + 6, code128QuietModules * modules.back(), true)) {
        return false;
      }
      break;
    }
    const double width = SumWidths(run, k, 6) / before;
    if (width < 11 / code128NeighbourSlack || width > 11 * code128NeighbourSlack) {
      return false;
    }
    double margin = 0;
    const int value = Code128Value(run, k, code128Runs, 0, &margin);
    if (value < 0) {
      return false;
    }
    if (values.empty()) {
      firstMargin = margin;
    }
    values.push_back(value);
    modules.push_back(SumWidths(run, k, 6) / code128SymbolModules);
    k += 6;
  }
  for (std::size_t i = 1; i + 1 < modules.size(); ++i) {
    const double ratio = modules[i] / (0.5 * (modules[i - 1] + modules[i + 1]));
    if (ratio < 9.5 / 11 || ratio > 12.5 / 11) {
      return false;
    }
  }
  if (values.size() < 2 ||
      (startSet == 1 && values.size() == 2 && firstMargin < code128LoneMargin)) {
    return false;
  }
  int sum = 102 + startSet;
  for (std::size_t i = 0; i + 1 < values.size(); ++i) {
    sum = (sum + values[i] * static_cast<int>((i + 1) % 103)) % 103;
  }
  if (sum != values.back()) {
    return false;
  }
  values.pop_back();
  const std::string text = Code128TextOfValues(startSet, values);
  if (text.empty()) {
    return false;
  }
  SymbolRead classified = ClassifyRead(Symbology::Code128, text);
  read.symbology = classified.symbology;
  read.text = std::move(classified.text);
  read.last = k + 6;
  read.weakCheck = values.size() <= 2;
  return true;
}

// Narrow and wide elements of a group: the `wide` widest are wide, and they must stand clearly
// apart from the narrow ones. Sets bit i of wideBits where element first + i * step is wide.
bool ClassifyGroup(const Run& run, int first, int count, int step, int wide, unsigned& wideBits,
                   double& narrowSum, double& wideSum) {
  std::array<double, 9> widths{};
  double widestNarrow = 0;
  double narrowestWide = 0;
  if (count == 5) {
    // Five in order by a fixed network of exchanges, without a branch on the widths.
    std::array<double, 5> sorted{};
    for (std::size_t i = 0; i < 5; ++i) {
      widths[i] = sorted[i] = run.Width(first + static_cast<int>(i) * step);
    }
    const auto order = [&sorted](std::size_t a, std::size_t b) {
      const double low = std::min(sorted[a], sorted[b]);
      sorted[b] = std::max(sorted[a], sorted[b]);
      sorted[a] = low;
    };
    for (const auto& [a, b] :
         {std::pair{0, 1}, std::pair{3, 4}, std::pair{2, 4}, std::pair{2, 3}, std::pair{0, 3},
          std::pair{0, 2}, std::pair{1, 4}, std::pair{1, 3}, std::pair{1, 2}}) {
      order(static_cast<std::size_t>(a), static_cast<std::size_t>(b));
    }
    widestNarrow = sorted[static_cast<std::size_t>(count - wide - 1)];
    narrowestWide = sorted[static_cast<std::size_t>(count - wide)];
  } else {
    // The wide + 1 widest, widest first: all the split needs of the widths in order.
    std::array<double, 4> widest{};
    int kept = 0;
    for (int i = 0; i < count; ++i) {
      const double width = run.Width(first + i * step);
      widths[static_cast<std::size_t>(i)] = width;
      int place = kept < wide + 1 ? kept++ : wide + 1;
      if (place > wide && !(width > widest[static_cast<std::size_t>(wide)])) {
        continue;
      }
      place = std::min(place, wide);
      for (; place > 0 && widest[static_cast<std::size_t>(place) - 1] < width; --place) {
        widest[static_cast<std::size_t>(place)] = widest[static_cast<std::size_t>(place) - 1];
      }
      widest[static_cast<std::size_t>(place)] = width;
    }
    widestNarrow = widest[static_cast<std::size_t>(wide)];
    narrowestWide = widest[static_cast<std::size_t>(wide) - 1];
  }
  if (narrowestWide < 1.4 * widestNarrow) {
    return false;
  }
  wideBits = 0;
  for (int i = 0; i < count; ++i) {
    const bool isWide = widths[static_cast<std::size_t>(i)] >= narrowestWide;
    wideBits |= isWide ? 1U << static_cast<unsigned>(i) : 0U;
    (isWide ? wideSum : narrowSum) += widths[static_cast<std::size_t>(i)];
  }
  return true;
}

// A table of narrow and wide patterns ("N", "W") by their wide bits as ClassifyGroup sets them:
// each pattern's index, -1 where none has those bits.
template <std::size_t Elements, std::size_t Count>
constexpr std::array<std::int8_t, std::size_t{1} << Elements> PatternsByWideBits(
    const std::array<std::string_view, Count>& table) {
  std::array<std::int8_t, std::size_t{1} << Elements> index{};
  index.fill(-1);
  for (std::size_t i = 0; i < Count; ++i) {
    std::size_t bits = 0;
    for (std::size_t e = 0; e < Elements; ++e) {
      bits |= table[i][e] == 'W' ? std::size_t{1} << e : 0;
    }
    index[bits] = static_cast<std::int8_t>(i);
  }
  return index;
}

constexpr auto code39ByWideBits = PatternsByWideBits<9>(code39WidthPatterns);
constexpr auto twoOfFiveByWideBits = PatternsByWideBits<5>(twoOfFivePatterns);
constexpr unsigned code39StartBits = [] {
  unsigned bits = 0;
  for (std::size_t e = 0; e < 9; ++e) {
    bits |= code39WidthPatterns[code39StartIndex][e] == 'W' ? 1U << e : 0U;
  }
  return bits;
}();

constexpr double code39QuietNarrows = 5;

// Whether the start's three wide elements, bars made narrower and spaces wider by spread, are
// at least 1.4 times as wide as any of its others, as ClassifyGroup has them.
bool StartStandsApart(const Run& run, int first, double spread) {
  double narrowestWide = 1e300;
  double widestNarrow = 0;
  for (int i = 0; i < 9; ++i) {
    const double width = run.Width(first + i) + (i % 2 == 0 ? -spread : spread);
    if ((code39StartBits >> static_cast<unsigned>(i) & 1U) != 0) {
      narrowestWide = std::min(narrowestWide, width);
    } else {
      widestNarrow = std::max(widestNarrow, width);
    }
  }
  return narrowestWide >= 1.4 * widestNarrow;
}

bool DecodeCode39From(const Run& run, int first, SymbolAt& read);

// Ink spread, or a camera's exposure and blur, makes bars wider and spaces narrower by as much
// (or the other way): at a wide-to-narrow ratio of two, a quarter of a narrow element on each
// side makes a narrow bar as wide as a wide space, and no three elements of a character stand
// apart. Where the start fails as measured, the spread its known pattern shows is taken off every
// element from the light before it (bars less, spaces more), and the symbol decoded again. A
// larger spread than this share of a narrow element leaves too little of the thinner ones.
constexpr double code39LargestSpread = 0.6;

bool DecodeCode39Run(const Run& run, int first, SymbolAt& read) {
  if (first + 9 > run.Count()) {
    return false;
  }
  // Most tries fail at their first character, which must be the start.
  if (StartStandsApart(run, first, 0)) {
    return DecodeCode39From(run, first, read);
  }
  // The start is narrow bar, wide space, narrow bar, narrow space, wide bar, narrow space, wide
  // bar, narrow space, narrow bar: bars gain what spaces lose, narrow and wide alike.
  const double narrowBars = (run.Width(first) + run.Width(first + 2) + run.Width(first + 8)) / 3;
  const double narrowSpaces =
      (run.Width(first + 3) + run.Width(first + 5) + run.Width(first + 7)) / 3;
  const double wideBars = (run.Width(first + 4) + run.Width(first + 6)) / 2;
  const double spread = 0.25 * (narrowBars - narrowSpaces + wideBars - run.Width(first + 1));
  if (!(std::abs(spread) <= code39LargestSpread * 0.5 * (narrowBars + narrowSpaces)) ||
      !StartStandsApart(run, first, spread)) {
    return false;
  }
  Run spreadless = run;
  for (int k = std::max(0, first - 1); k < run.Count(); ++k) {
    spreadless.widths[static_cast<std::size_t>(k)] +=
        static_cast<float>((k - first) % 2 == 0 ? -spread : spread);
  }
  return DecodeCode39From(spreadless, first, read);
}

// A symbol whose start lies at first, its elements as measured or taken off the spread.
bool DecodeCode39From(const Run& run, int first, SymbolAt& read) {
  unsigned wideBits = 0;
  std::string text;
  std::vector<double> characterWidths;
  double narrowSum = 0;
  double wideSum = 0;
  int k = first;
  for (;;) {
    if (k + 9 > run.Count() || text.size() > 1000) {
      return false;
    }
    const double narrowBefore = narrowSum;
    if (!ClassifyGroup(run, k, 9, 1, 3, wideBits, narrowSum, wideSum)) {
      return false;
    }
    const int index = code39ByWideBits[wideBits];
    if (index < 0) {
      return false;
    }
    // Most tries fail at their first character, before anything is kept.
    if (k == first && index != code39StartIndex) {
      return false;
    }
    characterWidths.push_back(SumWidths(run, k, 9));
    // This character's own narrow: perspective and curved surfaces change it along the symbol.
    const double narrow = (narrowSum - narrowBefore) / 6;
    if (k == first) {
      if (!QuietBefore(run, first, code39QuietNarrows * narrow, true)) {
        return false;
      }
    } else if (index == code39StartIndex) {
      if (!QuietAfter(run, k + 8, code39QuietNarrows * narrow, true)) {
        return false;
      }
      read.last = k + 8;
      break;
    } else {
      text += code39Chars[static_cast<std::size_t>(index)];
    }
    // The gap between characters is a space of a few narrows at most.
    if (k + 9 >= run.Count() || run.Width(k + 9) > 4 * narrow) {
      return false;
    }
    k += 10;
  }
  const double ratio =
      (wideSum / (3.0 * characterWidths.size())) / (narrowSum / (6.0 * characterWidths.size()));
  if (ratio < 1.8 || ratio > 3.8 || text.size() < 2) {
    return false;
  }
  if (!ScaleChangesSmoothly(characterWidths)) {
    return false;
  }
  read.symbology = Symbology::Code39;
  read.text = std::move(text);
  return true;
}

// Bars (or spaces) called narrow and wide across a whole 2 of 5 symbol must form two classes:
// the widest narrow one below the narrowest wide one by a clear margin, at a ratio a printer uses.
// A printer makes its narrow elements alike, and noise and sub-pixel edges move each by a few
// tenths of a pixel: one under half its class's mean is a hairline of clutter or a crack.
constexpr double narrowestShare = 0.5;
struct WidthClasses {
  double narrowSum = 0, wideSum = 0, widestNarrow = 0, narrowestNarrow = 1e9, narrowestWide = 1e9;
  int narrowCount = 0, wideCount = 0;
  void Add(double width, bool wide) {
    if (wide) {
      wideSum += width;
      ++wideCount;
      narrowestWide = std::min(narrowestWide, width);
    } else {
      narrowSum += width;
      ++narrowCount;
      widestNarrow = std::max(widestNarrow, width);
      narrowestNarrow = std::min(narrowestNarrow, width);
    }
  }
  double Narrow() const { return narrowCount > 0 ? narrowSum / narrowCount : 0; }
  bool Separate() const {
    if (narrowCount == 0 || wideCount == 0) {
      return false;
    }
    const double narrow = Narrow();
    const double wide = wideSum / wideCount;
    const double gap = wide - narrow;
    return wide >= 1.6 * narrow && wide <= 4 * narrow && widestNarrow < narrow + 0.4 * gap &&
           narrowestWide > wide - 0.4 * gap && narrowestNarrow >= narrowestShare * narrow;
  }
};

// Light beyond a 2 of 5 symbol, in narrow bars: printed zones are ten, a tight label keeps fewer,
// and no light within a symbol is wider than a wide space (three narrows at most, a little more
// where bars thinned), so seven still end a symbol and not a piece of one. The picture's edge
// never stands in for it, since the digits also spell starts and stops.
constexpr double twoOfFiveQuietNarrows = 7;
constexpr double interleavedQuietNarrows = 7;

bool DecodeTwoOfFiveRun(const Run& run, int first, SymbolAt& read) {
  // Start: wide bar, narrow space, wide bar, narrow space, narrow bar, narrow space.
  if (first + 6 + 10 + 3 > run.Count()) {
    return false;
  }
  // Separate classes put every wide bar above every narrow one: a start whose narrow bar is as
  // wide as a wide one never reads, and is left before anything is gathered.
  if (run.Width(first + 4) >= std::min(run.Width(first), run.Width(first + 2))) {
    return false;
  }
  // Nor does one whose first digit's bars are not two wide and three narrow.
  {
    unsigned wideBits = 0;
    double narrowSum = 0;
    double wideSum = 0;
    if (!ClassifyGroup(run, first + 6, 5, 2, 2, wideBits, narrowSum, wideSum)) {
      return false;
    }
  }
  WidthClasses bars;
  std::vector<double> spaces;
  bars.Add(run.Width(first), true);
  bars.Add(run.Width(first + 2), true);
  bars.Add(run.Width(first + 4), false);
  for (int i = 1; i < 6; i += 2) {
    spaces.push_back(run.Width(first + i));
  }
  const double startNarrow = run.Width(first + 4);
  std::string digits;
  int k = first + 6;
  unsigned wideBits = 0;
  for (;;) {
    if (k + 3 > run.Count() || digits.size() > 80) {
      return false;
    }
    const double quiet = twoOfFiveQuietNarrows * std::max(startNarrow, bars.Narrow());
    // Stops: wide bar, narrow space, narrow bar; or wide, narrow, wide bars.
    int stopLength = 0;
    if (run.digits > 0) {
      // The digits known, the stop lies where they end; a wide bar after its narrow bar and a
      // narrow space, rather than light, makes it the longer one.
      if (digits.size() == run.digits) {
        const bool wideLast = k + 5 <= run.Count() && run.Width(k + 4) >= 1.5 * run.Width(k + 2) &&
                              run.Width(k + 3) <= 1.7 * run.Width(k + 1);
        stopLength = wideLast ? 5 : 3;
      }
    } else if (!digits.empty() && k + 3 < run.Count() && run.Width(k + 3) >= quiet) {
      stopLength = 3;
    } else if (!digits.empty() && k + 5 < run.Count() && run.Width(k + 5) >= quiet) {
      stopLength = 5;
    }
    // A known text's stop may be spelt by data whose light fades a wide bar: only its place
    // counts.
    if (stopLength > 0 && run.digits > 0) {
      read.last = k + stopLength - 1;
      break;
    }
    if (stopLength > 0) {
      // Wide bar, narrow space, narrow bar, and for the longer stop a narrow space and a wide bar.
      bars.Add(run.Width(k), true);
      bars.Add(run.Width(k + 2), false);
      spaces.push_back(run.Width(k + 1));
      if (stopLength == 5) {
        bars.Add(run.Width(k + 4), true);
        spaces.push_back(run.Width(k + 3));
      }
      read.last = k + stopLength - 1;
      break;
    }
    if (k + 10 > run.Count()) {
      return false;
    }
    double narrowSum = 0;
    double wideSum = 0;
    if (!ClassifyGroup(run, k, 5, 2, 2, wideBits, narrowSum, wideSum)) {
      return false;
    }
    for (int i = 0; i < 5; ++i) {
      bars.Add(run.Width(k + 2 * i), (wideBits >> static_cast<unsigned>(i) & 1U) != 0);
      spaces.push_back(run.Width(k + 2 * i + 1));
    }
    digits += static_cast<char>('0' + twoOfFiveByWideBits[wideBits]);
    k += 10;
  }
  const double narrow = bars.Narrow();
  if (!bars.Separate() || digits.size() < 3) {
    return false;
  }
  // Every space is narrow: about as wide as the others, never like a wide bar.
  std::vector<double> sorted = spaces;
  std::sort(sorted.begin(), sorted.end());
  const double median = sorted[sorted.size() / 2];
  if (sorted.back() > 1.7 * median || median < 0.35 * narrow || median > 1.6 * narrow) {
    return false;
  }
  if (run.digits == 0 && (!QuietBefore(run, first, twoOfFiveQuietNarrows * narrow, false) ||
                          !QuietAfter(run, read.last, twoOfFiveQuietNarrows * narrow, false))) {
    return false;
  }
  read.symbology = Symbology::TwoOfFive;
  read.text = std::move(digits);
  return true;
}

// Interleaved 2 of 5 on a label wrapped round a can shrinks up to fourfold towards its ends, so its
// widths are judged at the scale where they lie: the classes with each element scaled by its digit
// pair's width, the quiet zones against the start's and the stop's narrow elements. The pairs'
// widths must then change smoothly, which the classes no longer see.
bool DecodeInterleavedRun(const Run& run, int first, SymbolAt& read) {
  // Start: narrow bar, narrow space, narrow bar, narrow space.
  if (first + 4 + 10 + 3 > run.Count()) {
    return false;
  }
  std::string digits;
  struct Pair {
    unsigned barBits = 0, spaceBits = 0;
  };
  std::vector<Pair> pairs;
  std::vector<double> pairWidths;
  int k = first + 4;
  for (;;) {
    if (k + 3 > run.Count() || digits.size() > 80) {
      return false;
    }
    // Stop: wide bar, narrow space, narrow bar, then the quiet zone.
    if (run.digits > 0
            ? digits.size() == run.digits
            : digits.size() >= 2 && k + 3 < run.Count() &&
                  run.Width(k + 3) >= interleavedQuietNarrows * SumWidths(run, k + 1, 2) / 2) {
      read.last = k + 2;
      break;
    }
    if (k + 10 > run.Count()) {
      return false;
    }
    Pair pair;
    double narrowSum = 0;
    double wideSum = 0;
    if (!ClassifyGroup(run, k, 5, 2, 2, pair.barBits, narrowSum, wideSum) ||
        !ClassifyGroup(run, k + 1, 5, 2, 2, pair.spaceBits, narrowSum, wideSum)) {
      return false;
    }
    pairs.push_back(pair);
    pairWidths.push_back(SumWidths(run, k, 10));
    digits += static_cast<char>('0' + twoOfFiveByWideBits[pair.barBits]);
    digits += static_cast<char>('0' + twoOfFiveByWideBits[pair.spaceBits]);
    k += 10;
  }
  if (digits.size() < 4 || !ScaleChangesSmoothly(pairWidths)) {
    return false;
  }
  // Each pair's scale against the symbol's mean, from its whole width, which its edges' noise
  // moves far less than its narrow elements'.
  const double meanPairWidth = std::accumulate(pairWidths.begin(), pairWidths.end(), 0.0) /
                               static_cast<double>(pairWidths.size());
  WidthClasses bars;
  WidthClasses spaces;
  const auto add = [&run, meanPairWidth](WidthClasses& classes, int element, bool wide,
                                         double pairWidth) {
    classes.Add(run.Width(element) * meanPairWidth / pairWidth, wide);
  };
  for (int i = 0; i < 4; ++i) {
    add(i % 2 == 0 ? bars : spaces, first + i, false, pairWidths.front());
  }
  for (std::size_t p = 0; p < pairs.size(); ++p) {
    const int at = first + 4 + 10 * static_cast<int>(p);
    for (unsigned i = 0; i < 5; ++i) {
      add(bars, at + 2 * static_cast<int>(i), (pairs[p].barBits >> i & 1U) != 0, pairWidths[p]);
      add(spaces, at + 2 * static_cast<int>(i) + 1, (pairs[p].spaceBits >> i & 1U) != 0,
          pairWidths[p]);
    }
  }
  if (run.digits == 0) {
    add(bars, k, true, pairWidths.back());
    add(spaces, k + 1, false, pairWidths.back());
    add(bars, k + 2, false, pairWidths.back());
  }
  if (!bars.Separate() || !spaces.Separate()) {
    return false;
  }
  // The quiet zones against the narrow bars and spaces next to them, at the scale of the symbol's
  // ends (a bar's and a space's mean is free of ink spread); on a can the margin shrinks further.
  const double startNarrow = SumWidths(run, first, 4) / 4;
  const double stopNarrow = SumWidths(run, k + 1, 2) / 2;
  if (run.digits == 0 &&
      (!QuietBefore(run, first, interleavedQuietNarrows * startNarrow, false) ||
       !QuietAfter(run, read.last, interleavedQuietNarrows * stopNarrow, false))) {
    return false;
  }
  read.symbology = Symbology::InterleavedTwoOfFive;
  read.text = std::move(digits);
  return true;
}

// Whether light before the bar at first could be a quiet zone: every symbology wants five
// modules or narrows and more, and begins with elements of two modules or less on average (at
// most 1.75 for EAN, 2 for Code 128 and 2 of 5, 1.5 narrows for Code 39). On noise and inside
// symbols most bars fail this, which spares the decoders nine tries in ten. Ink beyond the light
// as wide as the next four elements may be the dark ground a tight label lies on, and a line's
// first bars may follow the picture's edge closely.
bool MayStartSymbol(const Run& run, int first) {
  if (first <= 2) {
    return true;
  }
  if (first + 4 > run.Count()) {
    return false;
  }
  const double next = SumWidths(run, first, 4);
  return run.Width(first - 1) >= 0.5 * next || run.Width(first - 2) >= next;
}

// Every decoder from the bar at first; the first that reads wins.
bool DecodeAt(const Run& run, int first, Symbology only, SymbolAt& read) {
  const auto wants = [only](Symbology symbology) {
    if (only == Symbology::None) {
      return true;
    }
    if (only == Symbology::UpcA) {
      return symbology == Symbology::Ean13;
    }
    if (only == Symbology::Ean128) {
      return symbology == Symbology::Code128;
    }
    return only == symbology;
  };
  if (wants(Symbology::Ean13)) {
    if (DecodeEan(run, first, 6, read)) {
      const SymbolRead classified = ClassifyRead(Symbology::Ean13, read.text);
      read.symbology = classified.symbology;
      read.text = classified.text;
      return true;
    }
  }
  return (wants(Symbology::Ean8) && DecodeEan(run, first, 4, read)) ||
         (wants(Symbology::Code128) && DecodeCode128Run(run, first, read)) ||
         (wants(Symbology::Code39) && DecodeCode39Run(run, first, read)) ||
         (wants(Symbology::InterleavedTwoOfFive) && DecodeInterleavedRun(run, first, read)) ||
         (wants(Symbology::TwoOfFive) && DecodeTwoOfFiveRun(run, first, read));
}

// ---------------------------------------------------------------------------------------------
// Reading lines

// One line's read of one symbol, in picture coordinates.
struct LineRead {
  Symbology symbology = Symbology::None;
  std::string text;
  Vec start;          // the first bar's leading edge on the line
  Vec end;            // the last bar's trailing edge
  int family = 0;     // lines of one family are parallel: one angle at one scale
  double offset = 0;  // the line's distance from the picture's centre, across it
  double contrast = 0;
  bool weakCheck = false;
  // Whether the read runs into its line's end before its first bar or after its last: the
  // picture's edge (or the end of the part of the line read), not an edge of the bar.
  bool startAtLineEnd = false;
  bool endAtLineEnd = false;
};

// The shortest symbol has twenty elements and more.
constexpr std::size_t fewestBoundaries = 20;

// Reads every symbol the line crosses, in both directions and both polarities, until enough
// returns true for a read; the profile holds the line's samples.
template <typename Enough>
void ReadSampled(const Plane& plane, const Line& line, Profile& profile, bool lightOnDark,
                 Symbology only, std::size_t digits, std::vector<LineRead>& reads,
                 const LineRead& stamp, Enough enough) {
  FindEdges(profile, fewestBoundaries);
  const std::vector<float>& at = profile.boundaries;
  if (at.size() < fewestBoundaries) {
    return;
  }
  const float length = at.back();
  Run run;
  run.digits = digits;
  run.at.swap(profile.runAt);
  run.widths.swap(profile.runWidths);
  const auto keep = [&run, &profile] {
    run.at.swap(profile.runAt);
    run.widths.swap(profile.runWidths);
  };
  for (int reversed = 0; reversed < 2; ++reversed) {
    run.at.resize(at.size());
    const int count = static_cast<int>(at.size()) - 1;
    for (std::size_t i = 0; i < at.size(); ++i) {
      run.at[i] = reversed != 0 ? length - at[at.size() - 1 - i] : at[i];
    }
    run.SetWidths();
    // The first element in reading order is dark when the line's first (or, reversed, its last)
    // element is.
    const bool lastDark = profile.firstDark == (count % 2 == 1);
    const bool firstDark = reversed != 0 ? lastDark : profile.firstDark;
    run.edgeBefore = reversed != 0 ? line.endsAtEdge : line.startsAtEdge;
    run.edgeAfter = reversed != 0 ? line.startsAtEdge : line.endsAtEdge;
    for (int polarity = 0; polarity < (lightOnDark ? 2 : 1); ++polarity) {
      run.firstBar = polarity == 0 ? firstDark : !firstDark;
      for (int first = run.firstBar ? 0 : 1; first < count; first += 2) {
        SymbolAt symbol;
        if ((digits == 0 && !MayStartSymbol(run, first)) || !DecodeAt(run, first, only, symbol)) {
          continue;
        }
        const double from = run.at[static_cast<std::size_t>(first)];
        const double to = run.at[static_cast<std::size_t>(symbol.last) + 1];
        const double t0 = reversed != 0 ? length - from : from;
        const double t1 = reversed != 0 ? length - to : to;
        LineRead read = stamp;
        read.symbology = symbol.symbology;
        read.text = std::move(symbol.text);
        read.weakCheck = symbol.weakCheck;
        read.startAtLineEnd = first == 0;
        read.endAtLineEnd = symbol.last + 1 == count;
        read.start = plane.scale * (line.origin + t0 * line.direction);
        read.end = plane.scale * (line.origin + t1 * line.direction);
        float low = 255;
        float high = 0;
        const auto lo = static_cast<std::size_t>(std::min(t0, t1));
        const auto hi = std::min(profile.grey.size(), static_cast<std::size_t>(std::max(t0, t1)));
        for (std::size_t i = lo; i < hi; ++i) {
          low = std::min(low, profile.grey[i]);
          high = std::max(high, profile.grey[i]);
        }
        read.contrast = high - low;
        reads.push_back(std::move(read));
        if (enough(reads.back())) {
          keep();
          return;
        }
        // Symbols end in a bar: the next try starts at the bar after the light that follows.
        first = symbol.last;
      }
    }
  }
  keep();
}

template <typename Enough>
void ReadLine(const Plane& plane, const Line& line, Profile& profile, bool lightOnDark,
              Symbology only, std::size_t digits, std::vector<LineRead>& reads,
              const LineRead& stamp, Enough enough) {
  SampleLine(plane, line, profile);
  ReadSampled(plane, line, profile, lightOnDark, only, digits, reads, stamp, enough);
}

constexpr int angleCount = 12;  // every 15 degrees

constexpr auto readsAll = [](const LineRead&) { return false; };
constexpr std::size_t maxReads = 20000;

// Light a line keeps beyond the last active cell it crosses, in plane pixels, besides the
// widening of the cells (a cell) and the map's stepping (up to another): on the picture, a quiet
// zone of nine narrow bars of nine pixels (six-pixel modules blurred and spread come to eight,
// and small pictures have no scaled copy to read them on).
constexpr double spanMargin = 64;

// The start of the block of samples, from the line's start, that holds t.
double BlockStart(double t) { return rangeBlock * std::floor(t / rangeBlock); }

// The part of the line from `from` to `to`, widened to whole blocks of samples from the line's
// start, so that its samples and local ranges are the whole line's.
Line PartOf(const Line& line, double from, double to) {
  const double start = BlockStart(from);
  const bool toEnd = to >= line.length - rangeBlock;
  Line part = line;
  part.origin = line.origin + start * line.direction;
  part.length = (toEnd ? line.length : rangeBlock * std::ceil(to / rangeBlock)) - start;
  part.startsAtEdge = start == 0;
  part.endsAtEdge = toEnd;
  return part;
}

// How often the grey turns by step, counted up to `enough`. The line's own extremes take steps
// never smaller, and between two of their turns this count turns at least once: it falls short of
// theirs by one at most.
std::size_t TurnsUpTo(const float* grey, int count, float step, std::size_t enough) {
  if (count <= 0) {
    return 0;
  }
  float extreme = grey[0];
  bool rising = true;
  std::size_t found = 0;
  // Most stretches of a few samples span less than the step together with the extreme: none of
  // them turns, and the extreme goes to the furthest of them. The others are gone through one by
  // one.
  constexpr int together = 8;
  int i = 1;
  while (i < count && found < enough) {
    if (i + together <= count) {
      float low = grey[i];
      float high = grey[i];
      for (int k = 1; k < together; ++k) {
        low = std::min(low, grey[i + k]);
        high = std::max(high, grey[i + k]);
      }
      if (rising ? std::max(extreme, high) - low < step : high - std::min(extreme, low) < step) {
        extreme = rising ? std::max(extreme, high) : std::min(extreme, low);
        i += together;
        continue;
      }
    }
    for (const int end = std::min(count, i + together); i < end; ++i) {
      const float g = grey[i];
      const float back = rising ? extreme - g : g - extreme;
      const bool turn = back >= step;
      extreme = (back < 0 || turn) ? g : extreme;
      rising = rising != turn;
      found += turn ? 1 : 0;
    }
  }
  return found;
}

// Reads the parts of the line near the cells the activity map counts for it, with the light
// beyond them that quiet zones need. Some such parts cross a few strokes or the end of a stripe,
// which turn the grey too seldom for a symbol within the cells themselves, where every symbol's
// elements lie: those samples are taken and their turns counted first, and the light beyond only
// where a symbol may lie.
void ReadActiveSpans(const Plane& plane, const Line& line, const ActivityMap& activity,
                     Profile& profile, bool lightOnDark, std::vector<LineRead>& reads,
                     const LineRead& stamp, std::vector<std::pair<double, double>>& spans) {
  activity.Spans(plane.scale * line.origin.x, plane.scale * line.origin.y,
                 plane.scale * line.direction.x, plane.scale * line.direction.y, line.length, 0,
                 spans);
  for (std::size_t first = 0; first < spans.size();) {
    // The spans whose margins meet make one part of the line.
    std::size_t last = first + 1;
    while (last < spans.size() && spans[last].first - spans[last - 1].second <= 2 * spanMargin) {
      ++last;
    }
    const double from = std::max(0.0, spans[first].first - spanMargin);
    const Line part =
        PartOf(line, from, std::min(line.length, spans[last - 1].second + spanMargin));
    const int count = static_cast<int>(part.length);
    profile.leastStep = plane.leastStep;
    profile.grey.resize(static_cast<std::size_t>(std::max(0, count)));
    float* grey = profile.grey.data();
    // Turns are counted over the part's spans together: a symbol of modules much wider than a
    // cell leaves quiet cells inside its widest elements, and so falls into several spans.
    // A line's boundaries are its extremes and one more.
    const std::size_t turnsNeeded = fewestBoundaries - 3;
    std::size_t turns = 0;
    // The samples of span k, cut to whole blocks: neighbouring spans may share one.
    const auto samplesOf = [&](std::size_t k) {
      const int begin = static_cast<int>(BlockStart(spans[k].first) - BlockStart(from));
      const int end = std::min(
          count, begin + static_cast<int>(PartOf(line, spans[k].first, spans[k].second).length));
      return std::pair{begin, end};
    };
    std::size_t sampled = first;
    for (; sampled < last && turns < turnsNeeded; ++sampled) {
      const auto [begin, end] = samplesOf(sampled);
      if (begin < end) {
        SampleSpan(plane, part, begin, end, grey);
        turns += TurnsUpTo(grey + begin, end - begin, plane.leastStep, turnsNeeded - turns);
      }
    }
    if (turns < turnsNeeded) {
      first = last;
      continue;
    }
    // The rest of the part: the light beyond, the gaps between spans, the spans not looked at.
    int done = 0;
    for (std::size_t k = first; k < sampled; ++k) {
      const auto [begin, end] = samplesOf(k);
      if (begin > done) {
        SampleSpan(plane, part, done, begin, grey);
      }
      done = std::max(done, end);
    }
    SampleSpan(plane, part, done, count, grey);
    ReadSampled(plane, part, profile, lightOnDark, Symbology::None, 0, reads, stamp, readsAll);
    first = last;
  }
}

// Plane pixels between oblique lines (rows and columns, twice as dense, take half of it). Closer
// lines lie closeStep apart, about as far as the first pass's on a photo of 640 x 480; first
// lines sparseSpacing apart and more get closer lines around their reads; maxSpacing is the most
// the first pass leaves between its lines.
constexpr double closeStep = 8;
constexpr double sparseSpacing = 2 * closeStep;
constexpr double maxSpacing = 64;

// The spacing of the oblique families' lines on a plane: a budget of samples shared by the
// angles, rows and columns (angles 0 and 90) taking lines twice as dense as the others. Lines
// sample only near active cells, so where the budget leaves lines sparse (large pictures), the
// gaps are cut into as many equal parts as the budget over the active cells alone allows, down to
// sparseSpacing: a label photographed on a plain desk then meets up to four times as many lines
// for no more samples than the budget, each line a busy picture gets is still laid, and a picture
// busy all over reads as before. Closer still, closer lines around reads take over.
// A scaled copy's lines lie closeStep apart at the closest, as the picture's do on a photo of
// 640 x 480, not two pixels as a small picture's may: a copy is there for symbols whose edges blur
// or noise hides on the picture, of modules two picture pixels wide and more, whose every sample
// on it averages four pixels. On photos of 640 x 480, copy lines as dense as a small picture's
// took a third of the reading time and read 2 symbols more in 10,000.
double PlaneSpacing(const Plane& plane, const RobustOptions& options) {
  const double area = static_cast<double>(plane.width) * plane.height;
  const double weight = angleCount + 2;
  const double spread = area * weight / static_cast<double>(std::max(1LL, options.samplesPerScale));
  const double spacing = std::clamp(spread, plane.scale > 1 ? closeStep : 2.0, maxSpacing);
  if (spacing <= sparseSpacing) {
    return spacing;
  }
  const double across = std::max(sparseSpacing, spread * plane.activeShare);
  return spacing / std::max(1.0, std::floor(spacing / across));
}

double FamilyStep(const Plane& plane, int angle, const RobustOptions& options) {
  const double spacing = PlaneSpacing(plane, options);
  return angle % (angleCount / 2) == 0 ? spacing / 2 : spacing;
}

Vec FamilyDirection(int angle) {
  const double radians = angle * std::numbers::pi / angleCount;
  return {std::cos(radians), std::sin(radians)};
}

// The family's line at offset d across the plane's centre; false where it misses the plane.
bool FamilyLine(const Plane& plane, int angle, double d, Line& line) {
  const Vec direction = FamilyDirection(angle);
  const Vec centre{plane.width / 2.0, plane.height / 2.0};
  const double reach = std::hypot(plane.width, plane.height);
  return ClipLine(centre + d * Up(direction), direction, -reach, reach, plane.width, plane.height,
                  line);
}

// The lines of one family of a plane; false once the picture holds more reads than any picture
// of symbols makes.
bool ScanFamily(const Plane& plane, int level, int angle, const RobustOptions& options,
                const ActivityMap& activity, Profile& profile, std::vector<LineRead>& reads,
                std::vector<std::pair<double, double>>& spans) {
  const double reach = std::hypot(plane.width, plane.height);
  const double step = FamilyStep(plane, angle, options);
  LineRead stamp;
  stamp.family = level * angleCount + angle;
  // Most lines meet no bars the activity map holds for them: they are not laid at all.
  const Vec direction = FamilyDirection(angle);
  std::vector<std::uint8_t> near(static_cast<std::size_t>(std::floor(reach / step)) + 1);
  activity.LinesNearBars(plane.scale * plane.width / 2.0, plane.scale * plane.height / 2.0,
                         direction.x, direction.y, -plane.scale * reach / 2, plane.scale * step,
                         near);
  std::size_t index = 0;
  for (double d = -reach / 2; d <= reach / 2; d += step, ++index) {
    Line line;
    if ((index < near.size() && near[index] == 0) || !FamilyLine(plane, angle, d, line)) {
      continue;
    }
    stamp.offset = d * plane.scale;
    ReadActiveSpans(plane, line, activity, profile, options.lightOnDark, reads, stamp, spans);
    if (reads.size() > maxReads) {
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Merging reads into barcodes

bool MustRepeat(Symbology symbology) {
  return symbology == Symbology::Code39 || symbology == Symbology::TwoOfFive ||
         symbology == Symbology::InterleavedTwoOfFive;
}

struct Group {
  std::vector<const LineRead*> reads;
  std::size_t digits = 0;  // another reader's 2 of 5 text found again: see Run::digits
  Vec middleSum;           // of the reads' middles
  Vec Middle() const { return (1.0 / reads.size()) * middleSum; }
  double Span() const { return Length(reads.front()->end - reads.front()->start); }
};

// Groups a picture may hold, and groups measured: each costs up to a few hundred lines, and a
// picture with more is noise or a sheet of labels beyond this engine's first version.
constexpr std::size_t maxGroups = 256;
constexpr std::size_t maxMeasured = 64;

// Whether reads of one text, of a symbol span long, come from enough parallel lines spread across
// the bars, whose ends line up across the bars. A line that enters a turned symbol across its long
// edge finds its start further along on each next line, at least as far as it moves across; a
// symbol's ends move by the bars' slant, a few tenths at most.
bool ReadsAgree(const std::vector<const LineRead*>& reads, double span) {
  const LineRead& any = *reads.front();
  const bool shortRead =
      any.weakCheck || (any.symbology != Symbology::Code39 && any.text.size() < 6);
  const std::size_t needed = any.symbology == Symbology::Code39 ? 2 : (shortRead ? 4 : 3);
  const double spreadNeeded = shortRead ? std::max(4.0, 0.15 * span) : 2.0;
  // The family with the most reads decides.
  std::vector<int> families;
  for (const LineRead* read : reads) {
    families.push_back(read->family);
  }
  std::sort(families.begin(), families.end());
  int bestFamily = families.front();
  std::size_t bestCount = 0;
  for (std::size_t i = 0; i < families.size();) {
    std::size_t j = i;
    while (j < families.size() && families[j] == families[i]) {
      ++j;
    }
    if (j - i > bestCount) {
      bestCount = j - i;
      bestFamily = families[i];
    }
    i = j;
  }
  if (bestCount < needed) {
    return false;
  }
  const LineRead* lowest = nullptr;
  const LineRead* highest = nullptr;
  for (const LineRead* read : reads) {
    if (read->family != bestFamily) {
      continue;
    }
    if (lowest == nullptr || read->offset < lowest->offset) {
      lowest = read;
    }
    if (highest == nullptr || read->offset > highest->offset) {
      highest = read;
    }
  }
  const double spread = highest->offset - lowest->offset;
  if (spread < spreadNeeded) {
    return false;
  }
  const Vec direction = (1.0 / Length(lowest->end - lowest->start)) * (lowest->end - lowest->start);
  const double startShift = std::abs(Dot(highest->start - lowest->start, direction));
  const double endShift = std::abs(Dot(highest->end - lowest->end, direction));
  return startShift <= 0.5 * spread + 1.5 && endShift <= 0.5 * spread + 1.5;
}

// Reads without a check character must agree on the first pass's lines. Code 128's weak checks
// are judged on the measuring lines instead (see Measured): they lie along the symbol's axis
// and close together, so a short symbol's few bars meet enough of them.
bool LinesAgree(const Group& group) {
  return !MustRepeat(group.reads.front()->symbology) || ReadsAgree(group.reads, group.Span());
}

std::vector<Group> GroupReads(std::span<const LineRead> reads) {
  std::vector<Group> groups;
  for (const LineRead& read : reads) {
    const Vec middle = 0.5 * (read.start + read.end);
    Group* home = nullptr;
    for (Group& group : groups) {
      const LineRead& first = *group.reads.front();
      if (first.symbology == read.symbology && first.text == read.text &&
          Length(group.Middle() - middle) < 0.5 * group.Span()) {
        home = &group;
        break;
      }
    }
    if (home == nullptr) {
      if (groups.size() >= maxGroups) {
        continue;
      }
      groups.emplace_back();
      home = &groups.back();
    }
    home->reads.push_back(&read);
    home->middleSum = home->middleSum + middle;
  }
  return groups;
}

// The place a group's barcode takes by its reads alone, in a barcode's corner order: the reads'
// extent along their axis, widened by alongMargin each way, and across it by acrossMargin (the
// symbol's length, where its bars may run on past the lines that read them).
std::array<RobustPoint, 4> ReadsPlace(const Group& group, double alongMargin, double acrossMargin) {
  Vec along;
  for (const LineRead* read : group.reads) {
    along = along + (read->end - read->start);
  }
  const Vec axis = (1.0 / Length(along)) * along;
  const Vec up = Up(axis);
  const Vec c = group.Middle();
  double from = 1e18, to = -1e18, top = -1e18, bottom = 1e18;
  for (const LineRead* read : group.reads) {
    for (const Vec p : {read->start, read->end}) {
      from = std::min(from, Dot(p - c, axis));
      to = std::max(to, Dot(p - c, axis));
      top = std::max(top, Dot(p - c, up));
      bottom = std::min(bottom, Dot(p - c, up));
    }
  }
  from -= alongMargin;
  to += alongMargin;
  top += acrossMargin;
  bottom -= acrossMargin;
  const auto point = [&](double s, double h) {
    const Vec p = c + s * axis + h * up;
    return RobustPoint{p.x, p.y};
  };
  return {point(from, top), point(to, top), point(to, bottom), point(from, bottom)};
}

ActivityMap::Quad QuadOf(const std::array<RobustPoint, 4>& corners) {
  ActivityMap::Quad quad;
  for (std::size_t k = 0; k < 4; ++k) {
    quad.x[k] = corners[k].x;
    quad.y[k] = corners[k].y;
  }
  return quad;
}

// A symbol with a check character that four lines of one family read alike, their ends lining up
// across its bars, is read firmly: the families and scales still to come would read it again, at
// about a hundred lines a symbol most of the first pass on a photo of one, and only add votes to
// a text its lines agree on. Its place is left out of the activity map for them: the reads' box
// along their direction, out past the last lines that read by a spacing of the plane's lines (the
// bars run on towards the next line, which did not read). A place where a line read another text
// stays open, so that every text on it is voted on as before; so does a place some other symbol
// reaches beyond: its cells beyond still start lines that take in its whole length. The votes of
// a text read firmly, and of any text near it, are cut short: see ReadPlanes.
constexpr std::size_t firmReads = 4;

struct Firm {
  ActivityMap::Quad place{};
  Symbology symbology = Symbology::None;
  std::string text;
};

// Whether point lies inside the convex quadrilateral, its corners either way round.
bool Holds(const ActivityMap::Quad& quad, Vec point) {
  int turns = 0;
  for (std::size_t e = 0; e < 4; ++e) {
    const std::size_t f = (e + 1) % 4;
    const double cross = (quad.x[f] - quad.x[e]) * (point.y - quad.y[e]) -
                         (quad.y[f] - quad.y[e]) * (point.x - quad.x[e]);
    turns += cross > 0 ? 1 : (cross < 0 ? -1 : 0);
  }
  return std::abs(turns) == 4;
}

// Whether the group's text was read firmly where it lies.
bool ReadFirmly(const Group& group, const std::vector<Firm>& firm) {
  const LineRead& any = *group.reads.front();
  return std::any_of(firm.begin(), firm.end(), [&](const Firm& symbol) {
    return symbol.symbology == any.symbology && symbol.text == any.text &&
           Holds(symbol.place, group.Middle());
  });
}

// Adds to firm the symbols the reads from `from` on (one family's) read firmly; whether any.
// spacing is the plane's, in picture pixels.
bool FindFirm(const std::vector<LineRead>& reads, std::size_t from, double spacing,
              std::vector<Firm>& firm) {
  bool any = false;
  for (const Group& group : GroupReads(std::span(reads).subspan(from))) {
    const LineRead& first = *group.reads.front();
    if (MustRepeat(first.symbology) || first.weakCheck || group.reads.size() < firmReads ||
        ReadFirmly(group, firm) || !ReadsAgree(group.reads, group.Span())) {
      continue;
    }
    // Another text's read whose middle lies within half the symbol's length of the reads' place.
    const double near = 0.5 * group.Span();
    const ActivityMap::Quad around = QuadOf(ReadsPlace(group, near, near));
    const auto other = [&](const LineRead& read) {
      return (read.symbology != first.symbology || read.text != first.text) &&
             Holds(around, 0.5 * (read.start + read.end));
    };
    if (std::any_of(reads.begin(), reads.end(), other)) {
      continue;
    }
    // Edges lie within a pixel or so of where the reads place them.
    Firm symbol;
    symbol.place = QuadOf(ReadsPlace(group, 2, spacing));
    symbol.symbology = first.symbology;
    symbol.text = first.text;
    firm.push_back(std::move(symbol));
    any = true;
  }
  return any;
}

// Where the first pass's lines lie far apart (large pictures share its budget over more pixels),
// a short symbol gets a line or two of a family, and a symbol that must repeat cannot. Around each
// read of such a symbol, the gaps to the family's next lines are filled with lines about as close
// as those the first pass lays across a whole photo of 640 x 480: a read that is no symbol finds
// no more lines to agree with than it would on such a photo. Each added line is laid once, over
// the part where the reads lie and their light beyond.
constexpr std::size_t maxCloserGroups = 32;

// Into how many parts closer lines cut a gap between a family's first lines, the same for every
// family of the plane; 1 where they lie close enough.
long long CloserParts(const Plane& plane, const RobustOptions& options) {
  const double spacing = PlaneSpacing(plane, options);
  return spacing >= sparseSpacing ? static_cast<long long>(std::ceil(spacing / closeStep)) : 1;
}

void LayCloserLines(const std::vector<Plane>& planes, const RobustOptions& options,
                    const std::vector<Group>& groups, Profile& profile,
                    std::vector<LineRead>& reads) {
  // Per closer line (family, index counted in parts of the gaps): the extent of the reads along
  // it, as distances along the family's direction on its plane.
  std::map<std::pair<int, long long>, std::pair<double, double>> lines;
  std::size_t laidFor = 0;
  for (const Group& group : groups) {
    if (laidFor >= maxCloserGroups || LinesAgree(group)) {
      continue;
    }
    bool any = false;
    for (const LineRead* read : group.reads) {
      const int angle = read->family % angleCount;
      const Plane& plane = planes[static_cast<std::size_t>(read->family / angleCount)];
      const long long parts = CloserParts(plane, options);
      if (parts == 1) {
        continue;
      }
      any = true;
      const double reach = std::hypot(plane.width, plane.height);
      const double step = FamilyStep(plane, angle, options);
      const auto index = std::llround((read->offset / plane.scale + reach / 2) / step);
      const Vec direction = FamilyDirection(angle);
      const double a = Dot((1 / plane.scale) * read->start, direction);
      const double b = Dot((1 / plane.scale) * read->end, direction);
      for (long long k = (index - 1) * parts + 1; k < (index + 1) * parts; ++k) {
        if (k % parts == 0) {
          continue;  // the first pass's own line
        }
        auto& extent = lines.try_emplace({read->family, k}, a, b).first->second;
        extent.first = std::min({extent.first, a, b});
        extent.second = std::max({extent.second, a, b});
      }
    }
    laidFor += any ? 1 : 0;
  }
  // Never more samples than the first pass takes on a plane, whatever a picture's reads ask.
  long long sampled = 0;
  for (const auto& [key, extent] : lines) {
    const int angle = key.first % angleCount;
    const Plane& plane = planes[static_cast<std::size_t>(key.first / angleCount)];
    const double reach = std::hypot(plane.width, plane.height);
    const double d = -reach / 2 + static_cast<double>(key.second) *
                                      FamilyStep(plane, angle, options) /
                                      static_cast<double>(CloserParts(plane, options));
    Line line;
    if (!FamilyLine(plane, angle, d, line)) {
      continue;
    }
    const double origin = Dot(line.origin, line.direction);
    const double margin = spanMargin + 0.5 * (extent.second - extent.first);
    const double from = std::clamp(extent.first - origin - margin, 0.0, line.length);
    const double to = std::clamp(extent.second - origin + margin, 0.0, line.length);
    if (to - from < 8) {
      continue;
    }
    LineRead stamp;
    stamp.family = key.first;
    stamp.offset = d * plane.scale;
    const Line part = PartOf(line, from, to);
    sampled += static_cast<long long>(part.length);
    ReadLine(plane, part, profile, options.lightOnDark, Symbology::None, 0, reads, stamp, readsAll);
    if (reads.size() > maxReads || sampled > options.samplesPerScale) {
      return;
    }
  }
}

// The measurement pass: lines along the symbol's axis every half plane pixel across it.
struct Measure {
  Vec axis;    // reading direction, unit
  Vec centre;  // picture coordinates
  double half = 0;
  double step = 0;  // between the lines, picture pixels
  bool onPixelCentres = true;
  bool moved = false;  // whether a line was moved onto pixel centres
  std::vector<LineRead> reads;
};

// Lines the measurement lays across one symbol: enough to fit its bars' direction to a tenth of
// a degree; BarEnd finds the bars' ends between them. Where fewer than fewMeasured of them read
// (hard pictures, where few lines read at all), denseMeasureLines, half a pixel apart at the
// closest: a symbol that no measuring line reads is dropped.
constexpr double measureLines = 64;
constexpr double denseMeasureLines = 480;
constexpr std::size_t fewMeasured = 8;

void MeasureAcross(const Plane& plane, const Group& group, const RobustOptions& options,
                   double lines, Profile& profile, Measure& measure) {
  const LineRead& any = *group.reads.front();
  const Vec axis = measure.axis;
  const Vec up = Up(axis);
  double low = 1e9;
  double high = -1e9;
  for (const LineRead* read : group.reads) {
    const double h = Dot(0.5 * (read->start + read->end) - measure.centre, up);
    low = std::min(low, h);
    high = std::max(high, h);
  }
  const double span = group.Span();
  // Out past where the first pass's lines stopped reading: their spacing grows with the picture.
  const double margin = 0.3 * span + 4 * plane.scale;
  low -= margin;
  high += margin;
  const double step = std::max(0.5 * plane.scale, (high - low) / lines);
  measure.step = step;
  measure.reads.clear();
  // The symbol and as much again, for its quiet zones.
  const double reach = (span + 20 * plane.scale) / plane.scale;
  std::vector<LineRead> found;
  const auto readAt = [&](double h) {
    const Vec through = (1.0 / plane.scale) * (measure.centre + h * up);
    Line line;
    if (!ClipLine(through, axis, -reach, reach, plane.width, plane.height, line)) {
      return false;
    }
    if (measure.onPixelCentres && SamplePixelCentres(line)) {
      measure.moved = true;
    }
    LineRead stamp;
    stamp.offset = h;
    found.clear();
    // The first read of the symbol is the one taken: the line is read no further.
    const auto symbolRead = [&](const LineRead& read) {
      return read.text == any.text && read.symbology == any.symbology &&
             Length(0.5 * (read.start + read.end) - (measure.centre + h * up)) < 0.5 * span;
    };
    ReadLine(plane, line, profile, options.lightOnDark, any.symbology, group.digits, found, stamp,
             symbolRead);
    if (found.empty() || !symbolRead(found.back())) {
      return false;
    }
    measure.reads.push_back(std::move(found.back()));
    return true;
  };
  bool lowestRead = false;
  bool highestRead = false;
  double h = low;
  for (; h <= high; h += step) {
    highestRead = readAt(h);
    lowestRead = lowestRead || (h == low && highestRead);
  }
  // Bars taller than the symbol is long may reach past the lines of the first pass that read
  // them together (a group is what lies within half a symbol's length): while the outermost
  // line still reads, go on, as far again at most.
  for (int i = 0; highestRead && i < lines; ++i, h += step) {
    highestRead = readAt(h);
  }
  for (int i = 1; lowestRead && i <= lines; ++i) {
    lowestRead = readAt(low - i * step);
  }
  // A known text read without its quiet zones may also be spelt, longer, by lines that graze the
  // bars' ends: only reads about as long as most are the symbol's.
  if (group.digits > 0 && !measure.reads.empty()) {
    std::vector<double> lengths;
    for (const LineRead& read : measure.reads) {
      lengths.push_back(Length(read.end - read.start));
    }
    std::nth_element(lengths.begin(),
                     lengths.begin() + static_cast<std::ptrdiff_t>(lengths.size() / 2),
                     lengths.end());
    const double typical = lengths[lengths.size() / 2];
    std::erase_if(measure.reads, [typical](const LineRead& read) {
      return std::abs(Length(read.end - read.start) - typical) > 0.05 * typical;
    });
  }
}

// The bar direction from the first and last bars' edges across the lines: the principal
// direction of both sets of points about their own centres. A read that runs into its line's end
// (the picture's edge cutting a symbol, or the end of a part of a line) has no edge there: that
// point lies on the picture's edge, which may run any way, and is left out. Light across a
// symbol that cuts a piece of it short (a bright spot's round edge) bends that end, while a
// symbol's first and last bars stay straight: where one end strays from its line by over a pixel
// and three times the other, the other alone gives the direction. Reads by value or by pointer.
const LineRead& ReadOf(const LineRead& read) { return read; }
const LineRead& ReadOf(const LineRead* read) { return *read; }

// Whether a read's start and end ([0], [1]) are edges of bars.
std::array<bool, 2> BarEdges(const LineRead& read) {
  return {!read.startAtLineEnd, !read.endAtLineEnd};
}

template <typename Reads>
bool FitBars(const Reads& reads, Vec& bars) {
  // Per end ([0] the starts, [1] the ends): its points' count, mean and sums of squares about it.
  std::array<double, 2> count{};
  std::array<Vec, 2> mean;
  for (const auto& each : reads) {
    const LineRead& read = ReadOf(each);
    const std::array<bool, 2> edge = BarEdges(read);
    const std::array<Vec, 2> p = {read.start, read.end};
    for (std::size_t e = 0; e < 2; ++e) {
      if (edge[e]) {
        ++count[e];
        mean[e] = mean[e] + p[e];
      }
    }
  }
  if (count[0] + count[1] < 3) {
    return false;
  }
  std::array<double, 2> xx{}, xy{}, yy{};
  for (std::size_t e = 0; e < 2; ++e) {
    mean[e] = count[e] > 0 ? (1.0 / count[e]) * mean[e] : mean[e];
  }
  for (const auto& each : reads) {
    const LineRead& read = ReadOf(each);
    const std::array<bool, 2> edge = BarEdges(read);
    const std::array<Vec, 2> p = {read.start - mean[0], read.end - mean[1]};
    for (std::size_t e = 0; e < 2; ++e) {
      if (edge[e]) {
        xx[e] += p[e].x * p[e].x;
        xy[e] += p[e].x * p[e].y;
        yy[e] += p[e].y * p[e].y;
      }
    }
  }
  // The mean square distance of an end's points from its own line: the smaller eigenvalue.
  std::array<double, 2> stray{};
  for (std::size_t e = 0; e < 2; ++e) {
    const double half = 0.5 * (xx[e] + yy[e]);
    const double spread = std::hypot(0.5 * (xx[e] - yy[e]), xy[e]);
    stray[e] = count[e] > 0 ? (half - spread) / count[e] : 0;
  }
  double sxx = xx[0] + xx[1];
  double sxy = xy[0] + xy[1];
  double syy = yy[0] + yy[1];
  for (std::size_t e = 0; e < 2; ++e) {
    const double other = stray[1 - e];
    if (count[1 - e] >= 2 && stray[e] > 1.0 && stray[e] > 9 * other) {
      sxx = xx[1 - e];
      sxy = xy[1 - e];
      syy = yy[1 - e];
    }
  }
  const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
  bars = {std::cos(angle), std::sin(angle)};
  return sxx + syy > 4;
}

// The grey range across the bars of the line at h (picture pixels, across the symbol) from from
// to to along its axis, sampled a plane pixel apart into grey.
double ContrastAt(const Plane& plane, Vec centre, Vec axis, double h, double from, double to,
                  std::vector<float>& grey) {
  const int count = static_cast<int>(std::floor((to - from) / plane.scale)) + 1;
  if (count <= 0) {
    return 0;
  }
  Line line;
  line.origin = (1.0 / plane.scale) * (centre + from * axis + h * Up(axis)) - 0.5 * axis;
  line.direction = axis;
  grey.resize(static_cast<std::size_t>(count));
  SampleSpan(plane, line, 0, count, grey.data());
  const auto [low, high] = std::minmax_element(grey.begin(), grey.end());
  return *high - *low;
}

// Where the bars end beyond the last line that read at h, towards side (+1 the top, -1 the
// bottom): where the contrast across the bars falls to half the middle's, between the quarter
// pixel steps either side, searched as far as reach (picture pixels). The search strides a pixel
// at a time while the contrast holds, then goes back over that pixel by quarters: bars end within
// a pixel or two of blur, and a contrast that dips below half and comes back within one pixel is
// noise.
double BarEnd(const Plane& plane, Vec centre, Vec axis, double h, int side, double from, double to,
              double middle, double reach) {
  const double half = 0.5 * middle;
  const double quarter = side * 0.25 * plane.scale;
  const int steps = static_cast<int>(reach / (0.25 * plane.scale));
  std::vector<float> grey;
  double previous = ContrastAt(plane, centre, axis, h, from, to, grey);
  if (previous < half) {
    return h;
  }
  int i = 0;
  for (; i + 4 <= steps; i += 4) {
    const double contrast = ContrastAt(plane, centre, axis, h + 4 * quarter, from, to, grey);
    if (contrast < half) {
      break;
    }
    previous = contrast;
    h += 4 * quarter;
  }
  for (; i < steps; ++i) {
    const double next = h + quarter;
    const double contrast = ContrastAt(plane, centre, axis, next, from, to, grey);
    if (contrast < half) {
      return h + quarter * (previous - half) / (previous - contrast);
    }
    previous = contrast;
    h = next;
  }
  return h;
}

// A symbol's element widths on one of its lines, in picture pixels, and its grey steps.
struct ElementWidths {
  bool known = false;
  double narrowest = 0;
  double widest = 0;
  double narrow = 0;  // the median
  double step = 0;    // the median grey step between neighbouring elements' extremes
};

// The middles, along the axis, of the bars like the symbol's beyond its end ([0]) and before its
// start ([1]) on the line at h across it, past the light taken for a quiet zone and within
// the symbol's length (at least twenty pixels) of its end: bars in runs of at least three bars
// and the spaces between them, each no narrower than half the symbol's narrowest element and no
// wider than half as much again as its widest, each stepping from the one before by at least 0.3
// of the symbol's typical step (a paler print beside it does not; a rest the light's edge fades
// still does), and where mixed, with narrow and wide ones among them (a ground's stripes and
// checks have one width). The widths and step are the symbol's on this line unless known already;
// own is set to the middles of the symbol's own bars on it. from and to are the symbol's ends
// along axis, from centre, in picture pixels.
std::array<std::vector<double>, 2> LikeBarsBeyond(const Plane& plane, Vec centre, Vec axis,
                                                  double h, double from, double to, bool mixed,
                                                  Profile& profile, ElementWidths& widths,
                                                  std::vector<double>& own) {
  std::array<std::vector<double>, 2> middles;
  const double length = to - from;
  const double reach = std::max(length, 20.0 * plane.scale);
  const Vec start = (1.0 / plane.scale) * (centre + (from - reach) * axis + h * Up(axis));
  Line line;
  if (!ClipLine(start, axis, 0, (length + 2 * reach) / plane.scale, plane.width, plane.height,
                line)) {
    return middles;
  }
  SamplePixelCentres(line);
  SampleLine(plane, line, profile);
  FindEdges(profile, 0);
  const std::vector<float>& at = profile.boundaries;
  if (at.size() < 3) {
    return middles;
  }
  // Element k lies between boundaries k and k + 1 and holds extreme k; places along the axis
  // from centre, in picture pixels.
  const double offset = Dot(plane.scale * line.origin - centre, axis);
  const auto place = [&](std::size_t k) { return offset + plane.scale * at[k]; };
  const std::size_t elements = at.size() - 1;
  const auto extreme = [&](std::size_t k) {
    return static_cast<double>(profile.grey[static_cast<std::size_t>(profile.extremes[k])]);
  };
  own.clear();
  for (std::size_t k = 0; k < elements; ++k) {
    if (place(k) >= from && place(k + 1) <= to && (k % 2 == 0) == profile.firstDark) {
      own.push_back(0.5 * (place(k) + place(k + 1)));
    }
  }
  if (!widths.known) {
    std::vector<double> within;
    for (std::size_t k = 0; k < elements; ++k) {
      if (place(k) >= from - 0.5 * plane.scale && place(k + 1) <= to + 0.5 * plane.scale) {
        within.push_back(place(k + 1) - place(k));
      }
    }
    if (within.size() < 4) {
      return middles;
    }
    widths.known = true;
    widths.narrowest = *std::min_element(within.begin(), within.end());
    widths.widest = *std::max_element(within.begin(), within.end());
    // Most of a 2 of 5 symbol's elements are narrow.
    std::nth_element(within.begin(),
                     within.begin() + static_cast<std::ptrdiff_t>(within.size() / 2), within.end());
    widths.narrow = within[within.size() / 2];
    std::vector<double> steps;
    for (std::size_t k = 1; k < elements; ++k) {
      if (place(k - 1) >= from - 0.5 * plane.scale && place(k + 1) <= to + 0.5 * plane.scale) {
        steps.push_back(std::abs(extreme(k) - extreme(k - 1)));
      }
    }
    std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2),
                     steps.end());
    widths.step = steps.empty() ? 0 : steps[steps.size() / 2];
  }
  const double narrowest = widths.narrowest;
  const double widest = widths.widest;
  const double narrow = widths.narrow;
  for (const int side : {1, -1}) {
    std::vector<double>& found = middles[side > 0 ? 0 : 1];
    // Outwards from the end: the first element past it is the light taken for a quiet zone.
    std::vector<std::size_t> outward;
    for (std::size_t n = 0; n < elements; ++n) {
      const std::size_t k = side > 0 ? n : elements - 1 - n;
      if (side > 0 ? place(k) >= to - 0.5 * plane.scale
                   : place(k + 1) <= from + 0.5 * plane.scale) {
        outward.push_back(k);
      }
    }
    std::vector<double> run;  // the middles of the bars in the current run
    int like = 0;
    bool hasNarrow = false;
    bool hasWide = false;
    double travelled = 0;
    for (std::size_t n = 1; n < outward.size() && travelled < reach; ++n) {
      const std::size_t k = outward[n];
      const double width = place(k + 1) - place(k);
      travelled += width;
      const bool dark = (k % 2 == 0) == profile.firstDark;
      // The line's first and last elements run into its ends, and measure nothing.
      if (k > 0 && k + 1 < elements && width >= 0.5 * narrowest && width <= 1.5 * widest &&
          std::abs(extreme(k) - extreme(k - 1)) >= 0.3 * widths.step) {
        ++like;
        hasNarrow = hasNarrow || width <= 1.3 * narrow;
        hasWide = hasWide || width >= 1.7 * narrow;
        if (dark) {
          run.push_back(0.5 * (place(k) + place(k + 1)));
        }
      } else {
        like = 0;
        hasNarrow = hasWide = false;
        run.clear();
      }
      if (like >= 6 && ((hasNarrow && hasWide) || !mixed)) {
        found.insert(found.end(), run.begin(), run.end());
        run.clear();
      }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
  }
  return middles;
}

// The two 2 of 5 codes have no check character, and their data can spell a stop: light across a
// symbol (a fold, a faded or washed-out band, a sticker, a bright spot) ends a piece of it that
// passes for a whole symbol. Such a piece's own bars go on beyond the light: bars like its own
// (LikeBarsBeyond) on three lines across its bars, straight across them, and ending where its
// bars end. A ground's stripes or checks run on past the symbol's bars, other bars beside it
// rarely line up with them so, and text and noise do not line up at all. goesOn is set to where
// the bars go on.
bool PieceOfLongerSymbol(const Plane& plane, const RobustBarcode& barcode, Profile& profile,
                         Vec& goesOn) {
  // The symbol's axes from its corners (first bar's top, last bar's top, last bar's bottom).
  const std::array<RobustPoint, 4>& c = barcode.corners;
  const Vec first{c[0].x, c[0].y};
  const Vec last{c[1].x, c[1].y};
  const Vec lastBottom{c[2].x, c[2].y};
  if (Length(last - first) <= 0) {
    return false;
  }
  const Vec axis = (1.0 / Length(last - first)) * (last - first);
  const Vec centre = 0.5 * (first + lastBottom);
  const double from = Dot(first - centre, axis);
  const double to = Dot(last - centre, axis);
  const double top = Dot(last - centre, Up(axis));
  const double bottom = Dot(lastBottom - centre, Up(axis));
  if (top - bottom <= 0) {
    return false;
  }
  const double apart = 0.3 * (top - bottom);
  const double largestShift = apart * std::tan(10 * std::numbers::pi / 180);
  // Each line is read once for both ends: beyondEnd[end][line].
  std::array<std::array<std::vector<double>, 3>, 2> beyondEnd;
  std::array<ElementWidths, 3> widths{};
  std::array<std::vector<double>, 3> own;
  for (std::size_t i = 0; i < 3; ++i) {
    std::array<std::vector<double>, 2> line = LikeBarsBeyond(
        plane, centre, axis, bottom + apart * (1 + static_cast<double>(i)) - 0.1 * (top - bottom),
        from, to, true, profile, widths[i], own[i]);
    beyondEnd[0][i] = std::move(line[0]);
    beyondEnd[1][i] = std::move(line[1]);
  }
  // Just beyond the bars' ends, read when some end needs them.
  const double margin = 3 * widths[1].narrow + 2 * plane.scale;
  const std::array<double, 2> outside = {top + margin, bottom - margin};
  std::array<std::array<std::vector<double>, 2>, 2> outsideLines;
  std::array<std::vector<double>, 2> ownOutside;
  bool outsideRead = false;
  const double near = 0.5 * std::max(widths[1].narrowest, plane.scale);
  const auto onLine = [&near](const std::vector<double>& line, double at) {
    const auto it = std::lower_bound(line.begin(), line.end(), at - near);
    return it != line.end() && *it <= at + near;
  };
  for (const std::size_t end : {std::size_t{0}, std::size_t{1}}) {
    const std::array<std::vector<double>, 3>& beyond = beyondEnd[end];
    // The shift between neighbouring lines that lines up the most bars.
    std::vector<double> best;
    double bestShift = 0;
    for (const double first : beyond[1]) {
      for (const double other : beyond[0]) {
        const double shift = first - other;
        if (std::abs(shift) > largestShift) {
          continue;
        }
        std::vector<double> lined;
        for (const double middle : beyond[1]) {
          if (onLine(beyond[0], middle - shift) && onLine(beyond[2], middle + shift)) {
            lined.push_back(middle);
          }
        }
        if (lined.size() > best.size()) {
          best = std::move(lined);
          bestShift = shift;
        }
      }
    }
    if (best.size() < 3) {
      continue;
    }
    // Just beyond the symbol's bars' ends, those bars must end too, unless its own go on there
    // (light across the symbol cut the lines that read it short of its bars' ends).
    if (!outsideRead) {
      for (std::size_t o = 0; o < 2; ++o) {
        ElementWidths theSymbols = widths[1];
        outsideLines[o] = LikeBarsBeyond(plane, centre, axis, outside[o], from, to, false, profile,
                                         theSymbols, ownOutside[o]);
      }
      outsideRead = true;
    }
    bool endsWithIt = true;
    for (std::size_t o = 0; o < 2; ++o) {
      const double h = outside[o];
      const std::vector<double>& there = outsideLines[o][end];
      const std::vector<double>& ownThere = ownOutside[o];
      const double shift = bestShift * (h - (bottom + 0.5 * (top - bottom))) / apart;
      std::size_t lined = 0;
      for (const double middle : best) {
        lined += onLine(there, middle + shift) ? 1 : 0;
      }
      std::size_t ownLined = 0;
      for (const double middle : own[1]) {
        ownLined += onLine(ownThere, middle + shift) ? 1 : 0;
      }
      endsWithIt = endsWithIt && (2 * lined < best.size() || 2 * ownLined >= own[1].size());
    }
    if (endsWithIt) {
      goesOn = centre + best[best.size() / 2] * axis + (0.5 * (top + bottom)) * Up(axis);
      return true;
    }
  }
  return false;
}

bool Measured(const std::vector<Plane>& planes, const Group& group, const RobustOptions& options,
              Profile& profile, RobustBarcode& barcode, bool readFirmly = false) {
  const LineRead& any = *group.reads.front();
  // Measured on the picture itself, which places edges best; failing that, on the scale that
  // read it most (noise may hide it on the picture). A symbol the picture's lines read firmly was
  // left out of the scaled copies: failing the picture, on the first copy.
  std::array<int, 3> perLevel{};
  for (const LineRead* read : group.reads) {
    ++perLevel[static_cast<std::size_t>(read->family / angleCount)];
  }
  auto level = static_cast<std::size_t>(std::max_element(perLevel.begin(), perLevel.end()) -
                                        perLevel.begin());
  if (readFirmly && level == 0) {
    level = 1;
  }
  Measure measure;
  Vec along;
  for (const LineRead* read : group.reads) {
    along = along + (read->end - read->start);
  }
  // Where the measuring lines start from: the reads' lines lie at the families' angles, up to the
  // activity map's reading turn from the symbol's axis, but their starts and ends lie on its first
  // and last bars. The bars fitted to them give an axis close enough that one round of measuring
  // lines mostly settles it, where the families' axis took two. Where the picture's edge leaves a
  // turned symbol only a narrow band that lines cross end to end, that fit may miss by a degree or
  // two, enough that no line along it crosses the symbol: the families' axis, along which lines did
  // read it, is tried next. A fit further off than the families themselves is not taken.
  std::vector<Vec> starts = {(1.0 / Length(along)) * along};
  Vec fitted;
  if (FitBars(group.reads, fitted)) {
    Vec axis = Up(fitted);
    if (Dot(axis, starts.front()) < 0) {
      axis = -1.0 * axis;
    }
    if (Dot(axis, starts.front()) > std::cos(ActivityMap::readingTurn * std::numbers::pi / 180)) {
      starts.insert(starts.begin(), axis);
    }
  }
  measure.centre = group.Middle();
  const Plane* plane = &planes.front();
  // Rounds of measuring lines from `from`, each along the axis the one before fitted. What a
  // round measured stands where the next one's lines, along its fit, read nothing (the narrow
  // band again).
  const auto measureFrom = [&](Vec from) {
    measure.axis = from;
    plane = &planes.front();
    Measure before;
    const Plane* beforePlane = plane;
    for (int round = 0; round < 2; ++round) {
      // Under heavy noise a few of the picture's lines may read a symbol that the scale's lines,
      // where the noise averages out, read well: that scale is tried before lines as dense as
      // the picture's pixels, and where neither reads enough, both are, and the more reads stand.
      const Plane* scaled = &planes[std::min(level, planes.size() - 1)];
      MeasureAcross(*plane, group, options, measureLines, profile, measure);
      if (measure.reads.size() < fewMeasured && plane != scaled) {
        Measure onPicture = measure;
        plane = scaled;
        MeasureAcross(*plane, group, options, measureLines, profile, measure);
        if (measure.reads.size() < fewMeasured) {
          Measure onScale = std::move(measure);
          measure = std::move(onPicture);
          plane = &planes.front();
          MeasureAcross(*plane, group, options, denseMeasureLines, profile, measure);
          if (measure.reads.size() < fewMeasured) {
            onPicture = std::move(measure);
            measure = std::move(onScale);
            plane = scaled;
            MeasureAcross(*plane, group, options, denseMeasureLines, profile, measure);
            if (measure.reads.size() < onPicture.reads.size()) {
              measure = std::move(onPicture);
              plane = &planes.front();
            }
          }
        }
      } else if (measure.reads.size() < fewMeasured) {
        MeasureAcross(*plane, group, options, denseMeasureLines, profile, measure);
      }
      if (round > 0 && measure.reads.empty()) {
        measure = std::move(before);
        plane = beforePlane;
        return;
      }
      Vec bars;
      if (!FitBars(measure.reads, bars)) {
        return;
      }
      Vec axis = Up(bars);
      if (Dot(axis, measure.axis) < 0) {
        axis = -1.0 * axis;
      }
      const bool settled = Dot(axis, measure.axis) > std::cos(0.2 * std::numbers::pi / 180);
      measure.axis = axis;
      if (settled) {
        return;
      }
      before = measure;
      beforePlane = plane;
    }
  };
  // Lines on pixel centres read symbols a pixel a module; on a marginal symbol (noise, blur, a
  // pixel and a bit a module) the shift may lose what the reading lines, laid from their own
  // start, read: those are tried where no shifted line reads. Where no line moved (oblique
  // symbols), they would be the same lines.
  for (const bool onPixelCentres : {true, false}) {
    if (!measure.reads.empty() || (!onPixelCentres && !measure.moved)) {
      break;
    }
    measure.onPixelCentres = onPixelCentres;
    for (const Vec from : starts) {
      if (measure.reads.empty()) {
        measureFrom(from);
      }
    }
  }
  if (measure.reads.empty()) {
    return false;
  }
  // A line that enters a Code 128 symbol across its long edge takes the light beyond the bars for
  // a quiet zone and may spell a start from real characters' elements; with a module allowed to
  // drift from character to character, its check passes one time in 103. Each parallel line
  // enters at another bar, so such pieces have no parallel reads whose ends line up.
  if (any.weakCheck || any.symbology == Symbology::Code128 || any.symbology == Symbology::Ean128) {
    std::vector<const LineRead*> lines;
    for (const LineRead& read : measure.reads) {
      lines.push_back(&read);
    }
    if (!ReadsAgree(lines, group.Span())) {
      return false;
    }
  }
  // Lines count as on the bars where their contrast is at least half the middle's.
  std::vector<double> contrasts;
  for (const LineRead& read : measure.reads) {
    contrasts.push_back(read.contrast);
  }
  std::sort(contrasts.begin(), contrasts.end());
  const double middle = contrasts[contrasts.size() / 2];
  const Vec axis = measure.axis;
  const Vec up = Up(axis);
  double top = -1e9;
  double bottom = 1e9;
  double from = 0;
  double to = 0;
  int counted = 0;
  for (const LineRead& read : measure.reads) {
    if (read.contrast < 0.5 * middle) {
      continue;
    }
    const double h = Dot(0.5 * (read.start + read.end) - measure.centre, up);
    top = std::max(top, h);
    bottom = std::min(bottom, h);
    from += Dot(read.start - measure.centre, axis);
    to += Dot(read.end - measure.centre, axis);
    ++counted;
  }
  from /= counted;
  to /= counted;
  // The search reaches the next line, which read nothing, and six pixels further: lines that
  // still read there only tell the end to a pixel. Below EAN and UPC bars, their digits stand
  // between the guard bars, whose contrast holds past the other bars' end: those end before the
  // next line, and halfway to it the search stops.
  const bool digitsBelow = any.symbology == Symbology::Ean13 || any.symbology == Symbology::UpcA ||
                           any.symbology == Symbology::Ean8;
  top = BarEnd(*plane, measure.centre, axis, top, 1, from, to, middle,
               measure.step + 6 * plane->scale);
  bottom = BarEnd(*plane, measure.centre, axis, bottom, -1, from, to, middle,
                  digitsBelow ? 0.5 * measure.step : measure.step + 6 * plane->scale);
  const Vec c = measure.centre;
  barcode.symbology = any.symbology;
  barcode.text = any.text;
  barcode.corners = {
      RobustPoint{(c + from * axis + top * up).x, (c + from * axis + top * up).y},
      RobustPoint{(c + to * axis + top * up).x, (c + to * axis + top * up).y},
      RobustPoint{(c + to * axis + bottom * up).x, (c + to * axis + bottom * up).y},
      RobustPoint{(c + from * axis + bottom * up).x, (c + from * axis + bottom * up).y}};
  double degrees = std::atan2(axis.y, axis.x) * 180 / std::numbers::pi;
  if (degrees < 0) {
    degrees += 360;
  }
  barcode.angle = degrees >= 360 ? 0 : degrees;
  return true;
}

// The lowest and highest of a barcode's corners projected on direction.
std::pair<double, double> Extent(const RobustBarcode& barcode, Vec direction) {
  double low = 1e18, high = -1e18;
  for (const RobustPoint corner : barcode.corners) {
    const double v = Dot(Vec{corner.x, corner.y}, direction);
    low = std::min(low, v);
    high = std::max(high, v);
  }
  return {low, high};
}

// Whether two barcodes' quadrilaterals overlap: no edge direction of either separates them.
bool Overlap(const RobustBarcode& a, const RobustBarcode& b) {
  for (const RobustBarcode* shape : {&a, &b}) {
    for (std::size_t i = 0; i < 4; ++i) {
      const RobustPoint p = shape->corners[i];
      const RobustPoint q = shape->corners[(i + 1) % 4];
      const Vec normal{q.y - p.y, p.x - q.x};
      const auto [aLow, aHigh] = Extent(a, normal);
      const auto [bLow, bHigh] = Extent(b, normal);
      if (aHigh < bLow || bHigh < aLow) {
        return false;
      }
    }
  }
  return true;
}

// Whether two barcodes of one symbology are one symbol read in two bands: light that changes
// across the bars (a bright spot, a shadow's edge) splits the lines that read it where the
// contrast falls, and each band's barcode ends there, touching the other's without overlapping.
// They lie on one axis, end where each other ends, and meet across the bars; symbols printed one
// above another are kept apart by at least their captions or a gap of a few modules.
bool OneSymbolInBands(const RobustBarcode& a, const RobustBarcode& b) {
  if (a.symbology != b.symbology) {
    return false;
  }
  const Vec along{a.corners[1].x - a.corners[0].x, a.corners[1].y - a.corners[0].y};
  const double length = Length(along);
  if (length <= 0) {
    return false;
  }
  const Vec axis = (1.0 / length) * along;
  const Vec otherAlong{b.corners[1].x - b.corners[0].x, b.corners[1].y - b.corners[0].y};
  if (Length(otherAlong) <= 0 ||
      std::abs(Dot(axis, otherAlong)) / Length(otherAlong) < std::cos(3 * std::numbers::pi / 180)) {
    return false;
  }
  const double slack = 0.05 * length;
  const auto [aFrom, aTo] = Extent(a, axis);
  const auto [bFrom, bTo] = Extent(b, axis);
  const auto [aLow, aHigh] = Extent(a, Up(axis));
  const auto [bLow, bHigh] = Extent(b, Up(axis));
  return std::abs(aFrom - bFrom) <= slack && std::abs(aTo - bTo) <= slack &&
         std::max(bLow - aHigh, aLow - bHigh) <= slack;
}

// Whether the group reads a known symbol again: the same text, and its reads' place meets the
// known box. The caller's merging would drop its barcode.
bool OnKnown(const Group& group, const std::vector<RobustKnown>& known) {
  const LineRead& any = *group.reads.front();
  RobustBarcode place;
  bool placed = false;
  for (const RobustKnown& symbol : known) {
    if (symbol.symbology != any.symbology || symbol.text != any.text) {
      continue;
    }
    if (!placed) {
      place.corners = ReadsPlace(group, 0, group.Span());
      placed = true;
    }
    RobustBarcode box;
    box.corners = {RobustPoint{symbol.left, symbol.top}, RobustPoint{symbol.right, symbol.top},
                   RobustPoint{symbol.right, symbol.bottom},
                   RobustPoint{symbol.left, symbol.bottom}};
    if (Overlap(place, box)) {
      return true;
    }
  }
  return false;
}

// Reads the planes where the map is active: the lines, then the barcodes they agree on. Sets
// nearKnown where a barcode not on a known symbol comes near one's box, within its longer side.
// Leaves the places of symbols read firmly out of the map.
std::vector<RobustBarcode> ReadPlanes(const std::vector<Plane>& planes, ActivityMap& activity,
                                      const RobustOptions& options, bool& nearKnown);

}  // namespace

std::vector<RobustBarcode> ReadRobust(const Image& picture, const RobustOptions& options) {
  std::vector<RobustBarcode> barcodes;
  if (picture.greyBytes == nullptr || picture.imageWidth < 8 || picture.imageHeight < 8) {
    return barcodes;
  }
  std::vector<Plane> planes;
  planes.push_back(PictureLevel(picture));
  // Scaled copies while they still hold a symbol's worth of pixels.
  while (planes.size() < 3 && std::min(planes.back().width, planes.back().height) >= 320) {
    planes.push_back(HalfOf(planes.back()));
  }
  // Rows and columns of the map a few pixels apart on large pictures, where its cost would tell;
  // bars shorter than that are read on small pictures, whose every other row is followed.
  const double megapixels =
      static_cast<double>(picture.imageWidth) * picture.imageHeight / 1'000'000.0;
  ActivityMap activity(picture.greyBytes, picture.imageWidth, picture.imageHeight, picture.rowPitch,
                       picture.pixelStep,
                       std::clamp(static_cast<int>(std::sqrt(megapixels * 10)), 2, 8));
  const double noise = NoiseDeviation(picture);
  for (Plane& plane : planes) {
    plane.activeShare = activity.ActiveShare();
    // Each halving averages four pixels, which halves the noise's deviation.
    plane.leastStep =
        static_cast<float>(std::max<double>(minimumStep, noiseEdgeSteps * noise / plane.scale));
  }
  if (options.known.empty()) {
    bool nearKnown = false;
    return ReadPlanes(planes, activity, options, nearKnown);
  }
  // The lines pass over the known symbols, unless a barcode comes near one: their lines then
  // read them again, and the known symbols speak against other texts as without them.
  std::vector<ActivityMap::Box> readAlready;
  for (const RobustKnown& symbol : options.known) {
    readAlready.push_back({symbol.left, symbol.top, symbol.right, symbol.bottom});
  }
  activity.LeaveOut(readAlready);
  bool nearKnown = false;
  barcodes = ReadPlanes(planes, activity, options, nearKnown);
  if (nearKnown) {
    activity.LeaveOut({});
    barcodes = ReadPlanes(planes, activity, options, nearKnown);
  }
  return barcodes;
}

namespace {

std::vector<RobustBarcode> ReadPlanes(const std::vector<Plane>& planes, ActivityMap& activity,
                                      const RobustOptions& options, bool& nearKnown) {
  std::vector<RobustBarcode> barcodes;
  Profile profile;
  std::vector<LineRead> reads;
  // The first pass, family by family: the places of symbols read firmly are left out of the
  // activity map for the families and scales to come.
  std::vector<Firm> firm;
  std::vector<std::pair<double, double>> spans;
  bool more = true;
  for (std::size_t level = 0; more && level < planes.size(); ++level) {
    const Plane& plane = planes[level];
    for (int angle = 0; more && angle < angleCount; ++angle) {
      const std::size_t from = reads.size();
      more = ScanFamily(plane, static_cast<int>(level), angle, options, activity, profile, reads,
                        spans);
      const std::size_t known = firm.size();
      if (FindFirm(reads, from, PlaneSpacing(plane, options) * plane.scale, firm)) {
        std::vector<ActivityMap::Quad> places;
        for (std::size_t k = known; k < firm.size(); ++k) {
          places.push_back(firm[k].place);
        }
        activity.LeaveOutMore(places);
      }
    }
  }
  std::vector<Group> groups = GroupReads(reads);
  const std::size_t firstPass = reads.size();
  LayCloserLines(planes, options, groups, profile, reads);
  if (reads.size() > firstPass) {
    groups = GroupReads(reads);
  }
  // The groups most lines read are measured first.
  std::stable_sort(groups.begin(), groups.end(),
                   [](const Group& a, const Group& b) { return a.reads.size() > b.reads.size(); });
  // Per barcode: its lines, its group, whether it lies on a known symbol (it is never returned)
  // and what its corners are.
  enum class Corners { Measured, Placed, None };
  std::vector<int> lineCounts;
  std::vector<const Group*> groupOf;
  std::vector<bool> known;
  std::vector<bool> firmly;  // whether its text was read firmly
  std::vector<Corners> corners;
  for (const Group& group : groups) {
    RobustBarcode barcode;
    if (barcodes.size() >= maxMeasured || !LinesAgree(group)) {
      continue;
    }
    const bool onKnown = OnKnown(group, options.known);
    const bool readFirmly = ReadFirmly(group, firm);
    if (onKnown) {
      barcode.symbology = group.reads.front()->symbology;
      barcode.text = group.reads.front()->text;
      barcode.corners = ReadsPlace(group, 0.1 * group.Span() + 4, group.Span());
    } else if (!Measured(planes, group, options, profile, barcode, readFirmly)) {
      continue;
    }
    barcodes.push_back(std::move(barcode));
    lineCounts.push_back(static_cast<int>(group.reads.size()));
    groupOf.push_back(&group);
    known.push_back(onKnown);
    firmly.push_back(readFirmly);
    corners.push_back(onKnown ? Corners::Placed : Corners::Measured);
  }
  // The lines that passed over a known box may have missed what a barcode near it needs: its
  // quiet zone, a known symbol's word against it.
  for (std::size_t i = 0; i < barcodes.size(); ++i) {
    for (const RobustKnown& symbol : options.known) {
      const double reach = std::max(symbol.right - symbol.left, symbol.bottom - symbol.top);
      RobustBarcode around;
      around.corners = {RobustPoint{symbol.left - reach, symbol.top - reach},
                        RobustPoint{symbol.right + reach, symbol.top - reach},
                        RobustPoint{symbol.right + reach, symbol.bottom + reach},
                        RobustPoint{symbol.left - reach, symbol.bottom + reach}};
      nearKnown = nearKnown || (!known[i] && Overlap(barcodes[i], around));
    }
  }
  // A known symbol's barcode still speaks against other texts on its place: one whose reads'
  // place meets another barcode is measured now, as before; one that fails to measure would not
  // have been a barcode. Known barcodes among themselves drop only each other, never returned.
  for (std::size_t i = 0; i < barcodes.size(); ++i) {
    if (corners[i] != Corners::Placed) {
      continue;
    }
    for (std::size_t j = 0; j < barcodes.size(); ++j) {
      if (!known[j] && Overlap(barcodes[i], barcodes[j])) {
        corners[i] = Measured(planes, *groupOf[i], options, profile, barcodes[i], firmly[i])
                         ? Corners::Measured
                         : Corners::None;
        break;
      }
    }
  }
  // Two texts on one symbol, overlapping or in two bands: only a clear majority of lines may speak
  // for it; otherwise neither is printed, since a wrong text is worse than none. Where one of them
  // was read firmly, the lines that would have read either near it were never laid, and neither
  // count is a vote: neither is printed.
  std::vector<bool> dropped(barcodes.size(), false);
  // A 2 of 5 symbol whose bars go on beyond its quiet zone is a piece of a longer one, unless
  // another symbol, apart from it, stands in line with it there (labels side by side).
  for (std::size_t i = 0; i < barcodes.size(); ++i) {
    const Symbology symbology = barcodes[i].symbology;
    Vec goesOn;
    if (corners[i] != Corners::Measured ||
        (symbology != Symbology::TwoOfFive && symbology != Symbology::InterleavedTwoOfFive) ||
        !PieceOfLongerSymbol(planes.front(), barcodes[i], profile, goesOn)) {
      continue;
    }
    RobustBarcode there;
    there.corners = {
        RobustPoint{goesOn.x - 1, goesOn.y - 1}, RobustPoint{goesOn.x + 1, goesOn.y - 1},
        RobustPoint{goesOn.x + 1, goesOn.y + 1}, RobustPoint{goesOn.x - 1, goesOn.y + 1}};
    bool another = false;
    for (std::size_t j = 0; j < barcodes.size(); ++j) {
      another = another || (j != i && corners[j] != Corners::None && Overlap(barcodes[j], there) &&
                            !Overlap(barcodes[j], barcodes[i]));
    }
    for (const RobustKnown& symbol : options.known) {
      another = another || (goesOn.x >= symbol.left && goesOn.x <= symbol.right &&
                            goesOn.y >= symbol.top && goesOn.y <= symbol.bottom);
    }
    if (!another) {
      dropped[i] = true;
      corners[i] = Corners::None;
    }
  }
  for (std::size_t i = 0; i < barcodes.size(); ++i) {
    for (std::size_t j = i + 1; j < barcodes.size(); ++j) {
      if (corners[i] != Corners::Measured || corners[j] != Corners::Measured ||
          (!Overlap(barcodes[i], barcodes[j]) && !OneSymbolInBands(barcodes[i], barcodes[j]))) {
        continue;
      }
      if (barcodes[i].text == barcodes[j].text && barcodes[i].symbology == barcodes[j].symbology) {
        dropped[lineCounts[i] >= lineCounts[j] ? j : i] = true;
      } else if (firmly[i] || firmly[j]) {
        dropped[i] = dropped[j] = true;
      } else if (lineCounts[i] >= 3 * lineCounts[j]) {
        dropped[j] = true;
      } else if (lineCounts[j] >= 3 * lineCounts[i]) {
        dropped[i] = true;
      } else {
        dropped[i] = dropped[j] = true;
      }
    }
  }
  std::vector<RobustBarcode> kept;
  for (std::size_t i = 0; i < barcodes.size(); ++i) {
    if (!dropped[i] && !known[i]) {
      kept.push_back(std::move(barcodes[i]));
    }
  }
  std::sort(kept.begin(), kept.end(), [](const RobustBarcode& a, const RobustBarcode& b) {
    const RobustPoint p = a.corners[0];
    const RobustPoint q = b.corners[0];
    return std::tie(p.y, p.x) < std::tie(q.y, q.x);
  });
  return kept;
}

}  // namespace

namespace {

// Lines laid over a symbol another reader read, to find it again: along either axis of the
// picture and up to fifteen degrees off (that reader reads upright symbols, a little turned), at
// nine heights across its box, each out to the box's length beyond its middle. The turns go from
// square outwards, and stop at the first that reads it on most of its lines.
constexpr std::array<int, 7> foundAgainTurns = {0, -5, 5, -10, 10, -15, 15};  // degrees
constexpr int foundAgainHeights = 9;

// Finds the known 2 of 5 symbol's text again on lines across its box and measures it. Its
// digits are known, so its stop is, and its quiet zones go unchecked: light across a symbol may
// fade its rest rather than blank it, and the other reader may have taken less light for a quiet
// zone.
bool FoundAgain(const std::vector<Plane>& planes, const RobustKnown& symbol,
                const RobustOptions& options, Profile& profile, RobustBarcode& barcode) {
  const Plane& plane = planes.front();
  const Vec centre{0.5 * (symbol.left + symbol.right), 0.5 * (symbol.top + symbol.bottom)};
  const double width = symbol.right - symbol.left;
  const double height = symbol.bottom - symbol.top;
  std::vector<LineRead> reads;
  std::vector<LineRead> found;
  const auto isText = [&symbol](const LineRead& read) {
    return read.symbology == symbol.symbology && read.text == symbol.text;
  };
  std::array<int, 2 * foundAgainTurns.size()> perFamily{};
  bool enough = false;
  for (std::size_t turn = 0; turn < foundAgainTurns.size() && !enough; ++turn) {
    for (int axis = 0; axis < 2 && !enough; ++axis) {
      const double radians = (90.0 * axis + foundAgainTurns[turn]) * std::numbers::pi / 180;
      const Vec along{std::cos(radians), std::sin(radians)};
      const Vec up = Up(along);
      const double length = std::abs(width * along.x) + std::abs(height * along.y);
      const double across = std::abs(width * up.x) + std::abs(height * up.y);
      const int family = static_cast<int>(2 * turn) + axis;
      for (int i = 1; i <= foundAgainHeights; ++i) {
        const double h = across * (static_cast<double>(i) / (foundAgainHeights + 1) - 0.5);
        Line line;
        if (!ClipLine((1.0 / plane.scale) * (centre + h * up), along, -length / plane.scale,
                      length / plane.scale, plane.width, plane.height, line)) {
          continue;
        }
        SamplePixelCentres(line);
        LineRead stamp;
        stamp.family = family;
        stamp.offset = h;
        found.clear();
        ReadLine(plane, line, profile, options.lightOnDark, symbol.symbology, symbol.text.size(),
                 found, stamp, isText);
        if (!found.empty() && isText(found.back())) {
          reads.push_back(std::move(found.back()));
          ++perFamily[static_cast<std::size_t>(family)];
        }
      }
      enough = 2 * perFamily[static_cast<std::size_t>(family)] > foundAgainHeights;
    }
  }
  // The turn that read it on the most lines.
  const auto best = std::max_element(perFamily.begin(), perFamily.end());
  if (*best < 3) {
    return false;
  }
  Group group;
  group.digits = symbol.text.size();
  for (const LineRead& read : reads) {
    if (read.family == static_cast<int>(best - perFamily.begin())) {
      group.reads.push_back(&read);
      group.middleSum = group.middleSum + 0.5 * (read.start + read.end);
    }
  }
  return Measured(planes, group, options, profile, barcode);
}

// Whether lines along the barcode's axis through goesOn, and a quarter of its bars' length to
// either side, read a symbol of another symbology there on two of them at least: a label beside
// it. A rest of the same symbology may read as a symbol of its own when data spell its start, so
// only another symbology tells a label. Other readers' boxes may have swallowed it, so it is read
// here rather than looked up.
bool AnotherSymbolThere(const Plane& plane, const RobustBarcode& barcode, Vec goesOn,
                        Profile& profile) {
  const std::array<RobustPoint, 4>& c = barcode.corners;
  const Vec along{c[1].x - c[0].x, c[1].y - c[0].y};
  const double barLength = std::hypot(c[2].x - c[1].x, c[2].y - c[1].y);
  if (Length(along) <= 0) {
    return false;
  }
  const Vec axis = (1.0 / Length(along)) * along;
  const double reach = (plane.width + plane.height) * plane.scale;
  std::vector<LineRead> found;
  std::vector<std::pair<Symbology, std::string>> there;
  for (const double share : {-0.25, 0.0, 0.25}) {
    Line line;
    if (!ClipLine((1.0 / plane.scale) * (goesOn + share * barLength * Up(axis)), axis,
                  -reach / plane.scale, reach / plane.scale, plane.width, plane.height, line)) {
      continue;
    }
    found.clear();
    ReadLine(plane, line, profile, true, Symbology::None, 0, found, LineRead{}, readsAll);
    for (const LineRead& read : found) {
      const double from = Dot(read.start - goesOn, axis);
      const double to = Dot(read.end - goesOn, axis);
      if (read.symbology != barcode.symbology && std::min(from, to) <= 0 &&
          std::max(from, to) >= 0) {
        there.emplace_back(read.symbology, read.text);
      }
    }
  }
  for (std::size_t i = 0; i < there.size(); ++i) {
    if (std::count(there.begin(), there.end(), there[i]) >= 2) {
      return true;
    }
  }
  return false;
}

bool AllDigits(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::vector<bool> PiecesOfLongerSymbols(const Image& picture, const std::vector<RobustKnown>& known,
                                        const std::vector<RobustBarcode>& others) {
  std::vector<bool> pieces(known.size(), false);
  if (picture.greyBytes == nullptr || picture.imageWidth < 8 || picture.imageHeight < 8) {
    return pieces;
  }
  std::vector<Plane> planes;
  Profile profile;
  const RobustOptions options;
  for (std::size_t k = 0; k < known.size(); ++k) {
    const RobustKnown& symbol = known[k];
    if ((symbol.symbology != Symbology::TwoOfFive &&
         symbol.symbology != Symbology::InterleavedTwoOfFive) ||
        !AllDigits(symbol.text) || symbol.text.size() > 80) {
      continue;
    }
    if (planes.empty()) {
      planes.push_back(PictureLevel(picture));
      planes.front().leastStep = static_cast<float>(
          std::max<double>(minimumStep, noiseEdgeSteps * NoiseDeviation(picture)));
    }
    RobustBarcode barcode;
    Vec goesOn;
    if (!FoundAgain(planes, symbol, options, profile, barcode) ||
        !PieceOfLongerSymbol(planes.front(), barcode, profile, goesOn)) {
      continue;
    }
    // Labels side by side: a symbol of another symbology, apart from this one, where the bars go
    // on.
    bool another = false;
    for (std::size_t j = 0; j < known.size(); ++j) {
      const RobustKnown& other = known[j];
      another =
          another || (other.symbology != symbol.symbology && goesOn.x >= other.left &&
                      goesOn.x <= other.right && goesOn.y >= other.top && goesOn.y <= other.bottom);
    }
    RobustBarcode there;
    there.corners = {
        RobustPoint{goesOn.x - 1, goesOn.y - 1}, RobustPoint{goesOn.x + 1, goesOn.y - 1},
        RobustPoint{goesOn.x + 1, goesOn.y + 1}, RobustPoint{goesOn.x - 1, goesOn.y + 1}};
    for (const RobustBarcode& other : others) {
      another = another || (other.symbology != symbol.symbology && Overlap(other, there) &&
                            !Overlap(other, barcode));
    }
    pieces[k] = !another && !AnotherSymbolThere(planes.front(), barcode, goesOn, profile);
  }
  return pieces;
}

}  // namespace strixa
