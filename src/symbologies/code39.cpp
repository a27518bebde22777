#include "symbologies/code39.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "symbologies/elements.h"

namespace strixa {

namespace {

// Bar first, bars and spaces alternating; "W" wide, "N" narrow, three wide in each.
constexpr std::array<std::string_view, 44> code39WidthPatterns = {
    "NNNWWNWNN", "WNNWNNNNW", "NNWWNNNNW", "WNWWNNNNN", "NNNWWNNNW",  // 0-4
    "WNNWWNNNN", "NNWWWNNNN", "NNNWNNWNW", "WNNWNNWNN", "NNWWNNWNN",  // 5-9
    "WNNNNWNNW", "NNWNNWNNW", "WNWNNWNNN", "NNNNWWNNW", "WNNNWWNNN",  // A-E
    "NNWNWWNNN", "NNNNNWWNW", "WNNNNWWNN", "NNWNNWWNN", "NNNNWWWNN",  // F-J
    "WNNNNNNWW", "NNWNNNNWW", "WNWNNNNWN", "NNNNWNNWW", "WNNNWNNWN",  // K-O
    "NNWNWNNWN", "NNNNNNWWW", "WNNNNNWWN", "NNWNNNWWN", "NNNNWNWWN",  // P-T
    "WWNNNNNNW", "NWWNNNNNW", "WWWNNNNNN", "NWNNWNNNW", "WWNNWNNNN",  // U-Y
    "NWWNWNNNN", "NWNNNNWNW", "WWNNNNWNN", "NWWNNNWNN", "NWNWNWNNN",  // Z - . space $
    "NWNWNNNWN", "NWNNNWNWN", "NNNWNWNWN", "NWNNWNWNN",               // / + % *
};
static_assert(std::ranges::all_of(code39WidthPatterns, [](std::string_view p) {
  return p.size() == 9 && std::ranges::count(p, 'W') == 3;
}));

constexpr std::string_view code39Chars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*";
static_assert(code39Chars.size() == code39WidthPatterns.size());

constexpr int startIndex = 43;
constexpr std::size_t maxDataChars = 1000;

}  // namespace

std::string RunsToCode39Widths(std::string_view runs) {
  const std::size_t unit = runs.size() / 9;
  std::string widths;
  std::size_t runStart = 0;
  for (std::size_t i = 1; i < runs.size(); ++i) {
    if (runs[i] != runs[runStart]) {
      widths += i - runStart > unit ? 'W' : 'N';
      runStart = i;
    }
  }
  return widths;
}

std::string DecodeCode39(std::string_view pixels) {
  if (pixels.size() < 22) {
    return {};
  }
  std::string text;
  bool started = false;
  int position = 1;
  // Characters past the cap are never looked at, so an unreadable one there does not refuse.
  while (text.size() < maxDataChars) {
    const std::string_view runs = TakeRuns(position, pixels, 10);
    if (runs.empty()) {
      break;
    }
    position += static_cast<int>(runs.size());
    const int index = FindPattern(code39WidthPatterns, RunsToCode39Widths(runs));
    if (!started) {
      // Only the first ten runs may hold the start; no other offset is tried.
      if (index != startIndex) {
        return {};
      }
      started = true;
    } else if (index < 0) {
      return {};
    } else {
      text += code39Chars[static_cast<std::size_t>(index)];
    }
  }
  // A stop followed by a few more dark pixels is read; one that ends the line never is.
  if (!text.empty() && text.back() == '*') {
    text.pop_back();
  }
  if (text.size() < 2) {
    return {};
  }
  return text;
}

}  // namespace strixa
