// SPDX-License-Identifier: Apache-2.0
#include "read/pipeline.h"

#include <array>
#include <utility>

#include "image/image.h"
#include "locate/scan.h"
#include "read/consolidate.h"

namespace strixa {

namespace {

constexpr std::array<int, 3> thresholdLadder = {200, 160, 230};

}  // namespace

void LocateCandidates(const Image& image, bool fineScan, Reading& reading) {
  reading.candidateList.clear();
  for (int level : thresholdLadder) {
    reading.threshold = level;
    ScanHorizontal(image, reading.threshold, fineScan, reading.candidateList);
    ScanVertical(image, reading.threshold, fineScan, reading.candidateList);
    if (!reading.candidateList.empty()) {
      return;
    }
  }
}

Reading ReadPicture(const Image& image, const ReadOptions& options, const DecoderChain& chain) {
  Reading reading;
  reading.lineThreshold = options.lineThreshold;
  LocateCandidates(image, options.scan == Scan::Fine, reading);
  DecodeResults(image, chain, reading);
  if (options.scan != Scan::NormalThenFine) {
    return reading;
  }
  // The second pass starts decoding where the first left the line threshold.
  std::vector<Candidate> found = std::move(reading.resultList);
  LocateCandidates(image, true, reading);
  DecodeResults(image, chain, reading);
  AppendNewBarcodes(image, found, reading.resultList);
  reading.resultList = std::move(found);
  return reading;
}

}  // namespace strixa
