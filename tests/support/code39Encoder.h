// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>

namespace strixa {

// Pixels ("1" dark) of the Code 39 characters of text as given (the caller writes the '*'s), with
// narrow and wide elements of the given pixel widths and gap light pixels between characters.
// "" when text holds a character Code 39 has not.
std::string Code39Pixels(std::string_view text, int narrow, int wide, int gap);

}  // namespace strixa
