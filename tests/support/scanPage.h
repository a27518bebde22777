// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "image/image.h"

namespace strixa {

// A 2500 x 3500 grey page holding eight symbols, one of each kind and one lying flat: what the
// benchmarks time a whole read on.
Image DrawScanPage();

}  // namespace strixa
