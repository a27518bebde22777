// SPDX-License-Identifier: Apache-2.0
#include "support/code128Encoder.h"

#include <array>
#include <string_view>

namespace strixa {

namespace {

// Widths of bar, space, bar, space, bar, space (and the stop's final bar) in modules.
constexpr std::array<std::string_view, 107> widths = {
    "212222", "222122", "222221",  "121223", "121322", "131222", "122213", "122312",  // 0
    "132212", "221213", "221312",  "231212", "112232", "122132", "122231", "113222",  // 8
    "123122", "123221", "223211",  "221132", "221231", "213212", "223112", "312131",  // 16
    "311222", "321122", "321221",  "312212", "322112", "322211", "212123", "212321",  // 24
    "232121", "111323", "131123",  "131321", "112313", "132113", "132311", "211313",  // 32
    "231113", "231311", "112133",  "112331", "132131", "113123", "113321", "133121",  // 40
    "313121", "211331", "231131",  "213113", "213311", "213131", "311123", "311321",  // 48
    "331121", "312113", "312311",  "332111", "314111", "221411", "431111", "111224",  // 56
    "111422", "121124", "121421",  "141122", "141221", "112214", "112412", "122114",  // 64
    "122411", "142112", "142211",  "241211", "221114", "413111", "241112", "134111",  // 72
    "111242", "121142", "121241",  "114212", "124112", "124211", "411212", "421112",  // 80
    "421211", "212141", "214121",  "412121", "111143", "111341", "131141", "114113",  // 88
    "114311", "411113", "411311",  "113141", "114131", "311141", "411131", "211412",  // 96
    "211214", "211232", "2331112",                                                    // 104
};

}  // namespace

std::string Code128Modules(int value) {
  std::string modules;
  if (value < 0 || value >= static_cast<int>(widths.size())) {
    return modules;
  }
  bool bar = true;
  for (char width : widths[static_cast<std::size_t>(value)]) {
    modules.append(static_cast<std::size_t>(width - '0'), bar ? '1' : '0');
    bar = !bar;
  }
  return modules;
}

std::string EncodeCode128(const std::vector<int>& values) {
  std::string modules;
  int sum = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    modules += Code128Modules(values[i]);
    sum += values[i] * static_cast<int>(i == 0 ? 1 : i);
  }
  return modules + Code128Modules(sum % 103) + Code128Modules(106);
}

}  // namespace strixa
