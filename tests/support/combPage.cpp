// SPDX-License-Identifier: Apache-2.0
#include "support/combPage.h"

#include <string_view>

#include "support/builders.h"

namespace strixa {

namespace {

constexpr std::string_view groupModules = "11011011011011011011011011011011011011011";
constexpr int moduleWidth = 1;
constexpr int groupHeight = 24;
// Gaps wide enough for the quiet zones that end a run and stop the edge walks.
constexpr int columnPeriod = 100;
constexpr int rowPeriod = 36;

}  // namespace

Image DrawCombPage(int width, int height) {
  Image page = MakeBlankImage(width, height);
  const int groupWidth = static_cast<int>(groupModules.size()) * moduleWidth;
  for (int y = 20; y + groupHeight < height; y += rowPeriod) {
    for (int x = 20; x + groupWidth < width; x += columnPeriod) {
      DrawBars(page, groupModules, moduleWidth, x, y, groupHeight);
    }
  }
  return page;
}

}  // namespace strixa
