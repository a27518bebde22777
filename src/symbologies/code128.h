#pragma once

#include <string>
#include <string_view>

namespace strixa {

// Reads one Code 128 symbol from the first pixel on: the transcript of its values (control and
// function characters as bracketed names, code-set changes leave no text), led by "<EAN128>" when
// FNC1 follows Start C. "" unless every symbol reads and the check character matches.
std::string DecodeCode128(std::string_view pixels);

}  // namespace strixa
