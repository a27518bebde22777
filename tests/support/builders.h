// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "image/image.h"

namespace strixa {

// Each module character repeated moduleWidth times: "101" at 2 gives "110011".
std::string Widen(std::string_view modules, int moduleWidth);

// Pixel j (from 0) shows module floor(j / pixelsPerModule), for fractional module widths.
std::string WidenFractional(std::string_view modules, double pixelsPerModule);

// A picture from text rows: '#' is black (grey 0), '.' is white (255); any other character c
// gives grey value static_cast<unsigned char>(c) on all channels. Rows top first.
Image MakeImage(const std::vector<std::string>& rows);

// A blank white picture of the given size.
Image MakeBlankImage(int width, int height, std::uint8_t grey = 255);

// Paints the rectangle columns x..x+width-1, rows y..y+height-1 (1-based) with grey.
void FillRect(Image& image, int x, int y, int width, int height, std::uint8_t grey);

// Sets one pixel's blue, green and red (1-based coordinates).
void SetPixel(Image& image, int x, int y, std::uint8_t blue, std::uint8_t green, std::uint8_t red);

// Draws bars from a module string ("1" = bar) starting at column x (bars upright, vertical=false)
// or row y (bars lying flat, vertical=true), each module moduleWidth pixels wide, length long.
void DrawBars(Image& image, std::string_view modules, int moduleWidth, int x, int y, int length,
              bool vertical = false);

// The image turned a quarter turn clockwise, quarterTurns times.
Image RotateImage(const Image& image, int quarterTurns);

// A 24-bit bottom-up BI_RGB bitmap file of the picture.
std::vector<std::uint8_t> MakeBmp(const Image& image);

// A 24-bit bitmap file from text rows, as MakeImage reads them.
std::vector<std::uint8_t> MakeBmp(const std::vector<std::string>& rows);

}  // namespace strixa
