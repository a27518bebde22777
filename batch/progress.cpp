// SPDX-License-Identifier: Apache-2.0
#include "progress.h"

#include <cmath>
#include <cstdio>
#include <ostream>

namespace strixa {

namespace {

constexpr int barWidth = 30;

std::string FormatDuration(double seconds) {
  const long whole = std::lround(seconds);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  }
  return text;
}

}  // namespace

std::string ProgressText(std::size_t done, std::size_t total, double seconds) {
  const double fraction = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
  const int filled = static_cast<int>(fraction * barWidth);
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, "] %zu/%zu files  %.1f files/s  ", done, total, rate);
  std::string text = "[" + std::string(filled, '#') + std::string(barWidth - filled, '.') + numbers;
  if (done >= total) {
    text += FormatDuration(seconds) + " total";
  } else if (rate > 0) {
    text += FormatDuration(static_cast<double>(total - done) / rate) + " left";
  } else {
    text += "--:-- left";
  }
  return text;
}

void AdvanceProgress(ProgressBar& bar) {
  if (bar.out == nullptr) {
    return;
  }
  ++bar.done;
  const auto now = std::chrono::steady_clock::now();
  if (bar.done < bar.total && now - bar.lastDraw < std::chrono::milliseconds(100)) {
    return;
  }
  bar.lastDraw = now;
  const std::string text =
      ProgressText(bar.done, bar.total, std::chrono::duration<double>(now - bar.start).count());
  *bar.out << '\r' << text;
  if (text.size() < bar.drawnLength) {
    *bar.out << std::string(bar.drawnLength - text.size(), ' ');
  }
  bar.drawnLength = text.size();
  if (bar.done >= bar.total) {
    *bar.out << '\n';
    bar.drawnLength = 0;
  }
  bar.out->flush();
}

void ClearProgress(ProgressBar& bar) {
  if (bar.out == nullptr || bar.drawnLength == 0) {
    return;
  }
  *bar.out << '\r' << std::string(bar.drawnLength, ' ') << '\r';
  bar.out->flush();
  bar.drawnLength = 0;
  bar.lastDraw = {};
}

}  // namespace strixa
