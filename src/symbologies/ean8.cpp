#include "symbologies/ean8.h"

#include <cstddef>

#include "symbologies/ean13.h"
#include "symbologies/elements.h"

namespace strixa {

std::string DecodeEan8(std::string_view pixels) {
  EanReading reading;
  if (!ReadEanSymbol(pixels, 4, reading)) {
    return {};
  }
  // Either set is accepted on the left and gives the same digit, so the letters go unused.
  if (!reading.complete || !HasEanCheckDigit(reading.text, reading.sum)) {
    return {};
  }
  if (!IsWholeEanSymbol(pixels, 4, reading.endPosition)) {
    return {};
  }
  return reading.text;
}

}  // namespace strixa
