// SPDX-License-Identifier: Apache-2.0
// The comb page under the fine settings: one candidate per short bar group, thousands per page,
// so localisation and decoding cost what the number of candidates makes them cost.
#include <benchmark/benchmark.h>

#include "driver/driver.h"
#include "driver/report.h"
#include "support/combPage.h"
#include "support/fakePlatform.h"

using namespace strixa;

namespace {

// Arguments: page width and height.
void BM_CombLocate(benchmark::State& state) {
  RunState run;
  run.fineScan = true;
  run.image = DrawCombPage(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    LocateCandidates(run);
    benchmark::DoNotOptimize(run.candidateList.data());
  }
  state.counters["candidates"] = static_cast<double>(run.candidateList.size());
}
BENCHMARK(BM_CombLocate)->Args({2500, 3500})->Args({10000, 14000})->Unit(benchmark::kMillisecond);

void BM_CombLocateAndReport(benchmark::State& state) {
  RunState run;
  run.fineScan = true;
  run.image = DrawCombPage(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  std::size_t results = 0;
  for (auto _ : state) {
    LocateCandidates(run);
    FakePlatform output;
    ReportResults(output, run);
    results = output.lines.size();
  }
  state.counters["results"] = static_cast<double>(results);
}
BENCHMARK(BM_CombLocateAndReport)->Args({2500, 3500})->Unit(benchmark::kMillisecond);

}  // namespace
