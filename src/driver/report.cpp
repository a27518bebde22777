#include "driver/report.h"

#include <cstdlib>
#include <string>

#include "decode/dispatcher.h"
#include "driver/driver.h"
#include "locate/candidate.h"

namespace strixa {

namespace {

// Grows the result towards the candidate. The compared coordinate follows the candidate's axis:
// a candidate read along rows sits beside the result on x and extends its height, one read
// along columns sits beside it on y and extends its width. The result's own corner never moves.
bool MergeInto(Candidate& result, const Candidate& candidate) {
  if (!IsVertical(candidate.orientation)) {
    if (std::abs(candidate.x - result.x) >= mergeDistance) {
      return false;
    }
    result.height = std::abs(result.y - candidate.y) + candidate.height;
    return true;
  }
  if (std::abs(candidate.y - result.y) >= mergeDistance) {
    return false;
  }
  result.width = std::abs(result.x - candidate.x) + candidate.width;
  return true;
}

std::string FormatPositions(const Candidate& result) {
  std::string line;
  for (int value : {result.x, result.y, result.width, result.height}) {
    line += std::to_string(value);
    line += '\t';
  }
  line += PrintedPart(result.text);
  // A positioned line carries one carriage return of its own ahead of the line end.
  line += '\r';
  return line;
}

}  // namespace

void ConsolidateResults(const std::vector<Candidate>& candidateList,
                        std::vector<Candidate>& resultList) {
  resultList.clear();
  for (const Candidate& candidate : candidateList) {
    if (candidate.text.empty()) {
      continue;
    }
    bool merged = false;
    for (Candidate& result : resultList) {
      if (result.text == candidate.text && MergeInto(result, candidate)) {
        merged = true;
        break;
      }
    }
    if (!merged) {
      resultList.push_back(candidate);
    }
  }
}

void PrintResults(Platform& platform, const std::vector<Candidate>& resultList,
                  bool printPositions) {
  for (const Candidate& result : resultList) {
    if (printPositions) {
      PrintLine(platform, FormatPositions(result));
    } else {
      PrintLine(platform, PrintedPart(result.text));
    }
  }
}

void ReportResults(Platform& platform, RunState& state) {
  ReportResults(platform, state, symbologyDecoders);
}

void DecodeResults(RunState& state, const DecoderChain& chain) {
  for (Candidate& candidate : state.candidateList) {
    candidate.text = DecodeCandidate(state.image, candidate, state.lineThreshold, chain);
  }
  ConsolidateResults(state.candidateList, state.resultList);
}

void ReportResults(Platform& platform, RunState& state, const DecoderChain& chain) {
  DecodeResults(state, chain);
  PrintResults(platform, state.resultList, state.printPositions);
}

}  // namespace strixa
