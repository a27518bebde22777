// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace strixa {

struct Image;

// The program's only view of the operating system. The driver and image loading receive it;
// nothing below them does, so a whole run can execute in-process against a fake.
struct Platform {
  virtual ~Platform() = default;
  // Command-line parameters as received, program name excluded.
  virtual std::vector<std::string> Arguments() = 0;
  // True for an existing regular file of more than 0 bytes.
  virtual bool IsNonEmptyFile(const std::string& path) = 0;
  // Fills image with the bitmap's pixels (32-bit, top row first); false leaves it untouched.
  virtual bool DecodeBitmap(const std::string& path, Image& image) = 0;
  // Writes text and CR LF to standard output, byte for byte.
  virtual void WriteLine(std::string_view text) = 0;
  virtual void SetTitle(std::string_view title) = 0;
  virtual void Sleep(int milliseconds) = 0;
  virtual int CurrentYear() = 0;
};

// Loads the bitmap at path through the platform; false leaves image empty.
bool LoadImageFile(Platform& platform, const std::string& path, Image& image);

// The real operating system, for main only.
std::unique_ptr<Platform> MakeSystemPlatform(int argc, char** argv);

}  // namespace strixa
