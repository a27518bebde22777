#pragma once

#include <string>
#include <string_view>

#include "options.h"
#include "record.h"

namespace strixa {

// Backslash escapes for \t, \n, \r, \ itself and \xHH for the other control bytes (C0 and DEL):
// a field can never split a line or a column, nor drive the terminal it is shown on.
std::string EscapeTsv(std::string_view field);

// RFC 4180: fields with a comma, quote, CR or LF go in double quotes, quotes doubled.
std::string QuoteCsv(std::string_view field);

// A JSON string with its quotes. Control characters are escaped, and bytes that are not UTF-8
// (file names are arbitrary bytes) become U+FFFD, so the line is always valid JSON.
std::string QuoteJson(std::string_view text);

// The header line, with its line end; empty for jsonl, which has none.
std::string FormatHeader(OutputFormat format);

// A field a spreadsheet would run as a formula (it starts with =, +, -, @, tab or CR) with a
// quote put before it, which spreadsheets show as text; anything else as it is.
std::string GuardFormula(std::string_view field);

// Every record of one file, lines ended: one per barcode, and in jsonl one for a failure. In csv
// the file name has its control bytes escaped as in tsv; guardFormulas applies GuardFormula to
// every tsv and csv field.
std::string FormatRecords(OutputFormat format, const FileRecord& file, bool guardFormulas = false);

// The one standard-error line for a file that could not be read.
std::string FormatErrorLine(const FileRecord& file);

}  // namespace strixa
