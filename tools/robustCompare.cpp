// SPDX-License-Identifier: Apache-2.0
// Draws the hard pictures the second engine is for, and reads each with the document pipeline and
// with the second engine: `strixa_robust_compare <folder>` writes each picture there as a PGM,
// for other readers to try, and prints one line per picture. `strixa_robust_compare --time
// <bitmap> [runs] [document|robust|both]` times each engine and both together (as strixa-batch
// reads) on one bitmap, or only the one named (for a profiler).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "image/image.h"
#include "platform/bitmap.h"
#include "read/engine.h"
#include "read/pipeline.h"
#include "robust/robust.h"
#include "support/code128Encoder.h"
#include "support/code39Encoder.h"
#include "support/eanEncoder.h"
#include "support/turnedSymbol.h"
#include "support/twoOfFiveEncoder.h"

namespace strixa {
namespace {

std::string Texts(const Reading& reading) {
  std::string out;
  for (const Candidate& c : reading.resultList) {
    out += (out.empty() ? "" : " | ") + std::string(PrintedPart(ResultLine(c.symbology, c.text)));
  }
  return out.empty() ? "-" : out;
}

std::string Texts(const std::vector<RobustBarcode>& barcodes) {
  std::string out;
  for (const RobustBarcode& b : barcodes) {
    out += (out.empty() ? "" : " | ") + std::string(PrintedPart(ResultLine(b.symbology, b.text)));
  }
  return out.empty() ? "-" : out;
}

double Milliseconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
      .count();
}

int TimeBitmap(const char* path, int runs, std::string_view only) {
  Image image;
  if (ReadBmpFile(path, image) != BmpRefusal::None) {
    std::fprintf(stderr, "cannot read %s\n", path);
    return 1;
  }
  const auto timed = [&](std::string_view name, const auto& read) {
    if (!only.empty() && only != name) {
      return 0.0;
    }
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) {
      read();
    }
    return Milliseconds(start) / runs;
  };
  Reading reading;
  const double document = timed("document", [&] { reading = ReadPicture(image, ReadOptions{}); });
  std::vector<RobustBarcode> barcodes;
  const double robust = timed("robust", [&] { barcodes = ReadRobust(image); });
  std::vector<EngineResult> merged;
  const double both =
      timed("both", [&] { merged = ReadWithEngine(image, Engine::Both, Scan::Normal); });
  std::printf(
      "%dx%d document %.1f ms (%zu read), robust %.1f ms (%zu read), both %.1f ms (%zu "
      "read): %s\n",
      image.imageWidth, image.imageHeight, document, reading.resultList.size(), robust,
      barcodes.size(), both, merged.size(), Texts(barcodes).c_str());
  return 0;
}

std::vector<int> SetB(std::string_view text) {
  std::vector<int> values = {104};
  for (const char c : text) {
    values.push_back(c - 32);
  }
  return values;
}

int DrawAndRead(const std::string& folder) {
  const std::string ean13 = EncodeEan13("5901234123457");
  const std::string code128 = EncodeCode128(SetB("Strixa-1"));
  const std::string code39 = Code39Pixels("*STRIXA-39*", 1, 3, 1);
  const std::string itf = InterleavedTwoOfFivePixels("04012345", 1, 3);
  struct Case {
    const char* name;
    Drawing drawing;
  };
  const Case cases[] = {
      {"code128-no-margin", {.modules = code128, .margin = 0}},
      {"code39-mid-grey", {.modules = code39, .ink = 40, .paper = 128}},
      {"ean13-light-100-35", {.modules = ean13, .darkestLight = 0.35}},
      {"ean13-blur-2.5-4px", {.modules = ean13, .module = 4, .blur = 2.5}},
      {"ean13-blur-2.5-5px", {.modules = ean13, .module = 5, .blur = 2.5}},
      {"ean13-blur-1.5", {.modules = ean13, .module = 3, .blur = 1.5}},
      {"ean13-turned-30",
       {.modules = ean13, .height = 120, .angle = 30, .width = 320, .heightPx = 280}},
      {"code128-turned-45",
       {.modules = code128, .height = 120, .angle = 45, .width = 340, .heightPx = 340}},
      {"itf-turned-200",
       {.modules = itf, .height = 80, .angle = 200, .width = 260, .heightPx = 200}},
      {"ean13-light-on-dark", {.modules = ean13, .ink = 255, .paper = 0}},
      {"ean13-1.5px", {.modules = ean13, .module = 1.5}},
      {"code128-1.5px", {.modules = code128, .module = 1.5}},
      {"code39-turned-45",
       {.modules = code39, .height = 120, .angle = 45, .width = 340, .heightPx = 340}},
  };
  for (const Case& c : cases) {
    Picture picture;
    DrawSymbol(c.drawing, picture);
    const std::string path = folder + "/" + c.name + ".pgm";
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << picture.image.imageWidth << " " << picture.image.imageHeight << "\n255\n";
    out.write(reinterpret_cast<const char*>(picture.grey.data()),
              static_cast<std::streamsize>(picture.grey.size()));
    const Reading reading = ReadPicture(picture.image, ReadOptions{});
    const std::vector<RobustBarcode> barcodes = ReadRobust(picture.image);
    std::printf("%s\tdocument: %s\trobust: %s\n", c.name, Texts(reading).c_str(),
                Texts(barcodes).c_str());
  }
  return 0;
}

}  // namespace
}  // namespace strixa

int main(int argc, char** argv) {
  if (argc >= 3 && std::string_view(argv[1]) == "--time") {
    return strixa::TimeBitmap(argv[2], argc >= 4 ? std::atoi(argv[3]) : 3,
                              argc >= 5 ? argv[4] : "");
  }
  if (argc != 2) {
    std::fprintf(stderr,
                 "usage: strixa_robust_compare <folder> | --time <bitmap> [runs] "
                 "[document|robust|both]\n");
    return 2;
  }
  return strixa::DrawAndRead(argv[1]);
}
