// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

#include "strixa/strixa.h"

namespace strixa {

enum class OutputFormat { Tsv, Jsonl, Csv };

// The --dpi range.
inline constexpr int minimumDpi = 10;
inline constexpr int maximumDpi = 2400;
enum class ProgressMode { Auto, On, Off };

// Everything the command line sets.
struct BatchOptions {
  std::vector<std::string> inputs;  // files, directories, and "-" for a list on standard input
  bool recursive = false;
  bool nulSeparated = false;  // the standard-input list is split at NUL bytes, not line ends
  OutputFormat format = OutputFormat::Tsv;
  bool header = false;
  bool guardFormulas = false;  // tsv and csv fields a spreadsheet would run get a quote first
  bool fine = false;
  strixa_engine engine = STRIXA_ENGINE_BOTH;
  unsigned symbologies = STRIXA_ALL_SYMBOLOGIES;  // strixa_symbology bits
  int threads = 0;                                // 0: one per core
  int dpi = 300;
  int maxMegapixels = 1024;  // a file's budget, in pages' pixels and with them time
  ProgressMode progress = ProgressMode::Auto;
  ProgressMode summary = ProgressMode::Auto;  // the same three settings: on at a terminal
  bool listEmpty = false;                     // tsv and csv: a record for a file with nothing found
  bool help = false;
  bool version = false;
};

// Reads GNU-style arguments (program name excluded): short options may be bundled, long ones
// take their value after '=' or as the next argument, "--" ends the options. False with error
// set for anything it cannot accept.
bool ParseOptions(const std::vector<std::string>& arguments, BatchOptions& options,
                  std::string& error);

// The --symbologies list, such as "ean13,code128", as strixa_symbology bits; false for an
// unknown name or an empty list.
bool ParseSymbologies(const std::string& list, unsigned& bits);

// The --help text.
std::string HelpText();

}  // namespace strixa
