// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/image.h"

namespace strixa {

// How a symbol is drawn: modules ("1" a bar) of module pixels, bars height high, turned to
// reading direction angle (degrees clockwise) about the picture's centre plus shift.
struct Drawing {
  std::string modules;
  double module = 2;
  double height = 60;
  double angle = 0;
  int width = 0;  // picture size; 0: the symbol's length plus margin either side
  int heightPx = 0;
  double margin = 20;
  double shift = 0;  // along the reading direction
  int ink = 0, paper = 255;
  double darkestLight = 1;  // light falls from 100 % on the left to this share on the right
  double blur = 0;          // Gaussian sigma in pixels
};

// A grey picture, one byte a pixel, and the view of it.
struct Picture {
  std::vector<std::uint8_t> grey;
  Image image;
};

// Each pixel from 4 x 4 samples, so the edges of a turned symbol fall between pixels as a
// camera's would.
void DrawSymbol(const Drawing& d, Picture& picture);

// A drawing whose picture goes on a page with its top-left corner at x, y.
struct PlacedDrawing {
  Drawing drawing;
  int x = 0, y = 0;
};

// A light page of width x height with the drawings on it; where two pictures meet, the darker
// pixel stays. Each picture must lie within the page.
void DrawPage(int width, int height, const std::vector<PlacedDrawing>& drawings, Picture& page);

}  // namespace strixa
