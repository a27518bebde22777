// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>

namespace strixa {

// A file name may hold control characters: written raw, CR LF would forge result lines and ESC
// would drive the terminal. CR, LF and tab become \r, \n and \t, the other C0 bytes and DEL \xHH;
// everything else, backslashes included, stays. Shared by every program that prints a name.
std::string EscapeControlCharacters(std::string_view text);

}  // namespace strixa
