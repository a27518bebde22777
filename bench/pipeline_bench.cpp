// SPDX-License-Identifier: Apache-2.0
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>

#include "decode/dispatcher.h"
#include "driver/driver.h"
#include "image/image.h"
#include "locate/candidate.h"
#include "platform/memory.h"
#include "platform/platform.h"
#include "read/pipeline.h"

using namespace strixa;

namespace {

// Output and pauses go nowhere, so only the work is timed.
class SilentPlatform final : public Platform {
 public:
  int lineCount = 0;
  std::vector<std::string> Arguments() override { return {}; }
  bool IsNonEmptyFile(const std::string&) override { return false; }
  bool DecodeBitmap(const std::string&, Image&) override { return false; }
  void WriteLine(std::string_view) override { ++lineCount; }
  void SetTitle(std::string_view) override {}
  void Sleep(int) override {}
  int CurrentYear() override { return 2026; }
};

Image MakeWhitePicture(int width, int height) {
  Image image;
  AllocatePixelBuffer(width, height, image);
  std::memset(image.pixelBuffer.get(), 255, static_cast<std::size_t>(width) * height * 4);
  return image;
}

// Paints columns x..x+width-1 of rows y..y+height-1 black.
void FillBlack(Image& image, int x, int y, int width, int height) {
  for (int row = y; row < y + height; ++row) {
    std::memset(&image.pixelBuffer[static_cast<std::size_t>(row - 1) * image.rowPitch +
                                   static_cast<std::size_t>(x - 1) * 4],
                0, static_cast<std::size_t>(width) * 4);
  }
}

// Bars from a module string ("1" = bar), upright from column x or lying flat from row y.
void DrawModules(Image& image, std::string_view modules, int moduleWidth, int x, int y, int length,
                 bool flat) {
  for (std::size_t i = 0; i < modules.size(); ++i) {
    if (modules[i] == '1') {
      const int offset = static_cast<int>(i) * moduleWidth;
      if (flat) {
        FillBlack(image, x, y + offset, length, moduleWidth);
      } else {
        FillBlack(image, x + offset, y, moduleWidth, length);
      }
    }
  }
}

// EAN-13 4006381333931 and UPC-A 036000291452, guard to guard.
constexpr std::string_view ean13Modules =
    "101000110101001110101111011110100010010110011"   // start guard, left half
    "01010"                                           // centre guard
    "100001010000101000010111010010000101100110101";  // right half, end guard
constexpr std::string_view upcModules =
    "101000110101111010101111000110100011010001101"   // start guard, left half
    "01010"                                           // centre guard
    "110110011101001100110101110010011101101100101";  // right half, end guard

// Even bars 4 pixels wide and 4 apart: something for the scan to find that no decoder reads.
std::string MakeEvenBars() {
  std::string modules;
  for (int i = 0; i < 25; ++i) {
    modules += "10";
  }
  return modules;
}

// The worst case for one candidate: 85 lines, each read both ways by all six decoders.
void BM_DecodeUnreadableCandidate(benchmark::State& state) {
  Image image = MakeWhitePicture(400, 200);
  DrawModules(image, MakeEvenBars(), 4, 100, 50, 80, false);
  int lineThreshold = 160;
  std::string text;
  for (auto _ : state) {
    Candidate candidate{59, 41, 294, 90, Orientation::Horizontal, ""};
    text = DecodeCandidate(image, candidate, lineThreshold).text;
    benchmark::DoNotOptimize(text);
  }
  state.counters["read"] = text.empty() ? 0 : 1;
  state.SetItemsProcessed(state.iterations() * 85);
}
BENCHMARK(BM_DecodeUnreadableCandidate);

std::string Refuse(std::string_view) { return {}; }

// The same candidate with decoders that refuse at once: what sampling alone costs.
void BM_SampleUnreadableCandidate(benchmark::State& state) {
  Image image = MakeWhitePicture(400, 200);
  DrawModules(image, MakeEvenBars(), 4, 100, 50, 80, false);
  const DecoderChain refuseAll = {Refuse, Refuse, Refuse, Refuse, Refuse, Refuse};
  int lineThreshold = 160;
  for (auto _ : state) {
    Candidate candidate{59, 41, 294, 90, Orientation::Horizontal, ""};
    benchmark::DoNotOptimize(DecodeCandidate(image, candidate, lineThreshold, refuseAll));
  }
  state.SetItemsProcessed(state.iterations() * 85);
}
BENCHMARK(BM_SampleUnreadableCandidate);

// A page-sized scan: two upright symbols (one mirrored, so it reads only reversed), one lying
// flat, and one field of even bars.
void BM_LocateAndReport(benchmark::State& state) {
  Image image = MakeWhitePicture(2500, 3500);
  std::string mirrored(ean13Modules.rbegin(), ean13Modules.rend());
  DrawModules(image, ean13Modules, 3, 300, 400, 250, false);
  DrawModules(image, upcModules, 3, 1500, 1200, 250, true);
  DrawModules(image, mirrored, 3, 1200, 2600, 250, false);
  DrawModules(image, MakeEvenBars(), 4, 400, 2000, 200, false);
  SilentPlatform platform;
  Reading reading;
  for (auto _ : state) {
    reading = ReadPicture(image, {});
    PrintResults(platform, reading.resultList, false);
  }
  state.counters["candidates"] = static_cast<double>(reading.candidateList.size());
  state.counters["results"] = static_cast<double>(reading.resultList.size());
}
BENCHMARK(BM_LocateAndReport)->Unit(benchmark::kMillisecond);

}  // namespace
