// SPDX-License-Identifier: Apache-2.0
#include "support/fakePlatform.h"

#include "image/image.h"
#include "platform/bitmap.h"

namespace strixa {

bool FakePlatform::IsNonEmptyFile(const std::string& path) {
  const auto it = files.find(path);
  return it != files.end() && !it->second.empty();
}

bool FakePlatform::DecodeBitmap(const std::string& path, Image& image) {
  const auto it = files.find(path);
  return it != files.end() && DecodeBmp(it->second, image) == BmpRefusal::None;
}

void FakePlatform::WriteLine(std::string_view text) {
  lines.emplace_back(text);
  output.append(text);
  output += "\r\n";
  events.emplace_back("line");
}

void FakePlatform::SetTitle(std::string_view title) {
  titles.emplace_back(title);
  events.emplace_back("title");
}

void FakePlatform::Sleep(int milliseconds) {
  sleeps.push_back(milliseconds);
  events.push_back("sleep " + std::to_string(milliseconds));
}

}  // namespace strixa
