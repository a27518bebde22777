// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "image/image.h"

namespace strixa {

// A white page covered in short groups of upright bars, each just long enough to become a
// candidate under the fine scan settings, so a page yields one candidate per group: the case
// that makes localisation cost grow with the number of candidates.
Image DrawCombPage(int width, int height);

}  // namespace strixa
