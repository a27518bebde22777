// SPDX-License-Identifier: Apache-2.0
#include "platform/commandLine.h"

namespace strixa {

namespace {

// Takes the parameter that starts at the front of rest and removes it (and the quote that closes
// it) from rest. rest must not start with a space.
std::string TakeParameter(std::string_view& rest) {
  if (rest.front() == '"') {
    rest.remove_prefix(1);
    const std::size_t close = rest.find('"');
    const std::string parameter(rest.substr(0, close));
    rest.remove_prefix(close == std::string_view::npos ? rest.size() : close + 1);
    return parameter;
  }
  const std::size_t end = rest.find(' ');
  const std::string parameter(rest.substr(0, end));
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
  return parameter;
}

void SkipSpaces(std::string_view& rest) {
  const std::size_t first = rest.find_first_not_of(' ');
  rest.remove_prefix(first == std::string_view::npos ? rest.size() : first);
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> parameters;
  std::string_view rest = commandLine;
  SkipSpaces(rest);
  // The program name follows the same rule, so a quoted path with spaces stays one piece.
  if (!rest.empty()) {
    TakeParameter(rest);
  }
  for (SkipSpaces(rest); !rest.empty(); SkipSpaces(rest)) {
    parameters.push_back(TakeParameter(rest));
  }
  return parameters;
}

}  // namespace strixa
