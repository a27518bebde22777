#pragma once

#include <string>

namespace strixa {

struct AxisView;

// Pixel index of the line at percentage of extent from offset, rounded as the decoders expect.
int LinePosition(int offset, int extent, int percentage);

// The line through the rectangle x, y, width, height that runs along the view's lines, at
// percentage of the rectangle's extent across them: from its first edge to the opposite one,
// both included. pixels gets "1" per pixel at or below lineThreshold and "0" above, outer light
// pixels trimmed; a caller sampling many lines reuses one buffer.
void SampleLine(const AxisView& view, int lineThreshold, int x, int y, int width, int height,
                int percentage, std::string& pixels);

// 0.9 x the mean grey value along the same line.
int LineMean(const AxisView& view, int x, int y, int width, int height, int percentage);

}  // namespace strixa
