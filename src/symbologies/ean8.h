// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>

namespace strixa {

std::string DecodeEan8(std::string_view pixels);

}  // namespace strixa
