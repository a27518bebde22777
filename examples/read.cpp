// SPDX-License-Identifier: Apache-2.0
// read.c again on the C++ wrapper: each barcode of each bitmap as one line of x, y, width,
// height, label, text and orientation, separated by tabs.
//
//   read-cpp picture.bmp...
//
// strixa.hpp needs C++20; through CMake, Strixa::strixa asks for it. Otherwise:
//   c++ -std=c++20 read.cpp $(pkg-config --cflags --libs strixa)
#include <cstdio>
#include <exception>
#include <string_view>

#include <strixa/strixa.hpp>

namespace {

std::string_view OrientationName(strixa_orientation orientation) {
  switch (orientation) {
    case STRIXA_UPRIGHT:
      return "upright";
    case STRIXA_FLAT:
      return "flat";
    case STRIXA_UPRIGHT_REVERSED:
      return "upright reversed";
    case STRIXA_FLAT_REVERSED:
      return "flat reversed";
  }
  return "?";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s picture.bmp...\n", argv[0]);
    return 2;
  }
  int failures = 0;
  strixa::Reader reader;
  for (int i = 1; i < argc; ++i) {
    try {
      for (const strixa::Barcode& b : reader.ReadBmpFile(argv[i])) {
        const std::string_view orientation = OrientationName(b.orientation);
        std::printf("%d\t%d\t%d\t%d\t%.*s\t%.*s\t%.*s\n", b.x, b.y, b.width, b.height,
                    static_cast<int>(b.label.size()), b.label.data(),
                    static_cast<int>(b.text.size()), b.text.data(),
                    static_cast<int>(orientation.size()), orientation.data());
      }
    } catch (const strixa::Error& error) {
      std::fprintf(stderr, "%s: %s\n", argv[i], error.what());
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
