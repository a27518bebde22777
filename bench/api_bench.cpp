// SPDX-License-Identifier: Apache-2.0
// Pictures per second through the C API (one reader reused, pixels in memory) beside the
// pipeline it wraps on the same pixels: the API should cost nothing measurable on top.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include <benchmark/benchmark.h>

#include "decode/dispatcher.h"
#include "image/image.h"
#include "platform/bitmap.h"
#include "read/pipeline.h"
#include "strixa/strixa.h"
#include "support/scanPage.h"

using namespace strixa;

namespace {

const Image& Sample() {
  static const Image sample = [] {
    std::ifstream in(STRIXA_SOURCE_DIR "/samples/sample.bmp", std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    Image image;
    DecodeBmp(bytes, image);
    return image;
  }();
  return sample;
}

const Image& Page() {
  static const Image page = DrawScanPage();
  return page;
}

// The picture's 32-bit blue, green, red, unused pixels, which the API reads as BGRA.
void ReadThroughApi(benchmark::State& state, const Image& picture) {
  strixa_reader* reader = nullptr;
  strixa_reader_create(nullptr, &reader);
  std::size_t count = 0;
  for (auto _ : state) {
    const strixa_barcode* barcodes = nullptr;
    if (strixa_read_pixels(reader, picture.pixelBuffer.get(), picture.imageWidth,
                           picture.imageHeight, picture.rowPitch, STRIXA_BGRA32, &barcodes,
                           &count) != STRIXA_OK) {
      state.SkipWithError(strixa_reader_error(reader));
      break;
    }
  }
  strixa_reader_destroy(reader);
  state.counters["results"] = static_cast<double>(count);
  state.SetItemsProcessed(state.iterations());
}

// The same work without the API: localise, decode and merge on a view of the same pixels.
void ReadThroughPipeline(benchmark::State& state, const Image& picture) {
  Image view;
  Reading reading;
  for (auto _ : state) {
    ViewPixels(picture.greyBytes, picture.imageWidth, picture.imageHeight, picture.rowPitch,
               picture.pixelStep, view);
    reading = ReadPicture(view, {});
  }
  state.counters["results"] = static_cast<double>(reading.resultList.size());
  state.SetItemsProcessed(state.iterations());
}

void BM_ApiSample(benchmark::State& state) { ReadThroughApi(state, Sample()); }
void BM_PipelineSample(benchmark::State& state) { ReadThroughPipeline(state, Sample()); }
void BM_ApiPage(benchmark::State& state) { ReadThroughApi(state, Page()); }
void BM_PipelinePage(benchmark::State& state) { ReadThroughPipeline(state, Page()); }

BENCHMARK(BM_ApiSample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PipelineSample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApiPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PipelinePage)->Unit(benchmark::kMillisecond);

}  // namespace
