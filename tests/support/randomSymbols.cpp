// SPDX-License-Identifier: Apache-2.0
#include "support/randomSymbols.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/builders.h"
#include "support/code128Encoder.h"
#include "support/code39Encoder.h"
#include "support/eanEncoder.h"
#include "support/twoOfFiveEncoder.h"

namespace strixa {

std::string RandomDigits(Random& random, int count) {
  std::string digits;
  for (int i = 0; i < count; ++i) {
    digits += static_cast<char>('0' + random.Int(0, 9));
  }
  return digits;
}

// Appends the EAN check digit: weights 3 and 1 from the rightmost data digit leftwards.
std::string WithEanCheck(std::string digits) {
  int sum = 0;
  int weight = 3;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    sum += (*it - '0') * weight;
    weight = 4 - weight;
  }
  digits += static_cast<char>('0' + (10 - sum % 10) % 10);
  return digits;
}

constexpr std::array<std::string_view, 32> controlNames = {
    "<NUL>", "<SOH>", "<STX>", "<ETX>", "<EOT>", "<ENQ>", "<ACK>", "<BEL>",  // 0
    "<BS>",  "<HT>",  "<LF>",  "<VT>",  "<FF>",  "<CR>",  "<SO>",  "<SI>",   // 8
    "<DLE>", "<DC1>", "<DC2>", "<DC3>", "<DC4>", "<NAK>", "<SYN>", "<ETB>",  // 16
    "<CAN>", "<EM>",  "<SUB>", "<ESC>", "<FS>",  "<GS>",  "<RS>",  "<US>",   // 24
};

// Printed text of a Code 128 data value 0-99 in code set 0 (A), 1 (B) or 2 (C).
std::string Code128Text(int set, int value) {
  if (set == 2) {
    return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
  }
  if (set == 0 && value >= 64) {
    return std::string(controlNames[static_cast<std::size_t>(value - 64)]);
  }
  if (set == 1 && value == 95) {
    return "<DEL>";
  }
  return std::string(1, static_cast<char>(value + 32));
}

// A random Code 128 symbol starting in the given set, with the odd change of code set on the way.
std::pair<std::vector<int>, std::string> RandomCode128(Random& random, int set) {
  std::vector<int> values = {103 + set};
  std::string text;
  const int count = random.Int(1, set == 2 ? 8 : 12);
  for (int i = 0; i < count; ++i) {
    if (i > 0 && random.Chance(0.12)) {
      const int newSet = (set + random.Int(1, 2)) % 3;
      // Code A is 101, Code B 100 and Code C 99 from whichever set they are met in.
      values.push_back(101 - newSet);
      set = newSet;
    }
    int value = random.Int(0, set == 2 ? 99 : 95);
    if (set == 0 && value >= 64 && random.Chance(0.7)) {
      value -= 64;  // mostly printable characters, some controls
    }
    values.push_back(value);
    text += Code128Text(set, value);
  }
  return {values, text};
}

std::string RandomCode39Text(Random& random) {
  constexpr std::string_view characters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
  std::string text;
  const int count = random.Int(2, 10);
  for (int i = 0; i < count; ++i) {
    text += characters[static_cast<std::size_t>(random.Int(0, characters.size() - 1))];
  }
  return text;
}

// Wide elements of the 2 of 5 codes at a ratio of 2, 2.5 or 3, always wider than narrow.
int TwoOfFiveWide(Random& random, int narrow) {
  const double ratio = std::array{2.0, 2.5, 3.0}[static_cast<std::size_t>(random.Int(0, 2))];
  return std::max(narrow + 1, static_cast<int>(std::lround(narrow * ratio)));
}

Symbol MakeSymbol(SymbolKind kind, int modulePixels, Random& random) {
  Symbol symbol;
  switch (kind) {
    case ean13Kind: {
      // Drawn in this order, the one GCC gave the operands of the + this replaces, so pictures
      // of a seed stay what they were; the order of the two operands is unspecified.
      const std::string rest = RandomDigits(random, 11);
      const std::string digits = WithEanCheck(std::to_string(random.Int(1, 9)) + rest);
      symbol.pixels = Widen(EncodeEan13(digits), modulePixels);
      symbol.expected = "EAN13\t" + digits.substr(0, 7) + " " + digits.substr(7);
      symbol.caption = digits;
      break;
    }
    case upcAKind: {
      const std::string digits = WithEanCheck("0" + RandomDigits(random, 11));
      symbol.pixels = Widen(EncodeEan13(digits), modulePixels);
      symbol.expected = "UPC-A\t" + digits.substr(1, 6) + " " + digits.substr(7);
      symbol.caption = digits.substr(1);
      break;
    }
    case ean8Kind: {
      const std::string digits = WithEanCheck(RandomDigits(random, 7));
      symbol.pixels = Widen(EncodeEan8(digits), modulePixels);
      symbol.expected = "EAN8\t" + digits.substr(0, 4) + " " + digits.substr(4);
      symbol.caption = digits;
      break;
    }
    case code128AKind:
    case code128BKind:
    case code128CKind: {
      const auto [values, text] = RandomCode128(random, kind - code128AKind);
      symbol.pixels = Widen(EncodeCode128(values), modulePixels);
      symbol.expected = "CODE128\t" + text;
      symbol.caption = text;
      break;
    }
    case ean128Kind: {
      std::vector<int> values = {105, 102};
      std::string text;
      const int pairs = random.Int(1, 8);
      for (int i = 0; i < pairs; ++i) {
        if (i > 0 && random.Chance(0.1)) {
          values.push_back(102);
          text += "<FNC1>";
        }
        values.push_back(random.Int(0, 99));
        text += Code128Text(2, values.back());
      }
      symbol.pixels = Widen(EncodeCode128(values), modulePixels);
      symbol.expected = "EAN128\t" + text;
      symbol.caption = text;
      break;
    }
    case code39Ratio2Kind:
    case code39Ratio3Kind: {
      const std::string text = RandomCode39Text(random);
      const int ratio = kind == code39Ratio2Kind ? 2 : 3;
      symbol.pixels =
          Code39Pixels("*" + text + "*", modulePixels, ratio * modulePixels, modulePixels);
      symbol.expected = "CODE39\t" + text;
      symbol.caption = "*" + text + "*";
      break;
    }
    case twoOfFiveKind: {
      const std::string digits = RandomDigits(random, random.Int(3, 12));
      const int wide = TwoOfFiveWide(random, modulePixels);
      symbol.pixels = TwoOfFivePixels(digits, modulePixels, wide);
      // Printers end it in either stop: half of these in the longer one (a narrow space and a
      // wide bar more), chosen by the digits so that nothing else drawn changes.
      int digitSum = 0;
      for (const char digit : digits) {
        digitSum += digit - '0';
      }
      if (digitSum % 2 == 1) {
        symbol.pixels += std::string(static_cast<std::size_t>(modulePixels), '0') +
                         std::string(static_cast<std::size_t>(wide), '1');
      }
      symbol.expected = "2/5\t" + digits;
      symbol.caption = digits;
      break;
    }
    case interleavedKind:
    default: {
      const std::string digits = RandomDigits(random, 2 * random.Int(2, 7));
      symbol.pixels =
          InterleavedTwoOfFivePixels(digits, modulePixels, TwoOfFiveWide(random, modulePixels));
      symbol.expected = "2/5i\t" + digits;
      symbol.caption = digits;
      break;
    }
  }
  return symbol;
}

std::string RandomWord(Random& random) {
  auto letters = [&](char first, int count) {
    std::string word;
    for (int i = 0; i < count; ++i) {
      word += static_cast<char>(first + random.Int(0, 25));
    }
    return word;
  };
  const double pick = random.Uniform(0, 1);
  std::string word;
  if (pick < 0.55) {
    word = letters('a', random.Int(1, 9));
  } else if (pick < 0.7) {
    // The rest first, as for the EAN-13 digits above.
    const std::string rest = letters('a', random.Int(1, 8));
    word = letters('A', 1) + rest;
  } else if (pick < 0.8) {
    word = letters('A', random.Int(2, 8));
  } else if (pick < 0.92) {
    constexpr std::array<std::string_view, 5> joins = {"", ".", ",", "/", "-"};
    word = RandomDigits(random, random.Int(1, 6));
    if (random.Chance(0.5)) {
      word += joins[static_cast<std::size_t>(random.Int(0, 4))];
      word += RandomDigits(random, random.Int(1, 4));
    }
  } else {
    constexpr std::array<std::string_view, 14> tokens = {
        "(", ")", "-", "--", "&", "%", "#", "|", "||", "III", "ll", "*", "=", "1111",
    };
    word = tokens[static_cast<std::size_t>(random.Int(0, tokens.size() - 1))];
  }
  if (random.Chance(0.15)) {
    word += ".,;:!?"[random.Int(0, 5)];
  }
  return word;
}

// A page of plain printed text: lines of words at one size, with the odd heading and blank line.
Canvas DrawTextPage(Random& random, float paper, float ink, int& scale) {
  Canvas page = MakeCanvas(random.Int(480, 640), random.Int(320, 420), paper);
  scale = random.Int(1, 4);
  const bool bold = random.Chance(0.3);
  const int left = random.Int(8, 40);
  int y = random.Int(4, 30);
  while (y < page.height) {
    const int lineScale = random.Chance(0.1) ? scale + 1 : scale;
    if (random.Chance(0.08)) {
      y += glyphRows * lineScale;
      continue;
    }
    std::string line;
    const int limit = page.width - left + random.Int(-60, 40);
    while (TextWidth(line, lineScale, bold) < limit) {
      line += RandomWord(random) + " ";
    }
    DrawText(page, line, left, y, lineScale, bold, ink);
    y += glyphRows * lineScale + random.Int(1, 4) * lineScale;
  }
  return page;
}

}  // namespace strixa
