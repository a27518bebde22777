// SPDX-License-Identifier: Apache-2.0
// What a camera and poor printing do to a label: the label is drawn upright on its own canvas and
// laid onto a larger scene through a warp (a tilted plane, a turn, a cylinder), then the scene
// takes uneven light, low contrast, inversion and clutter around the label.
#pragma once

#include <array>

#include "support/canvas.h"

namespace strixa {

struct Point {
  double x = 0;
  double y = 0;
};

// Corners in order top-left, top-right, bottom-right, bottom-left of the upright label.
using Quad = std::array<Point, 4>;

// A plane projective map, applied as (m0 x + m1 y + m2, m3 x + m4 y + m5) / (m6 x + m7 y + m8).
struct Homography {
  std::array<double, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};
  Point Map(Point p) const;
};

// The map taking the rectangle (0,0)-(width,height) corner by corner onto quad.
Homography RectToQuad(double width, double height, const Quad& quad);

// False when the map is singular (a quad folded onto a line).
bool Invert(const Homography& map, Homography& inverse);

// A width x height label scaled by scale and centred at (0,0), its plane turned by tiltDegrees
// about an axis in the plane at tiltAxisDegrees from the label's rows, seen from a camera whose
// focal length is focal pixels, then turned by turnDegrees (clockwise) in the picture.
Quad TiltedQuad(double width, double height, double scale, double tiltDegrees,
                double tiltAxisDegrees, double turnDegrees, double focal);

// The quad moved to a random place whose bounding box lies wholly inside a width x height
// picture; false (quad unmoved) when it cannot fit.
bool PlaceInside(Quad& quad, int width, int height, Random& random);

// Paints the label onto the scene through the warp taking its corners to quad, sampling the
// label bilinearly; scene pixels outside the quad keep their values.
void PasteQuad(Canvas& scene, const Canvas& label, const Quad& quad);

// The label wrapped round a cylinder whose axis runs along its bars (upright), seen head on: the
// label spans wrapDegrees of the cylinder (below 180), shrinks to scale and is turned by
// turnDegrees about its centre at centre. Columns near the label's ends come out narrower, as
// on a can or a bottle. Its footprint before the turn is CylinderWidth wide, height * scale high.
void PasteCylinder(Canvas& scene, const Canvas& label, Point centre, double scale,
                   double wrapDegrees, double turnDegrees);
double CylinderWidth(double labelWidth, double scale, double wrapDegrees);

// Multiplies each pixel by a factor running linearly from low to high across the picture in the
// direction at angleDegrees (0 = left to right).
void ShadeGradient(Canvas& canvas, double angleDegrees, double low, double high);

// A bright spot: each pixel moves towards white by strength times a Gaussian of its distance
// from centre with the given radius (its deviation).
void AddSpot(Canvas& canvas, Point centre, double radius, double strength);

// Grey levels pulled towards middle: g becomes middle + (g - middle) * contrast.
void ScaleContrast(Canvas& canvas, float middle, double contrast);

// Light on dark: g becomes 255 - g.
void InvertGrey(Canvas& canvas);

// Clips every pixel to 0..255, as a sensor saturates.
void ClipGrey(Canvas& canvas);

// Things on a desk: boxes, lines, rows of stripes and text, items of them.
void DrawClutter(Canvas& canvas, Random& random, int items);

// A surface: wood-like grain or woven stripes over the whole canvas.
void DrawTexture(Canvas& canvas, Random& random);

}  // namespace strixa
