// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <string>

namespace strixa {

// The text of the progress bar after done of total files in seconds: a bar, the count, files
// per second and the time left.
std::string ProgressText(std::size_t done, std::size_t total, double seconds);

// Draws the bar on one line of standard error, redrawing it in place at most ten times a second.
struct ProgressBar {
  std::ostream* out = nullptr;  // null: no bar
  std::size_t total = 0;
  std::size_t done = 0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastDraw{};
  std::size_t drawnLength = 0;
};

// Counts one more file done and redraws if it is time (always after the last).
void AdvanceProgress(ProgressBar& bar);

// Blanks the bar's line, so a message can take it; the next advance draws the bar again.
void ClearProgress(ProgressBar& bar);

}  // namespace strixa
