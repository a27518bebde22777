// SPDX-License-Identifier: Apache-2.0
#include "support/scanPage.h"

#include "support/builders.h"
#include "support/code128Encoder.h"
#include "support/code39Encoder.h"
#include "support/eanEncoder.h"
#include "support/twoOfFiveEncoder.h"

namespace strixa {

Image DrawScanPage() {
  Image page = MakeBlankImage(2500, 3500, 236);
  DrawBars(page, Widen(EncodeEan13("5901234123457"), 3), 1, 200, 300, 150);
  DrawBars(page, Widen(EncodeCode128({105, 102, 1, 23, 45, 67}), 3), 1, 1400, 300, 150);
  DrawBars(page, Widen(EncodeCode128({104, 51, 84, 82, 73, 88, 65}), 2), 1, 200, 900, 150);
  DrawBars(page, Code39Pixels("*STRIXA-39*", 2, 5, 2), 1, 1400, 900, 150);
  DrawBars(page, Widen(EncodeEan8("96385074"), 3), 1, 200, 1600, 150);
  DrawBars(page, InterleavedTwoOfFivePixels("04012345", 3, 8), 1, 1400, 1600, 150);
  DrawBars(page, TwoOfFivePixels("123456", 3, 8), 1, 200, 2400, 150);
  DrawBars(page, Widen(EncodeEan13("0036000291452"), 3), 1, 1500, 2300, 200, true);
  return page;
}

}  // namespace strixa
