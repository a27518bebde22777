#include "symbologies/interleavedTwoOfFive.h"

#include "symbologies/elements.h"
#include "symbologies/twoOfFive.h"

namespace {

// Narrow bar, narrow space, narrow bar, narrow space.
constexpr std::string_view interleavedStart = "1010";

}  // namespace

std::string DecodeInterleavedTwoOfFive(std::string_view pixels) {
  if (pixels.size() < 22) {
    return {};
  }
  int position = 1;
  const std::string_view start = TakeRuns(position, pixels, 4);
  if (RunsToModules(start, 4) != interleavedStart) {
    return {};
  }
  position += static_cast<int>(start.size());

  // Each group of ten runs carries a pair: the bars spell the first digit, the spaces the
  // second. The stop has fewer runs, so reading ends before it.
  std::string digits;
  for (std::string_view group = TakeRuns(position, pixels, 10); !group.empty();
       group = TakeRuns(position, pixels, 10)) {
    position += static_cast<int>(group.size());
    const std::string letters = RunsToTwoOfFiveWidths(group);
    digits += WidthsToTwoOfFiveDigit(letters, 0);
    digits += WidthsToTwoOfFiveDigit(letters, 1);
  }
  if (digits.find('?') != std::string::npos || digits.size() < 2) {
    return {};
  }
  return digits;
}
