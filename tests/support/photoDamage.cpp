// SPDX-License-Identifier: Apache-2.0
#include "support/photoDamage.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "support/randomSymbols.h"

namespace strixa {

namespace {

double Radians(double degrees) { return degrees * std::numbers::pi / 180; }

// The label's grey at (u, v) in its own pixel units, pixel i covering u in [i, i + 1); its edge
// pixels repeat outward, so a warp's border has no dark seam.
float Sample(const Canvas& label, double u, double v) {
  const double x = std::clamp(u - 0.5, 0.0, label.width - 1.0);
  const double y = std::clamp(v - 0.5, 0.0, label.height - 1.0);
  const int x0 = std::min(static_cast<int>(x), label.width - 1);
  const int y0 = std::min(static_cast<int>(y), label.height - 1);
  const int x1 = std::min(x0 + 1, label.width - 1);
  const int y1 = std::min(y0 + 1, label.height - 1);
  const float fx = static_cast<float>(x - x0);
  const float fy = static_cast<float>(y - y0);
  return (1 - fy) * ((1 - fx) * label.At(x0, y0) + fx * label.At(x1, y0)) +
         fy * ((1 - fx) * label.At(x0, y1) + fx * label.At(x1, y1));
}

// Rows and columns of the scene a box covers, clipped to it.
struct Span {
  int left, top, right, bottom;  // right and bottom excluded
};

Span Clip(const Canvas& scene, double minX, double minY, double maxX, double maxY) {
  return {std::max(0, static_cast<int>(std::floor(minX))),
          std::max(0, static_cast<int>(std::floor(minY))),
          std::min(scene.width, static_cast<int>(std::ceil(maxX)) + 1),
          std::min(scene.height, static_cast<int>(std::ceil(maxY)) + 1)};
}

// A straight stroke of the given thickness from (x0, y0) to (x1, y1).
void DrawLine(Canvas& canvas, double x0, double y0, double x1, double y1, int thickness,
              float ink) {
  const int steps = static_cast<int>(std::max(std::abs(x1 - x0), std::abs(y1 - y0))) + 1;
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    FillBox(canvas, static_cast<int>(x0 + t * (x1 - x0)), static_cast<int>(y0 + t * (y1 - y0)),
            thickness, thickness, ink);
  }
}

}  // namespace

Point Homography::Map(Point p) const {
  const double w = m[6] * p.x + m[7] * p.y + m[8];
  return {(m[0] * p.x + m[1] * p.y + m[2]) / w, (m[3] * p.x + m[4] * p.y + m[5]) / w};
}

Homography RectToQuad(double width, double height, const Quad& quad) {
  // The unit square onto the quad, then the rectangle scaled onto the unit square.
  const auto [x0, y0] = quad[0];
  const auto [x1, y1] = quad[1];
  const auto [x2, y2] = quad[2];
  const auto [x3, y3] = quad[3];
  const double dx1 = x1 - x2, dx2 = x3 - x2, dx3 = x0 - x1 + x2 - x3;
  const double dy1 = y1 - y2, dy2 = y3 - y2, dy3 = y0 - y1 + y2 - y3;
  const double denominator = dx1 * dy2 - dx2 * dy1;
  const double g = denominator == 0 ? 0 : (dx3 * dy2 - dx2 * dy3) / denominator;
  const double h = denominator == 0 ? 0 : (dx1 * dy3 - dx3 * dy1) / denominator;
  const double a = x1 - x0 + g * x1, b = x3 - x0 + h * x3;
  const double d = y1 - y0 + g * y1, e = y3 - y0 + h * y3;
  return {{a / width, b / height, x0, d / width, e / height, y0, g / width, h / height, 1}};
}

bool Invert(const Homography& map, Homography& inverse) {
  const auto& m = map.m;
  const std::array<double, 9> adjugate = {
      m[4] * m[8] - m[5] * m[7], m[2] * m[7] - m[1] * m[8], m[1] * m[5] - m[2] * m[4],
      m[5] * m[6] - m[3] * m[8], m[0] * m[8] - m[2] * m[6], m[2] * m[3] - m[0] * m[5],
      m[3] * m[7] - m[4] * m[6], m[1] * m[6] - m[0] * m[7], m[0] * m[4] - m[1] * m[3],
  };
  const double determinant = m[0] * adjugate[0] + m[1] * adjugate[3] + m[2] * adjugate[6];
  if (std::abs(determinant) < 1e-12) {
    return false;
  }
  for (std::size_t i = 0; i < 9; ++i) {
    inverse.m[i] = adjugate[i] / determinant;
  }
  return true;
}

Quad TiltedQuad(double width, double height, double scale, double tiltDegrees,
                double tiltAxisDegrees, double turnDegrees, double focal) {
  const double kx = std::cos(Radians(tiltAxisDegrees));
  const double ky = std::sin(Radians(tiltAxisDegrees));
  const double c = std::cos(Radians(tiltDegrees));
  const double s = std::sin(Radians(tiltDegrees));
  const double tc = std::cos(Radians(turnDegrees));
  const double ts = std::sin(Radians(turnDegrees));
  const double halfW = width * scale / 2;
  const double halfH = height * scale / 2;
  const std::array<Point, 4> flat = {Point{-halfW, -halfH}, Point{halfW, -halfH},
                                     Point{halfW, halfH}, Point{-halfW, halfH}};
  Quad quad;
  for (std::size_t i = 0; i < 4; ++i) {
    // Turned about the in-plane axis k (Rodrigues, z = 0): the along-axis part stays, the rest
    // swings out of the plane.
    const double along = flat[i].x * kx + flat[i].y * ky;
    const double acrossX = flat[i].x - along * kx;
    const double acrossY = flat[i].y - along * ky;
    const double x = along * kx + c * acrossX;
    const double y = along * ky + c * acrossY;
    const double z = s * (-ky * flat[i].x + kx * flat[i].y);
    const double px = x * focal / (focal + z);
    const double py = y * focal / (focal + z);
    quad[i] = {tc * px - ts * py, ts * px + tc * py};
  }
  return quad;
}

bool PlaceInside(Quad& quad, int width, int height, Random& random) {
  double minX = quad[0].x, maxX = quad[0].x, minY = quad[0].y, maxY = quad[0].y;
  for (const Point& p : quad) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  if (maxX - minX > width || maxY - minY > height) {
    return false;
  }
  const double dx = random.Uniform(-minX, width - maxX);
  const double dy = random.Uniform(-minY, height - maxY);
  for (Point& p : quad) {
    p.x += dx;
    p.y += dy;
  }
  return true;
}

void PasteQuad(Canvas& scene, const Canvas& label, const Quad& quad) {
  Homography toLabel;
  if (!Invert(RectToQuad(label.width, label.height, quad), toLabel)) {
    return;
  }
  double minX = quad[0].x, maxX = quad[0].x, minY = quad[0].y, maxY = quad[0].y;
  for (const Point& p : quad) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  const Span span = Clip(scene, minX, minY, maxX, maxY);
  for (int y = span.top; y < span.bottom; ++y) {
    for (int x = span.left; x < span.right; ++x) {
      const Point at = toLabel.Map({x + 0.5, y + 0.5});
      if (at.x >= 0 && at.y >= 0 && at.x < label.width && at.y < label.height) {
        scene.At(x, y) = Sample(label, at.x, at.y);
      }
    }
  }
}

double CylinderWidth(double labelWidth, double scale, double wrapDegrees) {
  const double radius = labelWidth * scale / Radians(wrapDegrees);
  return 2 * radius * std::sin(Radians(wrapDegrees) / 2);
}

void PasteCylinder(Canvas& scene, const Canvas& label, Point centre, double scale,
                   double wrapDegrees, double turnDegrees) {
  const double radius = label.width * scale / Radians(wrapDegrees);
  const double halfWidth = CylinderWidth(label.width, scale, wrapDegrees) / 2;
  const double halfHeight = label.height * scale / 2;
  const double reach = std::hypot(halfWidth, halfHeight);
  const double c = std::cos(Radians(turnDegrees));
  const double s = std::sin(Radians(turnDegrees));
  const Span span =
      Clip(scene, centre.x - reach, centre.y - reach, centre.x + reach, centre.y + reach);
  for (int y = span.top; y < span.bottom; ++y) {
    for (int x = span.left; x < span.right; ++x) {
      // Back through the turn, then from the cylinder's face to the arc length along the label.
      const double dx = x + 0.5 - centre.x;
      const double dy = y + 0.5 - centre.y;
      const double across = c * dx + s * dy;
      const double along = -s * dx + c * dy;
      if (std::abs(across) >= halfWidth || std::abs(along) >= halfHeight) {
        continue;
      }
      const double arc = radius * std::asin(across / radius);
      scene.At(x, y) =
          Sample(label, label.width / 2.0 + arc / scale, label.height / 2.0 + along / scale);
    }
  }
}

void ShadeGradient(Canvas& canvas, double angleDegrees, double low, double high) {
  const double cx = std::cos(Radians(angleDegrees));
  const double cy = std::sin(Radians(angleDegrees));
  // Projections of the corners onto the direction bound the ramp.
  const double ends[] = {0, cx * (canvas.width - 1), cy * (canvas.height - 1),
                         cx * (canvas.width - 1) + cy * (canvas.height - 1)};
  const double first = *std::min_element(std::begin(ends), std::end(ends));
  const double last = *std::max_element(std::begin(ends), std::end(ends));
  const double length = std::max(last - first, 1.0);
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      const double t = (cx * x + cy * y - first) / length;
      canvas.At(x, y) *= static_cast<float>(low + (high - low) * t);
    }
  }
}

void AddSpot(Canvas& canvas, Point centre, double radius, double strength) {
  const double reach = 4 * radius;
  const Span span =
      Clip(canvas, centre.x - reach, centre.y - reach, centre.x + reach, centre.y + reach);
  for (int y = span.top; y < span.bottom; ++y) {
    for (int x = span.left; x < span.right; ++x) {
      const double d2 = (x - centre.x) * (x - centre.x) + (y - centre.y) * (y - centre.y);
      const double weight = strength * std::exp(-d2 / (2 * radius * radius));
      float& grey = canvas.At(x, y);
      grey += static_cast<float>(weight * (255 - grey));
    }
  }
}

void ScaleContrast(Canvas& canvas, float middle, double contrast) {
  for (float& grey : canvas.grey) {
    grey = middle + (grey - middle) * static_cast<float>(contrast);
  }
}

void InvertGrey(Canvas& canvas) {
  for (float& grey : canvas.grey) {
    grey = 255 - grey;
  }
}

void ClipGrey(Canvas& canvas) {
  for (float& grey : canvas.grey) {
    grey = std::clamp(grey, 0.0f, 255.0f);
  }
}

void DrawClutter(Canvas& canvas, Random& random, int items) {
  for (int item = 0; item < items; ++item) {
    const float ink = static_cast<float>(random.Uniform(0, 255));
    const int x = random.Int(0, canvas.width - 1);
    const int y = random.Int(0, canvas.height - 1);
    switch (random.Int(0, 3)) {
      case 0:
        FillBox(canvas, x, y, random.Int(10, 200), random.Int(10, 150), ink);
        break;
      case 1:
        DrawLine(canvas, x, y, random.Int(0, canvas.width - 1), random.Int(0, canvas.height - 1),
                 random.Int(1, 5), ink);
        break;
      case 2: {
        // A row of stripes of random widths: the clutter most like bars.
        const int height = random.Int(8, 80);
        int at = x;
        for (int stripe = random.Int(3, 25); stripe > 0; --stripe) {
          const int width = random.Int(1, 8);
          FillBox(canvas, at, y, width, height, ink);
          at += width + random.Int(1, 8);
        }
        break;
      }
      default: {
        std::string words;
        for (int word = random.Int(1, 6); word > 0; --word) {
          words += RandomWord(random) + " ";
        }
        DrawText(canvas, words, x, y, random.Int(1, 3), random.Chance(0.3), ink);
        break;
      }
    }
  }
}

void DrawTexture(Canvas& canvas, Random& random) {
  const double base = random.Uniform(60, 200);
  const double amplitude = random.Uniform(10, 60);
  const double angle = Radians(random.Uniform(0, 180));
  const double period = random.Uniform(3, 30);
  const double wobble = random.Uniform(0, 8);
  const double wobblePeriod = random.Uniform(20, 200);
  const bool woven = random.Chance(0.4);
  const double ca = std::cos(angle);
  const double sa = std::sin(angle);
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      const double along = ca * x + sa * y;
      const double across = -sa * x + ca * y;
      double wave = std::sin(2 * std::numbers::pi *
                             (along + wobble * std::sin(across / wobblePeriod)) / period);
      if (woven) {
        wave *= std::sin(2 * std::numbers::pi * across / period);
      }
      canvas.At(x, y) = static_cast<float>(base + amplitude * wave);
    }
  }
}

}  // namespace strixa
