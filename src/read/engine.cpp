// SPDX-License-Identifier: Apache-2.0
#include "read/engine.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "image/image.h"

namespace strixa {

namespace {

struct Extent {
  double left, top, right, bottom;
};

Extent ExtentOf(const auto& points) {
  Extent extent{points[0].x, points[0].y, points[0].x, points[0].y};
  for (const RobustPoint& p : points) {
    extent.left = std::min(extent.left, p.x);
    extent.top = std::min(extent.top, p.y);
    extent.right = std::max(extent.right, p.x);
    extent.bottom = std::max(extent.bottom, p.y);
  }
  return extent;
}

double Distance(const RobustPoint& a, const RobustPoint& b) {
  return std::hypot(b.x - a.x, b.y - a.y);
}

// The nearest of the four reading directions, 0, 90, 180 and 270 degrees in that order.
Orientation NearestOrientation(double angle) {
  const long quarter = std::lround(angle / 90.0);
  return static_cast<Orientation>(((quarter % 4) + 4) % 4);
}

}  // namespace

EngineResult FromRobust(const RobustBarcode& barcode, int width, int height) {
  EngineResult result;
  result.measured = true;
  result.corners = barcode.corners;
  result.angle = barcode.angle;
  // The whole pixels the corners reach into, within the picture: bars running into its edge put
  // their ends a little past it.
  const Extent extent = ExtentOf(barcode.corners);
  const int left = std::clamp(static_cast<int>(std::floor(extent.left)), 0, width - 1);
  const int top = std::clamp(static_cast<int>(std::floor(extent.top)), 0, height - 1);
  const int right = std::clamp(static_cast<int>(std::ceil(extent.right)), left + 1, width);
  const int bottom = std::clamp(static_cast<int>(std::ceil(extent.bottom)), top + 1, height);
  Candidate& candidate = result.candidate;
  candidate.x = left + 1;
  candidate.y = top + 1;
  candidate.width = right - left;
  candidate.height = bottom - top;
  candidate.orientation = NearestOrientation(barcode.angle);
  candidate.text = barcode.text;
  candidate.symbology = barcode.symbology;
  return result;
}

bool IsSameBarcode(const EngineResult& robust, const Candidate& document) {
  const Candidate& read = robust.candidate;
  if (read.symbology != document.symbology || read.text != document.text) {
    return false;
  }
  // The corners go first bar's top, last bar's top, last bar's bottom, first bar's bottom.
  const std::array<RobustPoint, 4>& c = robust.corners;
  const double length = Distance(c[0], c[1]);
  const double barLength = Distance(c[0], c[3]);
  if (length <= 0 || barLength <= 0) {
    return false;
  }
  // The symbol's own axes, from its first bar's top: along the reading and down its bars.
  const RobustPoint along{(c[1].x - c[0].x) / length, (c[1].y - c[0].y) / length};
  const RobustPoint down{(c[3].x - c[0].x) / barLength, (c[3].y - c[0].y) / barLength};
  const double left = document.x - 1, top = document.y - 1;
  const double right = left + document.width, bottom = top + document.height;
  const std::array<RobustPoint, 4> box = {RobustPoint{left, top}, RobustPoint{right, top},
                                          RobustPoint{right, bottom}, RobustPoint{left, bottom}};
  // The symbol stretched along its bars is a rectangle in its own axes and the document's an
  // upright one: they meet unless one of the four axes separates them.
  const auto project = [&](const auto& points, const RobustPoint& axis) {
    double low = points[0].x * axis.x + points[0].y * axis.y, high = low;
    for (const RobustPoint& p : points) {
      low = std::min(low, p.x * axis.x + p.y * axis.y);
      high = std::max(high, p.x * axis.x + p.y * axis.y);
    }
    return std::pair{low, high};
  };
  const std::array<RobustPoint, 4> stretched = {
      RobustPoint{c[0].x - down.x * length, c[0].y - down.y * length},
      RobustPoint{c[1].x - down.x * length, c[1].y - down.y * length},
      RobustPoint{c[2].x + down.x * length, c[2].y + down.y * length},
      RobustPoint{c[3].x + down.x * length, c[3].y + down.y * length}};
  for (const RobustPoint& axis : {along, down, RobustPoint{1, 0}, RobustPoint{0, 1}}) {
    const auto [ownLow, ownHigh] = project(stretched, axis);
    const auto [otherLow, otherHigh] = project(box, axis);
    if (ownHigh < otherLow || otherHigh < ownLow) {
      return false;
    }
  }
  return true;
}

bool ContradictsDocument(const EngineResult& robust, const Candidate& document) {
  const std::array<RobustPoint, 4>& c = robust.corners;
  const double length = Distance(c[0], c[1]);
  const double barLength = Distance(c[0], c[3]);
  if (length <= 0 || barLength <= 0) {
    return false;
  }
  const double left = document.x - 1, top = document.y - 1;
  const double right = left + document.width, bottom = top + document.height;
  const RobustPoint centre{(c[0].x + c[2].x) / 2, (c[0].y + c[2].y) / 2};
  if (centre.x >= left && centre.x <= right && centre.y >= top && centre.y <= bottom) {
    return true;
  }
  // The document rectangle's centre in the symbol's own axes, from its first bar's top.
  const RobustPoint offset{(left + right) / 2 - c[0].x, (top + bottom) / 2 - c[0].y};
  const double along = (offset.x * (c[1].x - c[0].x) + offset.y * (c[1].y - c[0].y)) / length;
  const double down = (offset.x * (c[3].x - c[0].x) + offset.y * (c[3].y - c[0].y)) / barLength;
  return along >= 0 && along <= length && down >= 0 && down <= barLength;
}

std::vector<EngineResult> MergeReads(std::vector<Candidate> document,
                                     const std::vector<RobustBarcode>& robust, int width,
                                     int height) {
  std::vector<EngineResult> results;
  results.reserve(document.size() + robust.size());
  for (Candidate& found : document) {
    results.push_back({.candidate = std::move(found)});
  }
  const std::size_t documentCount = results.size();
  for (const RobustBarcode& barcode : robust) {
    EngineResult read = FromRobust(barcode, width, height);
    const auto first = results.begin();
    const auto last = first + static_cast<std::ptrdiff_t>(documentCount);
    const bool known = std::any_of(first, last, [&](const EngineResult& other) {
      const Candidate& candidate = other.candidate;
      const bool sameText =
          candidate.symbology == read.candidate.symbology && candidate.text == read.candidate.text;
      return sameText ? IsSameBarcode(read, candidate) : ContradictsDocument(read, candidate);
    });
    if (!known) {
      results.push_back(std::move(read));
    }
  }
  return results;
}

std::vector<EngineResult> ReadWithEngine(const Image& image, Engine engine, Scan scan) {
  std::vector<Candidate> document;
  if (engine != Engine::Robust) {
    document = ReadPicture(image, {.scan = scan}).resultList;
  }
  std::vector<RobustBarcode> robust;
  if (engine != Engine::Document) {
    // The second engine leaves out what the document pipeline read, which the merging below
    // would drop: its lines pass over those symbols, and it measures none of them.
    RobustOptions options;
    for (const Candidate& found : document) {
      const double left = found.x - 1, top = found.y - 1;
      options.known.push_back({.symbology = found.symbology,
                               .text = found.text,
                               .left = left,
                               .top = top,
                               .right = left + found.width,
                               .bottom = top + found.height});
    }
    robust = ReadRobust(image, options);
    // Both engines together also hold the document pipeline's 2 of 5 reads to the second
    // engine's test for pieces of longer symbols; the document pipeline alone keeps its output.
    const std::vector<bool> pieces = PiecesOfLongerSymbols(image, options.known, robust);
    std::size_t i = 0;
    std::erase_if(document, [&pieces, &i](const Candidate&) { return pieces[i++]; });
  }
  return MergeReads(std::move(document), robust, image.imageWidth, image.imageHeight);
}

}  // namespace strixa
