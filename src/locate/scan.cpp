// SPDX-License-Identifier: Apache-2.0
#include "locate/scan.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/axisView.h"
#include "image/image.h"
#include "locate/candidate.h"

namespace strixa {

namespace {

struct ScanSettings {
  int pixelStep;  // between two samples along a scan line
  int lineStep;   // between two scan lines
  int minRun;     // a run must be longer than this to become a candidate
  int margin;     // added in front of a run's start
  int minSize;    // the extent across the scan lines must exceed this
};

constexpr ScanSettings normalSettings{2, 10, 100, 40, 40};
constexpr ScanSettings fineSettings{1, 5, 30, 20, 10};

constexpr int lightScoreCeiling = 5;
constexpr int darkScoreFloor = -20;
// A long solid dark stretch is a blot, not bars: this many samples at the floor drop the run.
constexpr int floorLimit = 15;
constexpr int topOffset = 10;
constexpr int quietZoneRun = 10;
constexpr int refinementStep = 2;
constexpr int bandHalfWidth = 30;
constexpr int firstBandMinimum = 10;

// What one scan line remembers between samples; runStart 0 means no run is open.
struct LineState {
  int rhythmScore = 0;
  int floorCount = 0;
  int runStart = 0;
};

// A run worth evaluating, found on the scan line at across position `line`.
struct Run {
  int line;
  int start;
  int end;
};

// Advances one scan line by one sample; a run that closes long enough lands in runs.
void TakeSample(LineState& state, int score, int position, bool lastSample, int line, int minRun,
                std::vector<Run>& runs) {
  // Most of a page is light: at the ceiling no run is open and the floor count is 0 already, so a
  // light sample changes nothing.
  if (score > 0 && state.rhythmScore == lightScoreCeiling) {
    return;
  }
  state.rhythmScore = std::clamp(state.rhythmScore + score, darkScoreFloor, lightScoreCeiling);
  if (state.rhythmScore == darkScoreFloor) {
    if (++state.floorCount == floorLimit) {
      state = LineState{};
      return;
    }
  } else {
    state.floorCount = 0;
  }
  if (state.rhythmScore < 0 && !lastSample) {
    if (state.runStart == 0) {
      state.runStart = position;
    }
    return;
  }
  if (state.runStart == 0) {
    return;
  }
  // Shorter runs would record nothing, so they are not kept.
  if (position - state.runStart > minRun) {
    runs.push_back({line, state.runStart, position});
  }
  state.runStart = 0;
  state.rhythmScore = 0;
}

// Memory is the cost of a pass: the vertical one meets a new row on every sample, more than the
// hardware foresees, so each line asks for its pixel this many samples ahead.
constexpr int prefetchDistance = 8;

void PrefetchByte(const std::uint8_t* byte) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(byte);
#else
  static_cast<void>(byte);
#endif
}

// Follows several scan lines side by side, sample position by sample position. The lines do not
// influence each other, so each sees exactly the samples it would see alone, while the pass walks
// memory row by row even when the scan lines are columns. Pixels the file left unset read as
// black without touching memory.
void CollectRuns(const AxisView& view, const ScanSettings& settings, int threshold, int firstLine,
                 std::vector<LineState>& states, std::vector<Run>& runs) {
  const bool partlySet = !view.image.setColumns.empty();
  std::ranges::fill(states, LineState{});
  runs.clear();
  const int alongSize = view.AlongSize();
  const int lineCount = static_cast<int>(states.size());
  // Every sample lies inside the picture, so it is read straight from memory, without the edge
  // test of PixelValue.
  const std::ptrdiff_t sampleStride = view.AlongStride() * settings.pixelStep;
  const std::ptrdiff_t lineStride = view.AcrossStride() * settings.lineStep;
  std::ptrdiff_t firstOffset = view.AcrossStride() * (firstLine - 1);
  for (int p = 1; p < alongSize; p += settings.pixelStep, firstOffset += sampleStride) {
    const bool lastSample = p + settings.pixelStep >= alongSize;
    const bool prefetch = !partlySet && p + prefetchDistance * settings.pixelStep < alongSize;
    for (int i = 0; i < lineCount; ++i) {
      const int line = firstLine + i * settings.lineStep;
      if (prefetch) {
        PrefetchByte(
            &view.image.greyBytes[firstOffset + i * lineStride + prefetchDistance * sampleStride]);
      }
      int value = 0;
      if (!partlySet || (view.vertical ? IsSet(view.image, line, p) : IsSet(view.image, p, line))) {
        value = view.image.greyBytes[firstOffset + i * lineStride];
      }
      TakeSample(states[i], SampleScore(value, threshold), p, lastSample, line, settings.minRun,
                 runs);
    }
  }
  // Evaluation order is scan order: line by line, and along each line as the runs closed.
  std::ranges::sort(runs, [](const Run& a, const Run& b) {
    return a.line != b.line ? a.line < b.line : a.start < b.start;
  });
}

bool IsLight(const AxisView& view, int along, int across, int threshold) {
  return Binarize(view.Value(along, across), threshold) == 255;
}

Box ToBox(const AxisView& view, int along, int across, int alongLength, int acrossLength) {
  if (view.vertical) {
    return {across, along, acrossLength, alongLength};
  }
  return {along, across, alongLength, acrossLength};
}

// Turns a run into a rectangle, widens it to the quiet zones on either side, measures how far
// the bars reach across the scan lines, and records it if it looks like a barcode.
void EvaluateRun(const AxisView& view, const ScanSettings& settings, int threshold, const Run& run,
                 OverlapIndex& overlapIndex, std::vector<Candidate>& candidateList) {
  const int alongSize = view.AlongSize();
  const int acrossSize = view.AcrossSize();
  const int length = run.end - run.start + settings.margin;
  int along = std::max(1, run.start - settings.margin);
  const int across = std::max(1, run.line - topOffset);
  int alongLength = length;
  int acrossLength = length / 3;
  if (overlapIndex.Overlaps(ToBox(view, along, across, alongLength, acrossLength))) {
    return;
  }

  const int middle = std::min(acrossSize, across + acrossLength / 2);
  int lightCount = 0;
  for (int i = along; i >= 1; i -= refinementStep) {
    lightCount = IsLight(view, i, middle, threshold) ? lightCount + 1 : 0;
    if (lightCount == quietZoneRun) {
      alongLength += along - i;
      along = i;
      break;
    }
  }
  lightCount = 0;
  for (int i = along + alongLength; i <= alongSize; i += refinementStep) {
    lightCount = IsLight(view, i, middle, threshold) ? lightCount + 1 : 0;
    if (lightCount == quietZoneRun) {
      alongLength = i - along;
      break;
    }
  }

  const int bandCentre = along + alongLength / 2;
  const int firstJ = acrossLength / 3;
  const int lastJ = 2 * acrossLength;
  int firstCount = 0;
  for (int j = firstJ; j <= lastJ; j += refinementStep) {
    if (across + j > acrossSize) {
      acrossLength = acrossSize - across;
      break;
    }
    int darkCount = 0;
    for (int k = bandCentre - bandHalfWidth; k <= bandCentre + bandHalfWidth; k += refinementStep) {
      if (k >= 1 && k <= alongSize && !IsLight(view, k, across + j, threshold)) {
        ++darkCount;
      }
    }
    if (j == firstJ) {
      firstCount = darkCount;
    }
    const bool goOn = j == firstJ ? darkCount > firstBandMinimum : darkCount > firstCount / 2;
    if (!goOn) {
      acrossLength = j;
      break;
    }
  }

  if (acrossLength <= alongLength / 10 || acrossLength <= settings.minSize) {
    return;
  }
  const Box found = ToBox(view, along, across, alongLength, acrossLength);
  overlapIndex.Add(found);
  candidateList.push_back(Candidate{found.x, found.y, found.width, found.height,
                                    view.vertical ? Orientation::Vertical : Orientation::Horizontal,
                                    std::string{}});
}

// Scan lines are taken in blocks: a block of columns is read row by row, which keeps the
// vertical pass in step with the cache; rows are contiguous already, so they go one at a time.
constexpr int columnsPerBlock = 256;

void ScanAxis(const AxisView& view, int threshold, bool fineScan,
              std::vector<Candidate>& candidateList) {
  if (view.image.greyBytes == nullptr) {
    return;
  }
  const ScanSettings& settings = fineScan ? fineSettings : normalSettings;
  const int acrossSize = view.AcrossSize();
  const int linesPerBlock = view.vertical ? columnsPerBlock : 1;
  // The index answers for the whole list, so it starts with what earlier passes recorded.
  OverlapIndex overlapIndex(view.image.imageWidth, view.image.imageHeight);
  for (const Candidate& c : candidateList) {
    overlapIndex.Add({c.x, c.y, c.width, c.height});
  }
  std::vector<LineState> states;
  std::vector<Run> runs;
  for (int firstLine = 1; firstLine < acrossSize; firstLine += linesPerBlock * settings.lineStep) {
    const int remaining = (acrossSize - 1 - firstLine) / settings.lineStep + 1;
    states.resize(static_cast<std::size_t>(std::min(linesPerBlock, remaining)));
    CollectRuns(view, settings, threshold, firstLine, states, runs);
    for (const Run& run : runs) {
      EvaluateRun(view, settings, threshold, run, overlapIndex, candidateList);
    }
  }
}

}  // namespace

void ScanHorizontal(const Image& image, int threshold, bool fineScan,
                    std::vector<Candidate>& candidateList) {
  ScanAxis(AxisView{image, false}, threshold, fineScan, candidateList);
}

void ScanVertical(const Image& image, int threshold, bool fineScan,
                  std::vector<Candidate>& candidateList) {
  ScanAxis(AxisView{image, true}, threshold, fineScan, candidateList);
}

}  // namespace strixa
