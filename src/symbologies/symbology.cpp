// SPDX-License-Identifier: Apache-2.0
#include "symbologies/symbology.h"

namespace strixa {

std::string_view SymbologyLabel(Symbology symbology) {
  switch (symbology) {
    case Symbology::None:
      return "";
    case Symbology::Ean13:
      return "EAN13";
    case Symbology::UpcA:
      return "UPC-A";
    case Symbology::Ean8:
      return "EAN8";
    case Symbology::Code128:
      return "CODE128";
    case Symbology::Ean128:
      return "EAN128";
    case Symbology::Code39:
      return "CODE39";
    case Symbology::TwoOfFive:
      return "2/5";
    case Symbology::InterleavedTwoOfFive:
      return "2/5i";
  }
  return "";
}

std::string ResultLine(Symbology symbology, std::string_view text) {
  const std::string_view label = SymbologyLabel(symbology);
  std::string line;
  line.reserve(label.size() + 1 + text.size());
  line.append(label);
  line += '\t';
  line.append(text);
  return line;
}

}  // namespace strixa
