#include "locate/candidate.h"

#include <algorithm>

namespace strixa {

bool RectanglesOverlap(const Box& a, const Box& b) {
  return !(a.x + a.width < b.x || a.x > b.x + b.width || a.y + a.height < b.y ||
           a.y > b.y + b.height);
}

bool OverlapsCandidate(const Box& rectangle, const std::vector<Candidate>& candidateList) {
  return std::ranges::any_of(candidateList, [&](const Candidate& c) {
    return RectanglesOverlap(rectangle, {c.x, c.y, c.width, c.height});
  });
}

}  // namespace strixa
