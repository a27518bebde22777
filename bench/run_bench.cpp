// SPDX-License-Identifier: Apache-2.0
// A whole run without its pauses: load a 2500 x 3500 scan from disk, localise, decode every
// symbology, consolidate and print.
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "driver/driver.h"
#include "platform/platform.h"
#include "read/pipeline.h"
#include "support/builders.h"
#include "support/fakePlatform.h"
#include "support/scanPage.h"

using namespace strixa;

namespace {

struct TempFile {
  std::string path;
  ~TempFile() { std::filesystem::remove(path); }
};

// The page written to a temporary bitmap file, as a user's scan would be.
const std::string& ScanPath() {
  static const TempFile scan{[] {
    const Image page = DrawScanPage();
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
    Image image;
    if (!LoadImageFile(*system, ScanPath(), image)) {
      state.SkipWithError("the scan did not load");
      break;
    }
    const Reading reading = ReadPicture(image, {});
    FakePlatform output;
    PrintResults(output, reading.resultList, false);
    results = output.lines.size();
  }
  state.counters["results"] = static_cast<double>(results);
}
BENCHMARK(BM_WholeRunWithoutPauses)->Unit(benchmark::kMillisecond);

}  // namespace
