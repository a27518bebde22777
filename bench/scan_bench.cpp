// SPDX-License-Identifier: Apache-2.0
#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "image/image.h"
#include "locate/candidate.h"
#include "locate/scan.h"
#include "platform/memory.h"

using namespace strixa;

namespace {

constexpr int pageWidth = 2500;
constexpr int pageHeight = 3500;

void PaintDark(Image& image, int x, int y, int width, int height) {
  for (int row = y; row < y + height; ++row) {
    std::memset(&image.pixelBuffer[static_cast<std::size_t>(row - 1) * image.rowPitch +
                                   static_cast<std::size_t>(x - 1) * 4],
                0, static_cast<std::size_t>(width) * 4);
  }
}

// A scanned page: a few barcode-like bar groups standing upright and lying flat, or nothing.
Image MakePage(bool withBars) {
  Image image;
  AllocatePixelBuffer(pageWidth, pageHeight, image);
  std::memset(image.pixelBuffer.get(), 255,
              static_cast<std::size_t>(image.rowPitch) * static_cast<std::size_t>(pageHeight));
  if (!withBars) {
    return image;
  }
  constexpr std::string_view modules =
      "1010001101100101001100100110111101010001101011100101011011001000010101";
  struct Group {
    int x, y, moduleWidth, length;
    bool flat;
  };
  const std::vector<Group> groups = {
      {200, 300, 3, 250, false},  {1300, 250, 2, 180, false}, {400, 1200, 4, 300, true},
      {1500, 1100, 3, 220, true}, {300, 2600, 2, 150, false}, {1700, 2500, 3, 260, true},
      {900, 3100, 2, 120, false},
  };
  for (const Group& g : groups) {
    for (std::size_t i = 0; i < modules.size(); ++i) {
      const int offset = static_cast<int>(i) * g.moduleWidth;
      if (modules[i] != '1') {
        continue;
      }
      if (g.flat) {
        PaintDark(image, g.x, g.y + offset, g.length, g.moduleWidth);
      } else {
        PaintDark(image, g.x + offset, g.y, g.moduleWidth, g.length);
      }
    }
  }
  return image;
}

using Pass = void (*)(const Image&, int, bool, std::vector<Candidate>&);

void RunPass(benchmark::State& state, Pass pass) {
  const Image image = MakePage(state.range(0) != 0);
  const bool fineScan = state.range(1) != 0;
  std::vector<Candidate> candidateList;
  for (auto _ : state) {
    candidateList.clear();
    pass(image, 200, fineScan, candidateList);
    benchmark::DoNotOptimize(candidateList.data());
  }
  state.counters["candidates"] = static_cast<double>(candidateList.size());
}

void BenchmarkScanHorizontal(benchmark::State& state) { RunPass(state, ScanHorizontal); }
void BenchmarkScanVertical(benchmark::State& state) { RunPass(state, ScanVertical); }

// Arguments: bars (1) or blank (0), fine scan (1) or normal (0).
BENCHMARK(BenchmarkScanHorizontal)
    ->ArgsProduct({{1, 0}, {0, 1}})
    ->ArgNames({"bars", "fine"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BenchmarkScanVertical)
    ->ArgsProduct({{1, 0}, {0, 1}})
    ->ArgNames({"bars", "fine"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
