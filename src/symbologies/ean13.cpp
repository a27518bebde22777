// SPDX-License-Identifier: Apache-2.0
#include "symbologies/ean13.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

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

// How far the piece's elements lie from the pattern's, in modules times the piece's pixels.
std::size_t CountMisfit(const std::vector<std::size_t>& pixels, std::size_t piecePixels,
                        std::string_view pattern) {
  const std::vector<std::size_t> modules = RunLengths(pattern);
  std::size_t misfit = 0;
  for (std::size_t i = 0; i < modules.size() && i < pixels.size(); ++i) {
    const std::size_t measured = pixels[i] * pattern.size();
    const std::size_t due = modules[i] * piecePixels;
    misfit += measured > due ? measured - due : due - measured;
  }
  return misfit;
}

// 1 and 7, and 2 and 8, lie the same distances apart from one bar edge to the next like edge; only
// their bar widths tell them apart, and bars the threshold thickens or thins turn one into the
// other. Two such turns in one symbol can keep the check digit, so a digit of these pairs must
// fit its own pattern better than its partner's by a whole module.
bool StandsApartFromPartner(std::string_view piece, const std::array<std::string_view, 10>& set,
                            int digit) {
  constexpr int partners[10] = {-1, 7, 8, -1, -1, -1, -1, 1, 2, -1};
  const int partner = partners[digit];
  if (partner < 0) {
    return true;
  }
  const std::vector<std::size_t> pixels = RunLengths(piece);
  const std::size_t own = CountMisfit(pixels, piece.size(), set[static_cast<std::size_t>(digit)]);
  const std::size_t other =
      CountMisfit(pixels, piece.size(), set[static_cast<std::size_t>(partner)]);
  return own + piece.size() <= other;
}

// Reads one digit of set (or, failing that, of alternative) from the next four runs; -1 when
// neither matches or the digit is too close to its partner. usedAlternative tells which matched.
int TakeDigit(std::string_view pixels, int& position, const std::array<std::string_view, 10>& set,
              const std::array<std::string_view, 10>* alternative, bool& usedAlternative) {
  const std::string_view piece = TakeRuns(position, pixels, 4);
  position += static_cast<int>(piece.size());
  const std::string modules = RunsToModules(piece, 7);
  usedAlternative = false;
  int digit = FindPattern(set, modules);
  if (digit < 0 && alternative != nullptr) {
    digit = FindPattern(*alternative, modules);
    usedAlternative = digit >= 0;
  }
  if (digit < 0 || !StandsApartFromPartner(piece, usedAlternative ? *alternative : set, digit)) {
    return -1;
  }
  return digit;
}

// Spaces inside an EAN symbol are at most 4 modules wide and the quiet zone at least 7; 6 still
// tells them apart when blur moves each edge by a pixel at two pixels per module.
constexpr std::size_t quietZoneModules = 6;

// Start guard, both halves and middle guard: the modules in front of the end guard.
std::size_t ModulesBeforeEndGuard(int digitsPerHalf) {
  return static_cast<std::size_t>(14 * digitsPerHalf + 8);
}

// Whether the symbol really ends after its last digit: the line stops within the end guard (or
// what is left of it), or one of the guard's spaces or the one after it is a quiet zone. Without
// this a line through a longer symbol can pass both guards and the check digit by chance.
bool EndsAfterLastDigit(std::string_view pixels, int digitsPerHalf, int position) {
  const std::size_t symbolPixels = static_cast<std::size_t>(position - 1);
  for (int run = 1; run <= 4; ++run) {
    const std::string_view piece = TakeRuns(position, pixels, 1);
    if (piece.empty()) {
      return true;
    }
    if (run % 2 == 0 &&
        piece.size() * ModulesBeforeEndGuard(digitsPerHalf) >= symbolPixels * quietZoneModules) {
      return true;
    }
    position += static_cast<int>(piece.size());
  }
  return false;
}

// Whether every element of the start and middle guards is one module wide, give or take half a
// module, the module being the length of the runs from the start guard to the last digit over
// their modules. Resampling alone lets a two-module element pass for a guard's one, so lines
// through Code 39 or Code 128, whose elements come in whole multiples, could read as EAN.
bool HasSingleModuleGuards(std::string_view pixels, int digitsPerHalf) {
  const int middleGuard = 3 + 4 * digitsPerHalf;
  const int runCount = 8 + 8 * digitsPerHalf;
  std::vector<std::size_t> runs;
  std::size_t total = 0;
  int position = 1;
  for (int i = 0; i < runCount; ++i) {
    runs.push_back(TakeRuns(position, pixels, 1).size());
    position += static_cast<int>(runs.back());
    total += runs.back();
  }
  const std::size_t modules = ModulesBeforeEndGuard(digitsPerHalf);
  const auto singleModule = [&](std::size_t run) {
    return run * 2 * modules >= total && run * 2 * modules <= total * 3;
  };
  const auto guard = [&](int first, int count) {
    return std::all_of(runs.begin() + first, runs.begin() + first + count, singleModule);
  };
  return guard(0, 3) && guard(middleGuard, 5);
}

}  // namespace

bool IsWholeEanSymbol(std::string_view pixels, int digitsPerHalf, int endPosition) {
  return EndsAfterLastDigit(pixels, digitsPerHalf, endPosition) &&
         HasSingleModuleGuards(pixels, digitsPerHalf);
}

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
    bool setB = false;
    const int digit = TakeDigit(pixels, position, eanPatternsL, &eanPatternsG, setB);
    const char set = setB ? 'B' : 'A';
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
    bool unused = false;
    const int digit = TakeDigit(pixels, position, eanPatternsR, nullptr, unused);
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
  if (!reading.complete || !HasEanCheckDigit(reading.text, reading.sum) ||
      !IsWholeEanSymbol(pixels, 6, reading.endPosition)) {
    return {};
  }
  return reading.text;
}

}  // namespace strixa
