#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "formats/page.h"
#include "inputs.h"
#include "record.h"

struct strixa_reader;

namespace strixa {

inline constexpr int exitFound = 0;
inline constexpr int exitNothingFound = 1;
inline constexpr int exitUnreadable = 2;
inline constexpr int exitUsage = 64;

// Files bigger than this are refused unread: no single picture within the page limits needs
// more, and a device or pipe named by mistake cannot fill memory.
inline constexpr std::size_t maxFileBytes = std::size_t{1} << 30;

// Reads one input with the worker's own reader: every page of it, in order. Never throws.
FileRecord ReadInput(strixa_reader* reader, const InputItem& item, const DecodeLimits& limits);

// The whole program: arguments without the program name, standard input for "-" lists,
// standard output for records, standard error for messages, the progress bar and the summary.
// Returns the exit status.
int RunBatch(const std::vector<std::string>& arguments, std::istream& input, std::ostream& output,
             std::ostream& errors, bool errorsIsTerminal, bool outputIsTerminal = false);

}  // namespace strixa
