// SPDX-License-Identifier: Apache-2.0
#include <string>
#include <string_view>

#include <benchmark/benchmark.h>

#include "symbologies/ean13.h"
#include "symbologies/ean8.h"

using namespace strixa;

namespace {

// 2712345678902 and 24680134 as module strings.
constexpr std::string_view ean13Modules =
    "101011101100110010011011010000101000110111001"
    "01010101000010001001001000111010011100101101100101";
constexpr std::string_view ean8Modules =
    "1010010011010001101011110110111"
    "010101110010110011010000101011100101";

std::string Widened(std::string_view modules, int moduleWidth) {
  std::string pixels;
  for (char m : modules) {
    pixels.append(static_cast<std::size_t>(moduleWidth), m);
  }
  return pixels;
}

void BM_DecodeEan13Symbol(benchmark::State& state) {
  const std::string pixels = Widened(ean13Modules, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecodeEan13(pixels));
  }
}
BENCHMARK(BM_DecodeEan13Symbol)->Arg(2)->Arg(3)->Arg(8);

void BM_DecodeEan8Symbol(benchmark::State& state) {
  const std::string pixels = Widened(ean8Modules, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecodeEan8(pixels));
  }
}
BENCHMARK(BM_DecodeEan8Symbol)->Arg(2)->Arg(3)->Arg(8);

// The common case in the decoder chain: a line of another symbology, refused.
void BM_RefuseOtherLine(benchmark::State& state) {
  std::string pixels;
  for (int i = 0; i < 400; ++i) {
    pixels += i % 3 == 0 ? "1111110000" : "1100";
  }
  pixels += "1";
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecodeEan13(pixels));
    benchmark::DoNotOptimize(DecodeEan8(pixels));
  }
}
BENCHMARK(BM_RefuseOtherLine);

}  // namespace
