// SPDX-License-Identifier: Apache-2.0
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "symbologies/ean13.h"
#include "symbologies/ean8.h"
#include "symbologies/elements.h"

using namespace strixa;

namespace {

// The standard check: weights 3 and 1 alternate from the digit before the check digit leftwards.
bool CheckDigitHolds(std::string_view digits) {
  int sum = 0;
  int weight = 3;
  for (std::size_t i = digits.size() - 1; i-- > 0;) {
    sum += (digits[i] - '0') * weight;
    weight = 4 - weight;
  }
  return (sum + digits.back() - '0') % 10 == 0;
}

// A read is either nothing or digits with one space at the middle and a valid check digit.
void RequireWellFormed(const std::string& text, std::size_t size, std::size_t space) {
  if (text.empty()) {
    return;
  }
  if (text.size() != size || text[space] != ' ') {
    __builtin_trap();
  }
  std::string digits;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i != space) {
      if (text[i] < '0' || text[i] > '9') {
        __builtin_trap();
      }
      digits += text[i];
    }
  }
  if (!CheckDigitHolds(digits)) {
    __builtin_trap();
  }
}

}  // namespace

// The first byte picks raw text or run lengths (one run of 1 to 8 pixels per byte, bars first),
// which reach far deeper into the symbol than random characters.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  std::string pixels;
  if (data[0] % 4 == 0) {
    pixels.assign(reinterpret_cast<const char*>(data + 1), size - 1);
  } else {
    char pixel = '1';
    for (std::size_t i = 1; i < size; ++i) {
      pixels.append(1 + data[i] % 8, pixel);
      pixel = pixel == '1' ? '0' : '1';
    }
  }
  RequireWellFormed(DecodeEan13(pixels), 14, 7);
  RequireWellFormed(DecodeEan8(pixels), 9, 4);
  const int moduleCount = 1 + data[0] % 11;
  const std::string_view piece = TakeRuns(1 + data[0] % 5, pixels, 1 + data[0] % 6);
  if (RunsToModules(piece, moduleCount).size() != static_cast<std::size_t>(moduleCount)) {
    __builtin_trap();
  }
  return 0;
}
