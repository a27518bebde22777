// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <vector>

namespace strixa {

struct Candidate;
struct Image;

// Append the candidate rectangles found along rows (bars upright) or columns (bars flat).
void ScanHorizontal(const Image& image, int threshold, bool fineScan,
                    std::vector<Candidate>& candidateList);
void ScanVertical(const Image& image, int threshold, bool fineScan,
                  std::vector<Candidate>& candidateList);

}  // namespace strixa
