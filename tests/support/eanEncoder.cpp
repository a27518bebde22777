// SPDX-License-Identifier: Apache-2.0
#include "support/eanEncoder.h"

#include <algorithm>
#include <array>

namespace strixa {

namespace {

// Widths of space, bar, space, bar of each digit in set A, in modules.
constexpr std::array<std::string_view, 10> setAWidths = {
    "3211", "2221", "2122", "1411", "1132",  // 0-4
    "1231", "1114", "1312", "1213", "3112",  // 5-9
};

// Per leading digit, which of the six left-half places use set B ('E', even parity).
constexpr std::array<std::string_view, 10> leadingDigitParity = {
    "OOOOOO", "OOEOEE", "OOEEOE", "OOEEEO", "OEOOEE",  // 0-4
    "OEEOOE", "OEEEOO", "OEOEOE", "OEOEEO", "OEEOEO",  // 5-9
};

enum class DigitSet { A, B, C };

std::string EncodeDigit(char digit, DigitSet set) {
  std::string modules;
  char module = '0';
  for (char width : setAWidths[static_cast<std::size_t>(digit - '0')]) {
    modules.append(static_cast<std::size_t>(width - '0'), module);
    module = module == '0' ? '1' : '0';
  }
  // Set C is set A with bars and spaces swapped; set B is set C read backwards.
  if (set != DigitSet::A) {
    for (char& m : modules) {
      m = m == '0' ? '1' : '0';
    }
  }
  if (set == DigitSet::B) {
    std::reverse(modules.begin(), modules.end());
  }
  return modules;
}

bool IsDigits(std::string_view text, std::size_t count) {
  return text.size() == count &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string EncodeEan13(std::string_view thirteenDigits) {
  if (!IsDigits(thirteenDigits, 13)) {
    return {};
  }
  const std::string_view parity =
      leadingDigitParity[static_cast<std::size_t>(thirteenDigits[0] - '0')];
  std::string modules = "101";
  for (std::size_t i = 0; i < 6; ++i) {
    modules += EncodeDigit(thirteenDigits[1 + i], parity[i] == 'E' ? DigitSet::B : DigitSet::A);
  }
  modules += "01010";
  for (std::size_t i = 7; i < 13; ++i) {
    modules += EncodeDigit(thirteenDigits[i], DigitSet::C);
  }
  return modules + "101";
}

std::string EncodeEan8(std::string_view eightDigits, bool leftSetB) {
  if (!IsDigits(eightDigits, 8)) {
    return {};
  }
  std::string modules = "101";
  for (std::size_t i = 0; i < 4; ++i) {
    modules += EncodeDigit(eightDigits[i], leftSetB ? DigitSet::B : DigitSet::A);
  }
  modules += "01010";
  for (std::size_t i = 4; i < 8; ++i) {
    modules += EncodeDigit(eightDigits[i], DigitSet::C);
  }
  return modules + "101";
}

}  // namespace strixa
