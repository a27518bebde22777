// SPDX-License-Identifier: Apache-2.0
// What the benchmarks on drawn pictures share: which pictures a run covers, the options that
// choose them, and the threads that read them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace strixa {

// Each picture follows from the seed and its index alone, so any one can be drawn again.
struct PictureRun {
  int pictures = 0;
  int first = 0;
  std::uint64_t seed = 1;
  int threads = 2;
  bool verbose = false;
  std::string saveFolder;
  int onlyPicture = -1;  // --picture K: that picture alone, on one thread
};

// Takes argv[i] (and the value after it, moving i on) when it is one of the run's options:
// --pictures, --first, --seed, --threads, --verbose or -v, --save, --picture. False otherwise.
bool TakePictureRunOption(int argc, char** argv, int& i, PictureRun& run);

// Whether the options make a run; --picture narrows it to its one picture on one thread.
bool FinishPictureRun(PictureRun& run);

// Calls read(thread, index) for every picture of the run, on run.threads threads at once;
// thread (0 .. threads - 1) lets each keep its own counts and readers.
void ForEachPicture(const PictureRun& run, const std::function<void(int thread, int index)>& read);

}  // namespace strixa
