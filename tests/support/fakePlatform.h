// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace strixa {

// A platform that records what the program does and serves files from memory, so a whole run
// executes in-process without waiting.
class FakePlatform final : public Platform {
 public:
  std::vector<std::string> arguments;
  std::map<std::string, std::vector<std::uint8_t>> files;  // path -> bytes (bitmaps or not)
  int year = 2026;

  std::vector<std::string> lines;  // each as written, without its CR LF
  std::string output;              // every byte written, CR LF included
  std::vector<std::string> titles;
  std::vector<int> sleeps;
  std::vector<std::string> events;  // "line", "title", "sleep N" in the order they happened

  std::vector<std::string> Arguments() override { return arguments; }
  bool IsNonEmptyFile(const std::string& path) override;
  bool DecodeBitmap(const std::string& path, Image& image) override;
  void WriteLine(std::string_view text) override;
  void SetTitle(std::string_view title) override;
  void Sleep(int milliseconds) override;
  int CurrentYear() override { return year; }
};

}  // namespace strixa
