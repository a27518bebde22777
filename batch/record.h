// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <array>
#include <string>
#include <vector>

namespace strixa {

// One barcode as the output writes it; copied out of the reader, which reuses its strings.
struct BarcodeRecord {
  int page = 1;
  std::string symbology;  // as --symbologies names it
  std::string label;
  std::string text;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  std::string orientation;
  std::string data;                               // the bytes encoded, NUL bytes included
  std::string symbologyId;                        // "]C1" and so on
  std::array<std::array<float, 2>, 4> corners{};  // x, y of each, in the library's order
  float angle = 0;
};

// What reading one input gave: its barcodes (from the pages read before any failure) and, for
// a file that could not be read, why.
struct FileRecord {
  std::string path;
  std::vector<BarcodeRecord> barcodes;
  std::string error;
};

}  // namespace strixa
