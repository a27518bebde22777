// SPDX-License-Identifier: Apache-2.0
#include "support/code39Encoder.h"

#include <array>

namespace strixa {

namespace {

// Characters come in four rows of ten that share their bars and differ in which space is wide;
// "$/+%" have narrow bars and three wide spaces. "1" marks a wide element.
constexpr std::array<std::string_view, 4> rows = {"1234567890", "ABCDEFGHIJ", "KLMNOPQRST",
                                                  "UVWXYZ-. *"};
constexpr std::array<std::string_view, 4> rowSpaces = {"0100", "0010", "0001", "1000"};
constexpr std::array<std::string_view, 10> columnBars = {
    "10001", "01001", "11000", "00101", "10100", "01100", "00011", "10010", "01010", "00110",
};
constexpr std::string_view spaceOnlyChars = "$/+%";
constexpr std::array<std::string_view, 4> spaceOnlySpaces = {"1110", "1101", "1011", "0111"};

// Wide flags of the nine elements, bar first; "" for a character Code 39 has not.
std::string WideFlags(char c) {
  std::string_view bars;
  std::string_view spaces;
  for (std::size_t row = 0; row < rows.size(); ++row) {
    if (const std::size_t column = rows[row].find(c); column != std::string_view::npos) {
      bars = columnBars[column];
      spaces = rowSpaces[row];
    }
  }
  if (const std::size_t index = spaceOnlyChars.find(c); index != std::string_view::npos) {
    bars = "00000";
    spaces = spaceOnlySpaces[index];
  }
  std::string flags;
  for (std::size_t i = 0; i < bars.size(); ++i) {
    flags += bars[i];
    if (i < spaces.size()) {
      flags += spaces[i];
    }
  }
  return flags;
}

}  // namespace

std::string Code39Pixels(std::string_view text, int narrow, int wide, int gap) {
  std::string pixels;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string flags = WideFlags(text[i]);
    if (flags.empty()) {
      return {};
    }
    if (i > 0) {
      pixels.append(static_cast<std::size_t>(gap), '0');
    }
    for (std::size_t e = 0; e < flags.size(); ++e) {
      pixels.append(static_cast<std::size_t>(flags[e] == '1' ? wide : narrow),
                    e % 2 == 0 ? '1' : '0');
    }
  }
  return pixels;
}

}  // namespace strixa
