// SPDX-License-Identifier: Apache-2.0
#include "options.h"

#include <charconv>
#include <string_view>

namespace strixa {

namespace {

bool ParseNumber(std::string_view text, int low, int high, int& value) {
  int parsed = 0;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (problem != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high) {
    return false;
  }
  value = parsed;
  return true;
}

bool ParseFormat(std::string_view text, OutputFormat& format) {
  if (text == "tsv") {
    format = OutputFormat::Tsv;
  } else if (text == "jsonl") {
    format = OutputFormat::Jsonl;
  } else if (text == "csv") {
    format = OutputFormat::Csv;
  } else {
    return false;
  }
  return true;
}

bool ParseEngine(std::string_view text, strixa_engine& engine) {
  if (text == "document") {
    engine = STRIXA_ENGINE_DOCUMENT;
  } else if (text == "robust") {
    engine = STRIXA_ENGINE_ROBUST;
  } else if (text == "both") {
    engine = STRIXA_ENGINE_BOTH;
  } else {
    return false;
  }
  return true;
}

// Options that take a value, long and short spellings.
bool TakesValue(std::string_view name) {
  return name == "format" || name == "symbologies" || name == "jobs" || name == "dpi" ||
         name == "max-megapixels" || name == "engine" || name == "j";
}

bool ApplyValue(std::string_view name, const std::string& value, BatchOptions& options,
                std::string& error) {
  bool valid = true;
  if (name == "format") {
    valid = ParseFormat(value, options.format);
  } else if (name == "symbologies") {
    valid = ParseSymbologies(value, options.symbologies);
  } else if (name == "jobs" || name == "j") {
    valid = ParseNumber(value, 1, 1024, options.threads);
  } else if (name == "dpi") {
    valid = ParseNumber(value, minimumDpi, maximumDpi, options.dpi);
  } else if (name == "max-megapixels") {
    valid = ParseNumber(value, 1, 1 << 20, options.maxMegapixels);
  } else if (name == "engine") {
    valid = ParseEngine(value, options.engine);
  }
  if (!valid) {
    error =
        "invalid value '" + value + "' for " + (name.size() == 1 ? "-" : "--") + std::string(name);
  }
  return valid;
}

bool ApplyFlag(std::string_view name, BatchOptions& options) {
  if (name == "r" || name == "recursive") {
    options.recursive = true;
  } else if (name == "0" || name == "null") {
    options.nulSeparated = true;
  } else if (name == "header") {
    options.header = true;
  } else if (name == "guard-formulas") {
    options.guardFormulas = true;
  } else if (name == "fine") {
    options.fine = true;
  } else if (name == "progress") {
    options.progress = ProgressMode::On;
  } else if (name == "no-progress") {
    options.progress = ProgressMode::Off;
  } else if (name == "summary") {
    options.summary = ProgressMode::On;
  } else if (name == "no-summary") {
    options.summary = ProgressMode::Off;
  } else if (name == "list-empty") {
    options.listEmpty = true;
  } else if (name == "help" || name == "h") {
    options.help = true;
  } else if (name == "version") {
    options.version = true;
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool ParseSymbologies(const std::string& list, unsigned& bits) {
  unsigned chosen = 0;
  std::string_view rest = list;
  while (true) {
    const std::size_t comma = rest.find(',');
    const std::string_view name = rest.substr(0, comma);
    bool known = false;
    for (unsigned bit = 1; bit <= STRIXA_ALL_SYMBOLOGIES; bit <<= 1) {
      if (name == strixa_symbology_name(static_cast<strixa_symbology>(bit))) {
        chosen |= bit;
        known = true;
      }
    }
    if (!known) {
      return false;
    }
    if (comma == std::string_view::npos) {
      break;
    }
    rest.remove_prefix(comma + 1);
  }
  bits = chosen;
  return true;
}

bool ParseOptions(const std::vector<std::string>& arguments, BatchOptions& options,
                  std::string& error) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument == "-" || argument.empty() || argument[0] != '-') {
      options.inputs.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    if (argument.starts_with("--")) {
      const std::size_t equals = argument.find('=');
      const std::string name =
          argument.substr(2, equals == std::string::npos ? equals : equals - 2);
      if (TakesValue(name) && name != "j") {
        std::string value;
        if (equals != std::string::npos) {
          value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
          value = arguments[++i];
        } else {
          error = "option '--" + name + "' requires a value";
          return false;
        }
        if (!ApplyValue(name, value, options, error)) {
          return false;
        }
      } else if (equals != std::string::npos || name == "j" || !ApplyFlag(name, options)) {
        error = equals != std::string::npos && ApplyFlag(name, options)
                    ? "option '--" + name + "' takes no value"
                    : "unknown option '" + argument + "'";
        return false;
      }
      continue;
    }
    // Bundled short options: "-r0", "-j4", "-rj" followed by the count.
    for (std::size_t k = 1; k < argument.size(); ++k) {
      const std::string name(1, argument[k]);
      if (name == "j") {
        std::string value;
        if (k + 1 < argument.size()) {
          value = argument.substr(k + 1);
        } else if (i + 1 < arguments.size()) {
          value = arguments[++i];
        } else {
          error = "option '-j' requires a value";
          return false;
        }
        if (!ApplyValue(name, value, options, error)) {
          return false;
        }
        break;
      }
      if (!ApplyFlag(name, options)) {
        error = "unknown option '-" + name + "'";
        return false;
      }
    }
  }
  if (!options.help && !options.version && options.inputs.empty()) {
    error = "no input files";
    return false;
  }
  return true;
}

std::string HelpText() {
  return R"(Usage: strixa-batch [OPTION]... FILE|DIRECTORY|-...
Read the one-dimensional barcodes in many pictures and print one record per barcode.

Pictures may be BMP, PNG, JPEG, TIFF (every page), PNM, WebP or PDF (every page);
the format is told by the file's content, not its name.
A '-' reads a list of paths from standard input, one per line.

  -r, --recursive         read the files in directories and their subdirectories
  -0, --null              the standard-input list is separated by NUL bytes
      --format=FORMAT     tsv (default), jsonl or csv
      --header            print a header line first (tsv and csv)
      --guard-formulas    put a ' before tsv and csv fields that begin with =, +, -, @,
                          tab or CR, so spreadsheets show them as text, not formulas
      --fine              denser scan lines: finds smaller symbols, slower
      --engine=ENGINE     document (fast, for clean scans and pages), robust (photos,
                          grey or uneven paper, blur, turned symbols; slower) or both
                          (the default: a symbol both read is printed once)
      --symbologies=LIST  report only these, comma-separated, from
                          ean13,upca,ean8,code128,ean128,code39,2of5,itf
  -j, --jobs=N            read N pictures at once (default: one per core)
      --dpi=N             render PDF pages at N dots per inch (default 300); each page is
                          also read at half of it, and one with nothing found at twice it
      --list-empty        also print a record for each file where nothing was found
                          (tsv and csv; jsonl always does)
      --max-megapixels=N  give up on a file after N megapixels of pages (default 1024)
                          or N/16 seconds (at least 10)
      --progress          show a progress bar on standard error
      --no-progress       never show it (the default unless standard error is a terminal)
      --summary           end with a summary on standard error
      --no-summary        never print it (the default unless standard error is a terminal)
  -h, --help              display this help and exit
      --version           output version information and exit

Each record names the file, the page (from 1), the label, the text, the rectangle
(x, y, width, height in pixels, from 1), the orientation, the data as encoded and the
symbology identifier. Records come in the order of the input, whatever the number of
jobs. A file that cannot be read gets one line on standard error (and a record with an
"error" key under --format=jsonl).

Exit status:
  0  every file was read and at least one barcode was found
  1  every file was read and no barcode was found
  2  at least one file could not be read
 64  the command line was wrong
)";
}

}  // namespace strixa
