#include "decode/dispatcher.h"

#include <array>

#include "decode/sampling.h"
#include "image/axisView.h"
#include "locate/candidate.h"
#include "symbologies/code128.h"
#include "symbologies/code39.h"
#include "symbologies/ean13.h"
#include "symbologies/ean8.h"
#include "symbologies/interleavedTwoOfFive.h"
#include "symbologies/twoOfFive.h"

namespace strixa {

constexpr DecoderChain symbologyDecoders = {
    DecodeCode128,   DecodeCode39, DecodeEan13, DecodeEan8, DecodeInterleavedTwoOfFive,
    DecodeTwoOfFive,
};

namespace {

// Percent of the extent across the bars: the middle first, then ever closer around it, so a
// clean symbol is usually read on the first line.
constexpr std::array<int, 17> scanPositions = {
    50, 40, 60, 20, 80,  // 0-4
    30, 70, 45, 55, 47,  // 5-9
    53, 43, 57, 52, 48,  // 10-14
    35, 65,              // 15-16
};

// Darker and lighter retries around the estimate; never clamped, since a value out of 0..255
// merely turns the whole line light or dark.
constexpr std::array<int, 5> ladderSteps = {0, -13, 13, -25, 25};

constexpr std::string_view ean128Marker = "<EAN128>";

// The 2 of 5 decoders accept noise easily, so one threshold must give three reads.
constexpr int hitsBeforeAccept = 2;

// A base outside this range means the means saw no usable contrast.
constexpr int lowestBase = 20;
constexpr int highestBase = 245;
constexpr int fallbackBase = 160;

std::string PrefixLabel(std::string_view label, std::string_view text) {
  std::string line;
  line.reserve(label.size() + text.size());
  line.append(label);
  line.append(text);
  return line;
}

}  // namespace

std::string RunDecoderChain(std::string_view pixels, int& hitCount, const DecoderChain& chain) {
  if (std::string read = chain.code128(pixels); !read.empty()) {
    if (read.starts_with(ean128Marker)) {
      return PrefixLabel("EAN128\t", std::string_view(read).substr(ean128Marker.size()));
    }
    return PrefixLabel("CODE128\t", read);
  }
  if (std::string read = chain.code39(pixels); !read.empty()) {
    return PrefixLabel("CODE39\t", read);
  }
  if (std::string read = chain.ean13(pixels); !read.empty()) {
    // UPC-A is EAN-13 with a leading zero, which the UPC-A form does not print.
    if (read.front() == '0') {
      return PrefixLabel("UPC-A\t", std::string_view(read).substr(1));
    }
    return PrefixLabel("EAN13\t", read);
  }
  if (std::string read = chain.ean8(pixels); !read.empty()) {
    return PrefixLabel("EAN8\t", read);
  }
  if (std::string read = chain.interleavedTwoOfFive(pixels); !read.empty()) {
    if (++hitCount > hitsBeforeAccept) {
      return PrefixLabel("2/5i\t", read);
    }
  }
  if (std::string read = chain.twoOfFive(pixels); !read.empty()) {
    if (++hitCount > hitsBeforeAccept) {
      return PrefixLabel("2/5\t", read);
    }
  }
  return {};
}

int BaseThreshold(int firstMean, int secondMean, int thirdMean) {
  const int base = (firstMean + secondMean + thirdMean) / 3;
  return base < lowestBase || base > highestBase ? fallbackBase : base;
}

std::string DecodeCandidate(const Image& image, Candidate& candidate, int& lineThreshold) {
  return DecodeCandidate(image, candidate, lineThreshold, symbologyDecoders);
}

std::string DecodeCandidate(const Image& image, Candidate& candidate, int& lineThreshold,
                            const DecoderChain& chain) {
  const int x = candidate.x;
  const int y = candidate.y;
  const int width = candidate.width;
  const int height = candidate.height;
  // Upright bars are read along a row, flat ones down a column.
  const AxisView view{image, IsVertical(candidate.orientation)};

  const int base = BaseThreshold(LineMean(view, x, y, width, height, 40),
                                 LineMean(view, x, y, width, height, 60),
                                 LineMean(view, x, y, width, height, 50));

  // One buffer per direction, reused for every line of the candidate.
  std::string pixels;
  std::string reversed;
  for (int step : ladderSteps) {
    int hitCount = 0;
    for (int percentage : scanPositions) {
      lineThreshold = base + step;
      SampleLine(view, lineThreshold, x, y, width, height, percentage, pixels);
      if (std::string line = RunDecoderChain(pixels, hitCount, chain); !line.empty()) {
        return line;
      }
      reversed.assign(pixels.rbegin(), pixels.rend());
      if (std::string line = RunDecoderChain(reversed, hitCount, chain); !line.empty()) {
        // Reversed stays on the candidate's own axis, and a second decode leaves it reversed.
        candidate.orientation = Reversed(candidate.orientation);
        return line;
      }
    }
  }
  return {};
}

}  // namespace strixa
