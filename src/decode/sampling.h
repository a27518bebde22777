// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

namespace strixa {

struct AxisView;

// Pixel index of the line at percentage of extent from offset, rounded as the decoders expect.
int LinePosition(int offset, int extent, int percentage);

// The line through the rectangle x, y, width, height that runs along the view's lines, at
// percentage of the rectangle's extent across them: from its first edge to the opposite one,
// both included. pixels gets "1" per pixel at or below lineThreshold and "0" above, outer light
// pixels trimmed; a caller sampling many lines reuses one buffer. Returns the along position of
// the first pixel kept (meaningless when pixels is empty).
long long SampleLine(const AxisView& view, int lineThreshold, int x, int y, int width, int height,
                     int percentage, std::string& pixels);

// How many pixels of the picture that are all light (above lineThreshold) or all dark follow one
// another on the line at across from along position from on, stepping by step (1 or -1),
// counting at most enough. A pixel outside the picture ends the count: nothing is known about it.
int CountPixels(const AxisView& view, int lineThreshold, int across, long long from, int step,
                int enough, bool dark);

// 0.9 x the mean grey value along the same line.
int LineMean(const AxisView& view, int x, int y, int width, int height, int percentage);

}  // namespace strixa
