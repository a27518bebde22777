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

constexpr int symbolModules = code128SymbolModules;
constexpr int checkModulus = 103;

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

// The text of the values after the start, check character excluded: control and function
// characters as bracketed names, code-set changes leave no text, and FNC1 right after Start C
// becomes the EAN-128 marker.
std::string Transcript(int codeSet, std::span<const int> values) {
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int value = values[i];
    if (const int newCodeSet = CodeSetChange(codeSet, value); newCodeSet != 0) {
      codeSet = newCodeSet;
    } else if (codeSet == codeSetC && i == 0 && value == fnc1Value) {
      // FNC1 first in set C makes the symbol EAN-128; the caller labels it by this marker.
      text += ean128Marker;
    } else {
      text += code128Texts[codeSet][value];
    }
  }
  return text;
}

// DecodeCode128, also handing out the start's code set and the values up to the check character.
std::string DecodeSymbol(std::string_view pixels, int* startSet, std::vector<int>* values) {
  if (pixels.size() < 22) {
    return {};
  }
  std::vector<int> read;
  int codeSet = 0;
  int weight = 0;
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
      continue;
    }

    const int value = FindPattern(code128Patterns, modules);
    if (value >= 0) {
      lastTerm = value * (weight % checkModulus) % checkModulus;
      checkSum = (checkSum + lastTerm) % checkModulus;
      ++weight;
      read.push_back(value);
      continue;
    }

    // An unreadable symbol would only show as "?", itself a real character of sets A and B, so a
    // text holding one is a misread even when the check happens to pass.
    if (modules != stopPattern || read.empty() ||
        !EndsAfterFinalBar(pixels, position, runs.size())) {
      return {};
    }
    const int sum = (checkSum - lastTerm + checkModulus) % checkModulus;
    if (sum != read.back()) {
      return {};
    }
    // The start's code set; the values change the set only inside the transcript.
    if (startSet != nullptr) {
      *startSet = codeSet;
    }
    read.pop_back();
    if (values != nullptr) {
      *values = read;
    }
    return Transcript(codeSet, read);
  }
}

}  // namespace

std::string DecodeCode128(std::string_view pixels) {
  return DecodeSymbol(pixels, nullptr, nullptr);
}

std::string DecodeCode128Transmission(std::string_view pixels) {
  int startSet = 0;
  std::vector<int> values;
  DecodeSymbol(pixels, &startSet, &values);
  return Code128TextOfValues(startSet, values);
}

std::string Code128TextOfValues(int startSet, std::span<const int> values) {
  if (startSet < codeSetA || startSet > codeSetC) {
    return {};
  }
  std::string text = Transcript(startSet, values);
  if (text.empty()) {
    return text;
  }
  text += lineDataSeparator;
  text += Transmission(startSet, values);
  return text;
}

}  // namespace strixa
