// SPDX-License-Identifier: Apache-2.0
#include "support/readForms.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace strixa {

namespace {

constexpr std::string_view code39Characters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";

}  // namespace

std::string_view FamilyName(Family family) {
  constexpr std::array<std::string_view, 7> names = {
      "none", "EAN-13/UPC-A", "EAN-8", "Code 128", "Code 39", "2 of 5", "2 of 5 i",
  };
  return names[static_cast<std::size_t>(family)];
}

Found NormalForm(Family family, std::string_view text) {
  Found found{family, std::string(text)};
  if (family == Family::ean13 || family == Family::ean8) {
    found.text.clear();
    for (char c : text) {
      if (c >= '0' && c <= '9') {
        found.text += c;
      }
    }
    if (family == Family::ean13 && found.text.size() == 12) {
      found.text.insert(found.text.begin(), '0');
    }
  }
  return found;
}

Found NormalFormOfResult(Symbology symbology, std::string_view text) {
  Family family = Family::none;
  switch (symbology) {
    case Symbology::Ean13:
    case Symbology::UpcA:
      family = Family::ean13;
      break;
    case Symbology::Ean8:
      family = Family::ean8;
      break;
    case Symbology::Code128:
    case Symbology::Ean128:
      family = Family::code128;
      break;
    case Symbology::Code39:
      family = Family::code39;
      break;
    case Symbology::TwoOfFive:
      family = Family::twoOfFive;
      break;
    case Symbology::InterleavedTwoOfFive:
      family = Family::interleaved;
      break;
    case Symbology::None:
      break;
  }
  // After the separator: a three-character identifier, then the data.
  const std::size_t separator = text.find('\0');
  if (separator != std::string_view::npos) {
    text = text.substr(std::min(text.size(), separator + 4));
  }
  return NormalForm(family, text);
}

std::string Code128Data(const std::vector<int>& values) {
  std::string data;
  int set = 0;  // 0 A, 1 B, 2 C
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int value = values[i];
    if (value >= 103) {
      set = value - 103;
    } else if (value == 102) {
      if (i != 1) {
        data += '\x1D';
      }
    } else if ((value == 99 && set != 2) || (value == 100 && set != 1) ||
               (value == 101 && set != 0)) {
      // Code C, B and A switch sets; in set C 99 is data, and FNC4 (100 in B, 101 in A) is
      // never drawn here.
      set = 101 - value;
    } else if (set == 2) {
      data += static_cast<char>('0' + value / 10);
      data += static_cast<char>('0' + value % 10);
    } else if (set == 0) {
      data += static_cast<char>(value < 64 ? value + 32 : value - 64);
    } else {
      data += static_cast<char>(value + 32);
    }
  }
  return data;
}

char Code39Check(std::string_view text) {
  std::size_t sum = 0;
  for (char c : text) {
    sum += code39Characters.find(c);
  }
  return code39Characters[sum % 43];
}

bool Drawn::Matches(const Found& found) const {
  return found.family == family && std::find(texts.begin(), texts.end(), found.text) != texts.end();
}

}  // namespace strixa
