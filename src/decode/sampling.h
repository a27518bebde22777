#pragma once

#include <string>

namespace strixa {

struct Image;

// Pixel index of the line at percentage of extent from offset, rounded as the decoders expect.
int LinePosition(int offset, int extent, int percentage);

// "1" per pixel at or below lineThreshold, "0" above, outer light pixels trimmed.
std::string SampleRow(const Image& image, int lineThreshold, int x, int y, int width, int height,
                      int percentage);
std::string SampleColumn(const Image& image, int lineThreshold, int x, int y, int width, int height,
                         int percentage);

// The same lines written into pixels, so a caller sampling many lines reuses one buffer.
void SampleRowInto(const Image& image, int lineThreshold, int x, int y, int width, int height,
                   int percentage, std::string& pixels);
void SampleColumnInto(const Image& image, int lineThreshold, int x, int y, int width, int height,
                      int percentage, std::string& pixels);

// 0.9 x the mean grey value along the same line.
int RowMean(const Image& image, int x, int y, int width, int height, int percentage);
int ColumnMean(const Image& image, int x, int y, int width, int height, int percentage);

}  // namespace strixa
