// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <array>
#include <string>
#include <vector>

#include "symbologies/symbology.h"

namespace strixa {

struct Image;

// A second reading engine, beside the document pipeline, for what that pipeline's fixed
// thresholds and upright rectangles do not read: photos, grey or uneven backgrounds, blur, turned
// symbols, light bars on dark, symbols without a margin.
//
// It looks for no rectangle first. Lines cross the whole picture at every 15 degrees (rows and
// columns more densely), on the picture and on copies scaled down by two and four, where noise
// averages out. Each line's grey profile is sampled bilinearly; its edges are where the
// brightness changes fastest between alternating extremes that differ by a step large against
// the local contrast (a quarter of the range within about thirty samples), placed to a fraction
// of a pixel by a parabola through the gradient's peak. So uneven light, grey backgrounds and
// blur still give edges, and widths come out as fractions of a pixel.
//
// Each line's widths are decoded forwards and backwards, dark bars on light and light on dark, by
// ratios to the symbol's own module: EAN and UPC digits by their elements corrected for the ink
// spread the guards show, Code 128 by the distances from one edge to the next like edge, Code 39
// and 2 of 5 by narrow and wide classes. Trust comes first: guards, start and stop, check
// characters and quiet zones measured in modules decide every read; the picture's edge stands in
// for light only for symbologies whose start, stop and check a piece cannot pass. Reads without
// a check character must come from several parallel lines spread across the bars, whose ends
// line up across the bars as a symbol's do and not as a line's entry across a turned symbol's
// long edge does.
//
// Reads of one symbol merge into one barcode. A second pass lays lines along the symbol's own
// axis every half pixel across its bars to measure it: its angle from the line through the first
// bar's edges, and the bars' ends where lines stop reading with at least half the middle's
// contrast.
//
// The cost is bounded for every picture: the lines' spacing grows with the picture so their
// samples stay within a budget, and each found symbol is measured by a bounded number of lines.

// A point in picture coordinates: the origin is the top-left corner of the top-left pixel, y down.
struct RobustPoint {
  double x = 0;
  double y = 0;
};

struct RobustBarcode {
  Symbology symbology = Symbology::None;
  // As the document pipeline's Candidate.text: for Code 128, the transcript, a NUL and the
  // transmission.
  std::string text;
  // In reading order: the first bar's top, the last bar's top, the last bar's bottom, the first
  // bar's bottom.
  std::array<RobustPoint, 4> corners{};
  // The reading direction in degrees clockwise from the x axis (y down), 0 <= angle < 360.
  double angle = 0;
};

struct RobustOptions {
  // Samples the first pass may take at each scale; the lines' spacing grows to stay within it.
  long long samplesPerScale = 500'000;
  // Whether light bars on a dark ground are also read.
  bool lightOnDark = true;
};

// Every barcode read in picture, in the order of its first bar's position, top to bottom, then
// left to right. Thread-safe; throws nothing but std::bad_alloc.
std::vector<RobustBarcode> ReadRobust(const Image& picture, const RobustOptions& options = {});

}  // namespace strixa
