// SPDX-License-Identifier: Apache-2.0
#include "platform/escape.h"

namespace strixa {

std::string EscapeControlCharacters(std::string_view text) {
  constexpr std::string_view hexDigits = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      escaped += c;
    } else if (c == '\r') {
      escaped += "\\r";
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\t') {
      escaped += "\\t";
    } else {
      escaped += "\\x";
      escaped += hexDigits[byte >> 4];
      escaped += hexDigits[byte & 0x0F];
    }
  }
  return escaped;
}

}  // namespace strixa
