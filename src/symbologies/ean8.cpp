// SPDX-License-Identifier: Apache-2.0
#include "symbologies/ean8.h"

#include <cstddef>
#include <string>

#include "symbologies/ean13.h"
#include "symbologies/elements.h"

namespace strixa {

std::string DecodeEan8(std::string_view pixels) {
  EanReading reading;
  if (!ReadEanSymbol(pixels, 4, reading)) {
    return {};
  }
  // The left half is printed in one set (A; B from printers that get it wrong), never in a mix. A
  // set B pattern lies one module from the set A pattern of another digit, so a noisy edge turns
  // one digit into another that the check digit may still accept: a mixed half is refused.
  if (!reading.complete ||
      reading.parity.find_first_not_of(reading.parity.front()) != std::string::npos ||
      !HasEanCheckDigit(reading.text, reading.sum)) {
    return {};
  }
  if (!IsWholeEanSymbol(pixels, 4, reading.endPosition)) {
    return {};
  }
  return reading.text;
}

}  // namespace strixa
