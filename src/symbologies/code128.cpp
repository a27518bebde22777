// SPDX-License-Identifier: Apache-2.0
#include "symbologies/code128.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <span>
#include <vector>

#include "locate/candidate.h"
#include "symbologies/elements.h"

namespace strixa {

namespace {

constexpr int symbolModules = 11;
constexpr int checkModulus = 103;

constexpr bool HasModules(std::string_view pattern) { return pattern.size() == symbolModules; }

// Code sets by the index of their start pattern and their row of code128Texts.
constexpr int codeSetA = 1;
constexpr int codeSetB = 2;
constexpr int codeSetC = 3;

// Values that switch the code set for every following symbol, each in the two sets it does not
// name; in its own set the value is data (FNC4 in A and B, the digits 99 in C). SHIFT (98) only
// lends the next character to the other set and is kept as its text, so the set stays.
constexpr int codeCValue = 99;
constexpr int codeBValue = 100;
constexpr int codeAValue = 101;
// FNC1 right after Start C marks the symbol as EAN-128.
constexpr int fnc1Value = 102;

// The code set that value changes to in codeSet, or 0 when it changes nothing there.
constexpr int CodeSetChange(int codeSet, int value) {
  switch (value) {
    case codeAValue:
      return codeSet != codeSetA ? codeSetA : 0;
    case codeBValue:
      return codeSet != codeSetB ? codeSetB : 0;
    case codeCValue:
      return codeSet != codeSetC ? codeSetC : 0;
    default:
      return 0;
  }
}

// Index is the code set the start character selects.
constexpr std::array<std::string_view, 4> code128StartPatterns = {"", "11010000100", "11010010000",
                                                                  "11010011100"};
static_assert(std::all_of(code128StartPatterns.begin() + 1, code128StartPatterns.end(),
                          HasModules));

// Symbol values 0-102; "1" is a bar module.
constexpr std::array<std::string_view, 103> code128Patterns = {
    "11011001100", "11001101100", "11001100110", "10010011000", "10010001100",  // 0-4
    "10001001100", "10011001000", "10011000100", "10001100100", "11001001000",  // 5-9
    "11001000100", "11000100100", "10110011100", "10011011100", "10011001110",  // 10-14
    "10111001100", "10011101100", "10011100110", "11001110010", "11001011100",  // 15-19
    "11001001110", "11011100100", "11001110100", "11101101110", "11101001100",  // 20-24
    "11100101100", "11100100110", "11101100100", "11100110100", "11100110010",  // 25-29
    "11011011000", "11011000110", "11000110110", "10100011000", "10001011000",  // 30-34
    "10001000110", "10110001000", "10001101000", "10001100010", "11010001000",  // 35-39
    "11000101000", "11000100010", "10110111000", "10110001110", "10001101110",  // 40-44
    "10111011000", "10111000110", "10001110110", "11101110110", "11010001110",  // 45-49
    "11000101110", "11011101000", "11011100010", "11011101110", "11101011000",  // 50-54
    "11101000110", "11100010110", "11101101000", "11101100010", "11100011010",  // 55-59
    "11101111010", "11001000010", "11110001010", "10100110000", "10100001100",  // 60-64
    "10010110000", "10010000110", "10000101100", "10000100110", "10110010000",  // 65-69
    "10110000100", "10011010000", "10011000010", "10000110100", "10000110010",  // 70-74
    "11000010010", "11001010000", "11110111010", "11000010100", "10001111010",  // 75-79
    "10100111100", "10010111100", "10010011110", "10111100100", "10011110100",  // 80-84
    "10011110010", "11110100100", "11110010100", "11110010010", "11011011110",  // 85-89
    "11011110110", "11110110110", "10101111000", "10100011110", "10001011110",  // 90-94
    "10111101000", "10111100010", "11110101000", "11110100010", "10111011110",  // 95-99
    "10111101110", "11101011110", "11110101110",                                // 100-102
};
static_assert(std::ranges::all_of(code128Patterns, HasModules));

// The stop's final two-module bar is not examined.
constexpr std::string_view stopPattern = "11000111010";

// ASCII 32-126, the single-character texts of sets A and B.
constexpr std::string_view printableChars =
    " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_"
    "`abcdefghijklmnopqrstuvwxyz{|}~";
static_assert(printableChars.size() == 95);

// Set A values 64-95: the ASCII control characters 0-31.
constexpr std::array<std::string_view, 32> controlNames = {
    "<NUL>", "<SOH>", "<STX>", "<ETX>", "<EOT>", "<ENQ>", "<ACK>", "<BEL>",  // 64-71
    "<BS>",  "<HT>",  "<LF>",  "<VT>",  "<FF>",  "<CR>",  "<SO>",  "<SI>",   // 72-79
    "<DLE>", "<DC1>", "<DC2>", "<DC3>", "<DC4>", "<NAK>", "<SYN>", "<ETB>",  // 80-87
    "<CAN>", "<EM>",  "<SUB>", "<ESC>", "<FS>",  "<GS>",  "<RS>",  "<US>",   // 88-95
};

// Values 96-102 of sets A and B; set C keeps its digit pairs up to 99. The code-set changes are
// named for a complete table; decoding acts on their values and never appends these names.
constexpr std::array<std::string_view, 7> functionTextsA = {
    "<FNC3>", "<FNC2>", "<SHIFT>", "Code C", "Code B", "<FNC4>", "<FNC1>",
};
constexpr std::array<std::string_view, 7> functionTextsB = {
    "<FNC3>", "<FNC2>", "<SHIFT>", "Code C", "<FNC4>", "Code A", "<FNC1>",
};
constexpr std::array<std::string_view, 3> functionTextsC = {"Code B", "Code A", "<FNC1>"};

constexpr std::array<char, 200> digitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

using TextRow = std::array<std::string_view, 103>;

constexpr TextRow MakeTextRow(int codeSet) {
  TextRow row{};
  for (int value = 0; value < 103; ++value) {
    if (codeSet == codeSetC) {
      row[value] =
          value < 100 ? std::string_view(&digitPairs[2 * value], 2) : functionTextsC[value - 100];
    } else if (value >= 96) {
      row[value] = (codeSet == codeSetA ? functionTextsA : functionTextsB)[value - 96];
    } else if (codeSet == codeSetA && value >= 64) {
      row[value] = controlNames[value - 64];
    } else if (value == 95) {
      row[value] = "<DEL>";
    } else {
      row[value] = printableChars.substr(value, 1);
    }
  }
  return row;
}

// First index the code set (1 = A, 2 = B, 3 = C; row 0 is never read), second the value.
constexpr std::array<TextRow, 4> code128Texts = {TextRow{}, MakeTextRow(codeSetA),
                                                 MakeTextRow(codeSetB), MakeTextRow(codeSetC)};

// A code set's texts must tell every value apart, or a transcript could not be read back.
constexpr bool AllDistinct(const TextRow& row) {
  for (std::size_t i = 0; i < row.size(); ++i) {
    for (std::size_t j = i + 1; j < row.size(); ++j) {
      if (row[i].empty() || row[i] == row[j]) {
        return false;
      }
    }
  }
  return true;
}
static_assert(AllDistinct(code128Texts[1]) && AllDistinct(code128Texts[2]) &&
              AllDistinct(code128Texts[3]));

// A quiet zone is ten modules; spaces inside a symbol are at most four.
constexpr std::size_t quietZoneModules = 5;

// Whether the stop's final bar, from 1-based position, ends the line or is followed by a quiet
// zone, measured by the stop's own width of 11 modules. A stop pattern met by chance inside a
// longer symbol has bars close behind it, and with a check that passes one time in 103 its text
// would be a piece of the real one.
bool EndsAfterFinalBar(std::string_view pixels, int position, std::size_t stopPixels) {
  const std::size_t barStart = static_cast<std::size_t>(position) - 1;
  const std::size_t barEnd = pixels.find_first_not_of(pixels[barStart], barStart);
  if (barEnd == std::string_view::npos) {
    return true;
  }
  const std::size_t gapEnd =
      std::min(pixels.find_first_not_of(pixels[barEnd], barEnd), pixels.size());
  return (gapEnd - barEnd) * symbolModules >= quietZoneModules * stopPixels;
}

// How far the widths of six runs of pixels, total long, from each element's edge to the next like
// edge (bar and space, space and bar) lie from those of pattern: the sum of squares, in pixels
// times modules, or LLONG_MAX when pattern is not six elements.
long long LikeEdgeMisfit(const std::array<std::size_t, 6>& runs, std::size_t total,
                         std::string_view pattern) {
  std::array<std::size_t, 6> modules{};
  std::size_t element = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (i > 0 && pattern[i] != pattern[i - 1] && ++element == modules.size()) {
      return LLONG_MAX;
    }
    ++modules[element];
  }
  if (element + 1 != modules.size()) {
    return LLONG_MAX;
  }
  long long misfit = 0;
  for (std::size_t i = 0; i + 1 < runs.size(); ++i) {
    const long long miss = static_cast<long long>(symbolModules * (runs[i] + runs[i + 1])) -
                           static_cast<long long>(total * (modules[i] + modules[i + 1]));
    misfit += miss * miss;
  }
  return misfit;
}

// Whether modules, voted from the six runs of one character, is also the pattern whose like-edge
// widths the runs fit best. Noise that shifts an edge by a pixel at a few pixels a module tips the
// vote to a neighbouring pattern, and may tip the check character too: a symbol of one data
// character has nothing else to guard it. The like-edge widths are the ones blur and ink spread
// leave alone, so they still tell the character drawn.
bool FitsLikeEdgesBest(std::string_view runs, std::string_view modules) {
  const std::vector<std::size_t> lengths = RunLengths(runs);
  std::array<std::size_t, 6> pixelRuns{};
  if (lengths.size() != pixelRuns.size()) {
    return false;
  }
  std::ranges::copy(lengths, pixelRuns.begin());
  const long long own = LikeEdgeMisfit(pixelRuns, runs.size(), modules);
  const auto fitsBetter = [&](std::string_view pattern) {
    return !pattern.empty() && LikeEdgeMisfit(pixelRuns, runs.size(), pattern) < own;
  };
  return own != LLONG_MAX && std::ranges::none_of(code128Patterns, fitsBetter) &&
         std::ranges::none_of(code128StartPatterns, fitsBetter) && !fitsBetter(stopPattern);
}

// Values 96-98 of sets A and B, and the two names FNC4 goes by.
constexpr int fnc3Value = 96;
constexpr int fnc2Value = 97;
constexpr int shiftValue = 98;

// The group separator GS1 readers pass on for an FNC1 that is not in a leading position.
constexpr char groupSeparator = '\x1D';

// Whether value, the first after the start in codeSet, may lead an FNC1 in the second position:
// a letter in sets A and B, a digit pair in set C.
bool LeadsSecondFnc1(int codeSet, int value) {
  if (codeSet == codeSetC) {
    return value < 100;
  }
  return (value >= 33 && value <= 58) || (codeSet == codeSetB && value >= 65 && value <= 90);
}

// The symbology identifier and data bytes of the values after the start, check character
// excluded. A leading FNC1 shows only in the identifier; a later one is the group separator.
// SHIFT reads the next value in the other of sets A and B; FNC4 adds 128 to the next character,
// and two in a row do so until the next two. FNC2 and FNC3 instruct the reader and carry no data.
std::string Transmission(int codeSet, std::span<const int> values) {
  char modifier = '0';
  std::size_t first = 0;
  if (!values.empty() && values[0] == fnc1Value) {
    modifier = '1';
    first = 1;
  } else if (values.size() >= 2 && values[1] == fnc1Value && LeadsSecondFnc1(codeSet, values[0])) {
    modifier = '2';
  }
  std::string out = {']', 'C', modifier};
  bool shifted = false;
  bool extendedOnce = false;
  bool extendedLatch = false;
  int previous = -1;
  for (std::size_t i = first; i < values.size(); ++i) {
    const int value = values[i];
    const int set = shifted ? (codeSet == codeSetA ? codeSetB : codeSetA) : codeSet;
    shifted = false;
    if (modifier == '2' && i == 1) {
      previous = value;
      continue;
    }
    if (value == fnc1Value) {
      out += groupSeparator;
    } else if (set == codeSetC && value < 100) {
      out.append(&digitPairs[2 * value], 2);
    } else if (set != codeSetC && value < 96) {
      int byte = set == codeSetA && value >= 64 ? value - 64 : value + 32;
      if (extendedLatch != extendedOnce) {
        byte += 128;
      }
      extendedOnce = false;
      out += static_cast<char>(byte);
    } else if (const int newCodeSet = CodeSetChange(set, value); newCodeSet != 0) {
      codeSet = newCodeSet;
    } else if (value == shiftValue && set != codeSetC) {
      shifted = true;
    } else if (value != fnc2Value && value != fnc3Value && set != codeSetC) {
      // FNC4: the value that names no other code set.
      if (previous == value && extendedOnce) {
        extendedLatch = !extendedLatch;
        extendedOnce = false;
      } else {
        extendedOnce = true;
      }
    }
    previous = value;
  }
  return out;
}

// DecodeCode128, also handing out the start's code set and the values up to the check character.
std::string DecodeSymbol(std::string_view pixels, int* startSet, std::vector<int>* values) {
  if (pixels.size() < 22) {
    return {};
  }
  std::string text;
  std::string_view lastText;
  int codeSet = 0;
  int weight = 0;
  int lastValue = -1;
  // Kept modulo 103 as it grows, so a long line cannot overflow the sum.
  int checkSum = 0;
  int lastTerm = 0;
  int position = 1;
  for (;;) {
    const std::string_view runs = TakeRuns(position, pixels, 6);
    if (runs.empty()) {
      return {};
    }
    position += static_cast<int>(runs.size());
    const std::string modules = RunsToModules(runs, symbolModules);
    if (!FitsLikeEdgesBest(runs, modules)) {
      return {};
    }

    if (codeSet == 0) {
      codeSet = FindPattern(code128StartPatterns, modules);
      if (codeSet < 1) {
        return {};
      }
      checkSum = 102 + codeSet;
      weight = 1;
      if (startSet != nullptr) {
        *startSet = codeSet;
      }
      continue;
    }

    const int value = FindPattern(code128Patterns, modules);
    if (value >= 0) {
      lastTerm = value * (weight % checkModulus) % checkModulus;
      checkSum = (checkSum + lastTerm) % checkModulus;
      lastValue = value;
      ++weight;
      if (values != nullptr) {
        values->push_back(value);
      }
      if (const int newCodeSet = CodeSetChange(codeSet, value); newCodeSet != 0) {
        codeSet = newCodeSet;
        lastText = {};
        continue;
      }
      const std::string_view valueText = code128Texts[codeSet][value];
      if (codeSet == codeSetC && weight == 2 && value == fnc1Value) {
        // FNC1 first in set C makes the symbol EAN-128; the caller labels it by this marker.
        text += ean128Marker;
      } else {
        text += valueText;
        lastText = valueText;
      }
      continue;
    }

    // An unreadable symbol would only show as "?", itself a real character of sets A and B, so a
    // text holding one is a misread even when the check happens to pass.
    if (modules != stopPattern || lastValue < 0 ||
        !EndsAfterFinalBar(pixels, position, runs.size())) {
      return {};
    }
    const int sum = (checkSum - lastTerm + checkModulus) % checkModulus;
    text.resize(text.size() - std::min(text.size(), lastText.size()));
    return sum == lastValue ? text : std::string();
  }
}

}  // namespace

std::string DecodeCode128(std::string_view pixels) {
  return DecodeSymbol(pixels, nullptr, nullptr);
}

std::string DecodeCode128Transmission(std::string_view pixels) {
  int startSet = 0;
  std::vector<int> values;
  std::string text = DecodeSymbol(pixels, &startSet, &values);
  if (text.empty()) {
    return text;
  }
  values.pop_back();  // the check character
  text += lineDataSeparator;
  text += Transmission(startSet, values);
  return text;
}

}  // namespace strixa
