// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace strixa {

struct Image;

// A grey picture, top row first, rows without gaps.
struct GreyPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> grey;
  bool operator==(const GreyPicture&) const = default;
};

// The grey (green) bytes of a drawn picture.
GreyPicture GreyOf(const Image& image);

// Each grey byte three times over: the same picture as RGB.
std::vector<std::uint8_t> RgbOf(const GreyPicture& picture);

// Files of the picture in each format, written with the format's own library (PDF and PNM by
// hand: a page holding the picture as an uncompressed image at 72 dpi, one pixel a point).
// False when the library is not built in or the file cannot be written.
bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool WritePng(const std::string& path, const GreyPicture& picture, bool colour);
bool WriteJpeg(const std::string& path, const GreyPicture& picture, bool colour, int quality,
               bool progressive = false);
bool WriteTiff(const std::string& path, const std::vector<GreyPicture>& pages, bool colour);
bool WriteWebp(const std::string& path, const GreyPicture& picture);
std::vector<std::uint8_t> MakePdf(const std::vector<GreyPicture>& pages);
std::vector<std::uint8_t> MakePgm(const GreyPicture& picture);

}  // namespace strixa
