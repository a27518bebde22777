#include "symbologies/ean8.h"

#include <cstddef>

#include "symbologies/ean13.h"
#include "symbologies/elements.h"

namespace strixa {

namespace {

// Start guard, eight digits and middle guard: the modules in front of the end guard.
constexpr std::size_t modulesBeforeEndGuard = 64;
// Spaces inside an EAN symbol are at most 4 modules wide and the quiet zone at least 7; 6 still
// tells them apart when blur moves each edge by a pixel at two pixels per module.
constexpr std::size_t quietZoneModules = 6;

// Whether the symbol really ends after its last digit: the line stops within the end guard (or
// what is left of it), or one of the guard's spaces or the one after it is a quiet zone. Without
// this an EAN-13 line can pass both guards and the check digit by chance and read as a wrong
// EAN-8 number.
bool EndsAfterLastDigit(std::string_view pixels, int position) {
  const std::size_t symbolPixels = static_cast<std::size_t>(position - 1);
  for (int run = 1; run <= 4; ++run) {
    const std::string_view piece = TakeRuns(position, pixels, 1);
    if (piece.empty()) {
      return true;
    }
    if (run % 2 == 0 && piece.size() * modulesBeforeEndGuard >= symbolPixels * quietZoneModules) {
      return true;
    }
    position += static_cast<int>(piece.size());
  }
  return false;
}

// Whether every element of the start and middle guards is one module wide, give or take half a
// module, the module being the length of the 40 runs from the start guard to the last digit over
// their 64 modules. Resampling alone lets a two-module element pass for a guard's one, so lines
// through Code 39 or Code 128, whose elements come in whole multiples, could read as EAN-8.
bool HasSingleModuleGuards(std::string_view pixels) {
  std::size_t runs[40] = {};
  std::size_t total = 0;
  int position = 1;
  for (std::size_t& run : runs) {
    run = TakeRuns(position, pixels, 1).size();
    position += static_cast<int>(run);
    total += run;
  }
  const auto singleModule = [total](std::size_t run) {
    return run * 2 * modulesBeforeEndGuard >= total && run * 2 * modulesBeforeEndGuard <= total * 3;
  };
  // Runs 1 to 3 are the start guard, 20 to 24 the middle guard.
  for (std::size_t i : {0, 1, 2, 19, 20, 21, 22, 23}) {
    if (!singleModule(runs[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string DecodeEan8(std::string_view pixels) {
  EanReading reading;
  if (!ReadEanSymbol(pixels, 4, reading)) {
    return {};
  }
  // Either set is accepted on the left and gives the same digit, so the letters go unused.
  if (!reading.complete || !HasEanCheckDigit(reading.text, reading.sum)) {
    return {};
  }
  if (!EndsAfterLastDigit(pixels, reading.endPosition) || !HasSingleModuleGuards(pixels)) {
    return {};
  }
  return reading.text;
}

}  // namespace strixa
