// SPDX-License-Identifier: Apache-2.0
// The comb page under the fine settings: one candidate per short bar group, thousands per page,
// so localisation and decoding cost what the number of candidates makes them cost.
#include <benchmark/benchmark.h>

#include "driver/driver.h"
#include "read/pipeline.h"
#include "support/combPage.h"
#include "support/fakePlatform.h"

using namespace strixa;

namespace {

// Arguments: page width and height.
void BM_CombLocate(benchmark::State& state) {
  const Image image =
      DrawCombPage(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  Reading reading;
  for (auto _ : state) {
    LocateCandidates(image, true, reading);
    benchmark::DoNotOptimize(reading.candidateList.data());
  }
  state.counters["candidates"] = static_cast<double>(reading.candidateList.size());
}
BENCHMARK(BM_CombLocate)->Args({2500, 3500})->Args({10000, 14000})->Unit(benchmark::kMillisecond);

void BM_CombLocateAndReport(benchmark::State& state) {
  const Image image =
      DrawCombPage(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  std::size_t results = 0;
  for (auto _ : state) {
    const Reading reading = ReadPicture(image, {.scan = Scan::Fine});
    FakePlatform output;
    PrintResults(output, reading.resultList, false);
    results = output.lines.size();
  }
  state.counters["results"] = static_cast<double>(results);
}
BENCHMARK(BM_CombLocateAndReport)->Args({2500, 3500})->Unit(benchmark::kMillisecond);

}  // namespace
