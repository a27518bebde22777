// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include "inputs.h"
#include "orderedPool.h"
#include "record.h"

struct strixa_reader;
struct strixa_budget;

namespace strixa {

inline constexpr int exitFound = 0;
inline constexpr int exitNothingFound = 1;
inline constexpr int exitUnreadable = 2;
inline constexpr int exitUsage = 64;

// Files bigger than this are refused unread: no single picture within the page limits needs
// more, and a device or pipe named by mistake cannot fill memory. The files all threads hold at
// once come to no more either.
inline constexpr std::size_t maxFileBytes = std::size_t{1} << 30;

// The pixel buffers all threads of a run may hold at once: a page of 2^28 grey pixels fits, and
// two threads over files that claim huge pictures stay within half a gigabyte.
inline constexpr std::size_t pixelMemoryBudget = std::size_t{320} << 20;

// The bytes of the files read whole that all threads may hold at once, in this budget; none
// without one.
struct FileLimits {
  strixa_budget* fileMemory = nullptr;
};

// The first bytes read of each input, to tell its format.
inline constexpr std::size_t sniffLength = 1024;

// Reads one input with the worker's own reader (set up with the run's limits): every page of it,
// in order. Given a sink, each page's records go to it as soon as the page is read, and the
// record returned holds the rest (the error, if any). Never throws.
FileRecord ReadInput(strixa_reader* reader, const InputItem& item, const FileLimits& limits,
                     const RecordSink& sink = {});

// The whole program: arguments without the program name, standard input for "-" lists,
// standard output for records, standard error for messages, the progress bar and the summary.
// Returns the exit status.
int RunBatch(const std::vector<std::string>& arguments, std::istream& input, std::ostream& output,
             std::ostream& errors, bool errorsIsTerminal, bool outputIsTerminal = false);

}  // namespace strixa
