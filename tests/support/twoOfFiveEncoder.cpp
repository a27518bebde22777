// SPDX-License-Identifier: Apache-2.0
#include "support/twoOfFiveEncoder.h"

#include <array>
#include <cstddef>

namespace strixa {

namespace {

// Element weights 1, 2, 4, 7 and a parity element: the two wide elements of a digit add up
// to the digit, zero being 4 + 7. Deriving the widths this way keeps the encoder independent
// of the decoders' pattern table.
constexpr std::array<int, 5> weights = {1, 2, 4, 7, 0};

// Widths of the five elements of one digit.
std::array<int, 5> DigitWidths(char digit, int narrow, int wide) {
  const int sum = digit == '0' ? 11 : digit - '0';
  std::array<int, 5> widths = {narrow, narrow, narrow, narrow, narrow};
  for (std::size_t i = 0; i < weights.size(); ++i) {
    for (std::size_t j = i + 1; j < weights.size(); ++j) {
      if (weights[i] + weights[j] == sum) {
        widths[i] = wide;
        widths[j] = wide;
      }
    }
  }
  return widths;
}

bool AllDigits(std::string_view digits) {
  for (char c : digits) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string AlternatingRuns(std::initializer_list<std::vector<int>> groups) {
  std::string pixels;
  char ink = '1';
  for (const std::vector<int>& group : groups) {
    for (int width : group) {
      if (width > 0) {
        pixels.append(static_cast<std::size_t>(width), ink);
      }
      ink = ink == '1' ? '0' : '1';
    }
  }
  return pixels;
}

std::string TwoOfFivePixels(std::string_view digits, int narrow, int wide) {
  if (narrow <= 0 || wide <= 0 || !AllDigits(digits)) {
    return {};
  }
  std::vector<int> runs = {wide, narrow, wide, narrow, narrow, narrow};
  for (char digit : digits) {
    for (int bar : DigitWidths(digit, narrow, wide)) {
      runs.push_back(bar);
      runs.push_back(narrow);
    }
  }
  runs.insert(runs.end(), {wide, narrow, narrow});
  return AlternatingRuns({runs});
}

std::string InterleavedTwoOfFivePixels(std::string_view digits, int narrow, int wide) {
  if (narrow <= 0 || wide <= 0 || digits.size() % 2 != 0 || !AllDigits(digits)) {
    return {};
  }
  std::vector<int> runs = {narrow, narrow, narrow, narrow};
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const std::array<int, 5> bars = DigitWidths(digits[i], narrow, wide);
    const std::array<int, 5> spaces = DigitWidths(digits[i + 1], narrow, wide);
    for (std::size_t k = 0; k < bars.size(); ++k) {
      runs.push_back(bars[k]);
      runs.push_back(spaces[k]);
    }
  }
  runs.insert(runs.end(), {wide, narrow, narrow});
  return AlternatingRuns({runs});
}

}  // namespace strixa
