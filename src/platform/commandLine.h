// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace strixa {

// Splits a raw Windows command line into its parameters, the program name left out. Parameters
// are separated by runs of spaces; one that begins with a double quote runs to the next double
// quote (or the end of the line) and is handed on without those two quotes, spaces kept. Any
// other quote stays in the text for the parameter loop to remove.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace strixa
