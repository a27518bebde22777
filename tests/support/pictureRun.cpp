// SPDX-License-Identifier: Apache-2.0
#include "support/pictureRun.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <vector>

namespace strixa {

bool TakePictureRunOption(int argc, char** argv, int& i, PictureRun& run) {
  const std::string_view arg = argv[i];
  const bool hasValue = i + 1 < argc;
  if (arg == "--verbose" || arg == "-v") {
    run.verbose = true;
  } else if (arg == "--pictures" && hasValue) {
    run.pictures = std::atoi(argv[++i]);
  } else if (arg == "--first" && hasValue) {
    run.first = std::atoi(argv[++i]);
  } else if (arg == "--seed" && hasValue) {
    run.seed = std::strtoull(argv[++i], nullptr, 10);
  } else if (arg == "--threads" && hasValue) {
    run.threads = std::max(1, std::atoi(argv[++i]));
  } else if (arg == "--save" && hasValue) {
    run.saveFolder = argv[++i];
  } else if (arg == "--picture" && hasValue) {
    run.onlyPicture = std::atoi(argv[++i]);
  } else {
    return false;
  }
  return true;
}

bool FinishPictureRun(PictureRun& run) {
  if (run.onlyPicture >= 0) {
    run.first = run.onlyPicture;
    run.pictures = 1;
    run.threads = 1;
  }
  return run.pictures > 0 && run.first >= 0;
}

void ForEachPicture(const PictureRun& run, const std::function<void(int thread, int index)>& read) {
  std::atomic<int> next{run.first};
  const int end = run.first + run.pictures;
  std::vector<std::thread> workers;
  for (int thread = 0; thread < run.threads; ++thread) {
    workers.emplace_back([&read, &next, end, thread] {
      for (int index = next++; index < end; index = next++) {
        read(thread, index);
      }
    });
  }
  for (std::thread& worker : workers) {
    worker.join();
  }
}

}  // namespace strixa
