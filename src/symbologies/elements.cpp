// SPDX-License-Identifier: Apache-2.0
#include "symbologies/elements.h"

#include <algorithm>
#include <cstddef>

namespace strixa {

std::string_view TakeRuns(int start, std::string_view pixels, int runCount) {
  if (runCount <= 0 || start < 1 || static_cast<std::size_t>(start) > pixels.size()) {
    return {};
  }
  const std::size_t first = static_cast<std::size_t>(start) - 1;
  char current = pixels[first];
  int changes = 0;
  for (std::size_t i = first; i < pixels.size(); ++i) {
    if (pixels[i] != current) {
      current = pixels[i];
      if (++changes == runCount) {
        return pixels.substr(first, i - first);
      }
    }
  }
  return {};
}

std::vector<std::size_t> RunLengths(std::string_view pixels, std::size_t count, std::size_t first) {
  std::vector<std::size_t> lengths;
  for (std::size_t i = first; i < pixels.size() && lengths.size() < count;) {
    std::size_t end = i + 1;
    while (end < pixels.size() && pixels[end] == pixels[i]) {
      ++end;
    }
    lengths.push_back(end - i);
    i = end;
  }
  return lengths;
}

std::size_t MedianOf(std::vector<std::size_t> values) {
  if (values.empty()) {
    return 0;
  }
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::ranges::nth_element(values, middle);
  return *middle;
}

std::string RunsToModules(std::string_view pixels, int moduleCount) {
  std::string expanded;
  if (moduleCount > 0 && pixels.size() % static_cast<std::size_t>(moduleCount) != 0) {
    expanded.reserve(pixels.size() * static_cast<std::size_t>(moduleCount));
    for (char c : pixels) {
      expanded.append(static_cast<std::size_t>(moduleCount), c);
    }
    pixels = expanded;
  }
  std::string modules(static_cast<std::size_t>(std::max(moduleCount, 0)), '0');
  if (moduleCount <= 0) {
    return modules;
  }
  const std::size_t window = pixels.size() / static_cast<std::size_t>(moduleCount);
  for (std::size_t k = 0; k < modules.size(); ++k) {
    std::size_t ones = 0;
    for (char c : pixels.substr(k * window, window)) {
      ones += c == '1';
    }
    if (ones >= window / 2) {
      modules[k] = '1';
    }
  }
  return modules;
}

}  // namespace strixa
