#include "symbologies/ean13.h"

#include <cstddef>

#include "symbologies/elements.h"

namespace strixa {

namespace {

constexpr std::string_view eanStartGuard = "101";
constexpr std::string_view eanMiddleGuard = "01010";
constexpr int eanMinimumPixels = 22;

// Cuts the next element of runCount runs at position and resamples it to moduleCount modules.
std::string TakeModules(std::string_view pixels, int& position, int runCount, int moduleCount) {
  const std::string_view piece = TakeRuns(position, pixels, runCount);
  position += static_cast<int>(piece.size());
  return RunsToModules(piece, moduleCount);
}

int PlaceWeight(int place) { return place % 2 == 1 ? 3 : 1; }

}  // namespace

bool ReadEanSymbol(std::string_view pixels, int digitsPerHalf, EanReading& reading) {
  reading = EanReading{};
  if (pixels.size() < static_cast<std::size_t>(eanMinimumPixels)) {
    return false;
  }
  int position = 1;
  if (TakeModules(pixels, position, 3, 3) != eanStartGuard) {
    return false;
  }

  for (int place = 1; place <= digitsPerHalf; ++place) {
    const std::string modules = TakeModules(pixels, position, 4, 7);
    int digit = FindPattern(eanPatternsL, modules);
    char set = 'A';
    if (digit < 0) {
      digit = FindPattern(eanPatternsG, modules);
      set = 'B';
    }
    if (digit < 0) {
      reading.complete = false;
      continue;
    }
    reading.text += static_cast<char>('0' + digit);
    reading.parity += set;
    reading.sum += digit * PlaceWeight(place);
  }

  if (TakeModules(pixels, position, 5, 5) != eanMiddleGuard) {
    return false;
  }
  reading.text += ' ';

  for (int place = 1; place <= digitsPerHalf; ++place) {
    const int digit = FindPattern(eanPatternsR, TakeModules(pixels, position, 4, 7));
    if (digit < 0) {
      reading.complete = false;
      continue;
    }
    reading.text += static_cast<char>('0' + digit);
    // The last place carries the check digit itself.
    if (place < digitsPerHalf) {
      reading.sum += digit * PlaceWeight(place);
    }
  }
  reading.endPosition = position;
  return true;
}

bool HasEanCheckDigit(std::string_view text, int sum) {
  if (text.empty()) {
    return false;
  }
  const int remainder = sum % 10;
  const int expected = remainder == 0 ? 0 : 10 - remainder;
  return text.back() - '0' == expected;
}

std::string DecodeEan13(std::string_view pixels) {
  EanReading reading;
  if (!ReadEanSymbol(pixels, 6, reading)) {
    return {};
  }
  // An unread left-half place leaves fewer than six letters, which no entry equals.
  const int leading = FindPattern(eanParityPatterns, reading.parity);
  if (leading < 0) {
    return {};
  }
  reading.text.insert(reading.text.begin(), static_cast<char>('0' + leading));
  reading.sum += leading;
  if (!reading.complete || !HasEanCheckDigit(reading.text, reading.sum)) {
    return {};
  }
  return reading.text;
}

}  // namespace strixa
