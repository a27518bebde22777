// A whole run without its pauses: load a 2500 x 3500 scan from disk, localise, decode every
// symbology, consolidate and print.
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "driver/driver.h"
#include "driver/report.h"
#include "platform/platform.h"
#include "support/builders.h"
#include "support/code128Encoder.h"
#include "support/code39Encoder.h"
#include "support/eanEncoder.h"
#include "support/fakePlatform.h"
#include "support/twoOfFiveEncoder.h"

using namespace strixa;

namespace {

struct TempFile {
  std::string path;
  ~TempFile() { std::filesystem::remove(path); }
};

// Eight symbols, one of each kind and one lying flat, spread over a grey page.
const std::string& ScanPath() {
  static const TempFile scan{[] {
    Image page = MakeBlankImage(2500, 3500, 236);
    DrawBars(page, Widen(EncodeEan13("5901234123457"), 3), 1, 200, 300, 150);
    DrawBars(page, Widen(EncodeCode128({105, 102, 1, 23, 45, 67}), 3), 1, 1400, 300, 150);
    DrawBars(page, Widen(EncodeCode128({104, 51, 84, 82, 73, 88, 65}), 2), 1, 200, 900, 150);
    DrawBars(page, Code39Pixels("*STRIXA-39*", 2, 5, 2), 1, 1400, 900, 150);
    DrawBars(page, Widen(EncodeEan8("96385074"), 3), 1, 200, 1600, 150);
    DrawBars(page, InterleavedTwoOfFivePixels("04012345", 3, 8), 1, 1400, 1600, 150);
    DrawBars(page, TwoOfFivePixels("123456", 3, 8), 1, 200, 2400, 150);
    DrawBars(page, Widen(EncodeEan13("0036000291452"), 3), 1, 1500, 2300, 200, true);
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("strixa-run-bench-" + std::to_string(::getpid()) + ".bmp"))
                                 .string();
    const std::vector<std::uint8_t> bytes = MakeBmp(page);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }()};
  return scan.path;
}

void BM_WholeRunWithoutPauses(benchmark::State& state) {
  const std::unique_ptr<Platform> system = MakeSystemPlatform(0, nullptr);
  std::size_t results = 0;
  for (auto _ : state) {
    RunState run;
    if (!LoadImageFile(*system, ScanPath(), run.image)) {
      state.SkipWithError("the scan did not load");
      break;
    }
    LocateCandidates(run);
    FakePlatform output;
    ReportResults(output, run);
    results = output.lines.size();
  }
  state.counters["results"] = static_cast<double>(results);
}
BENCHMARK(BM_WholeRunWithoutPauses)->Unit(benchmark::kMillisecond);

}  // namespace
