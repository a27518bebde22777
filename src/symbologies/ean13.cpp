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

// Whether every other digit of set, or of alternative, fits the piece's elements worse than the
// digit read. Resampling gives a window to the bar with under half its pixels dark (one of three at
// three pixels a module), so on a noisy line an edge a third of a module off turns a digit into one
// a whole module away, and two such turns can keep the check digit. An edge half a module off
// (one pixel at two pixels a module) fits both digits alike, and only rounding chose: in the left
// half the two differ in set, so two such ties change the leading digit with them and can keep
// the check digit. Refusing is enough: a line with truer edges reads the digit.
bool FitsNoOtherBetter(std::string_view piece, std::string_view pattern,
                       const std::array<std::string_view, 10>& set,
                       const std::array<std::string_view, 10>* alternative) {
  const std::vector<std::size_t> pixels = RunLengths(piece);
  const std::size_t own = CountMisfit(pixels, piece.size(), pattern);
  const auto fitsWorse = [&](std::string_view other) {
    return other == pattern || CountMisfit(pixels, piece.size(), other) > own;
  };
  return std::ranges::all_of(set, fitsWorse) &&
         (alternative == nullptr || std::ranges::all_of(*alternative, fitsWorse));
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
  if (digit < 0) {
    return -1;
  }
  const std::array<std::string_view, 10>& matched = usedAlternative ? *alternative : set;
  if (!StandsApartFromPartner(piece, matched, digit) ||
      !FitsNoOtherBetter(piece, matched[static_cast<std::size_t>(digit)], set, alternative)) {
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

// The run lengths of a whole symbol from its start guard to its last digit, and their sum.
struct Runs {
  std::vector<std::size_t> runs;
  std::size_t total = 0;
};
Runs SymbolRuns(std::string_view pixels, int digitsPerHalf) {
  Runs result;
  const int runCount = 8 + 8 * digitsPerHalf;
  int position = 1;
  for (int i = 0; i < runCount; ++i) {
    result.runs.push_back(TakeRuns(position, pixels, 1).size());
    position += static_cast<int>(result.runs.back());
    result.total += result.runs.back();
  }
  return result;
}

// Whether every element of the start and middle guards is one module wide, give or take half a
// module, the module being the length of the runs from the start guard to the last digit over
// their modules. Resampling alone lets a two-module element pass for a guard's one, so lines
// through Code 39 or Code 128, whose elements come in whole multiples, could read as EAN.
bool HasSingleModuleGuards(std::string_view pixels, int digitsPerHalf) {
  const int middleGuard = 3 + 4 * digitsPerHalf;
  const Runs symbol = SymbolRuns(pixels, digitsPerHalf);
  const std::vector<std::size_t>& runs = symbol.runs;
  const std::size_t total = symbol.total;
  const std::size_t modules = ModulesBeforeEndGuard(digitsPerHalf);
  const auto singleModule = [&](std::size_t run) {
    return run * 2 * modules >= total && run * 2 * modules <= total * 3;
  };
  const auto guard = [&](int first, int count) {
    return std::all_of(runs.begin() + first, runs.begin() + first + count, singleModule);
  };
  return guard(0, 3) && guard(middleGuard, 5);
}

// Whether every digit spans seven modules, give or take one (half a module at each end). A
// digit's four runs run from one edge to the next like edge, which a thicker or thinner threshold
// moves alike, and each digit is resampled to seven modules on its own: without this, lines
// through 2 of 5, whose spaces are all narrow, can pass digit by digit for EAN.
bool HasSevenModuleDigits(std::string_view pixels, int digitsPerHalf) {
  const Runs symbol = SymbolRuns(pixels, digitsPerHalf);
  const std::vector<std::size_t>& runs = symbol.runs;
  const std::size_t total = symbol.total;
  const std::size_t modules = ModulesBeforeEndGuard(digitsPerHalf);
  const auto sevenModules = [&](std::size_t first) {
    std::size_t span = 0;
    for (std::size_t i = first; i < first + 4; ++i) {
      span += runs[i];
    }
    const std::size_t measured = span * modules;
    return measured + total >= 7 * total && measured <= 8 * total;
  };
  for (int digit = 0; digit < digitsPerHalf; ++digit) {
    const auto left = static_cast<std::size_t>(3 + 4 * digit);
    const auto right = static_cast<std::size_t>(8 + 4 * digitsPerHalf + 4 * digit);
    if (!sevenModules(left) || !sevenModules(right)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool IsWholeEanSymbol(std::string_view pixels, int digitsPerHalf, int endPosition) {
  return EndsAfterLastDigit(pixels, digitsPerHalf, endPosition) &&
         HasSingleModuleGuards(pixels, digitsPerHalf) &&
         HasSevenModuleDigits(pixels, digitsPerHalf);
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
