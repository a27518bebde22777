#pragma once

#include <string>
#include <string_view>

#include "options.h"
#include "record.h"

namespace strixa {

// Backslash escapes for \t, \n, \r and \ itself: a field can never split a line or a column.
std::string EscapeTsv(std::string_view field);

// RFC 4180: fields with a comma, quote, CR or LF go in double quotes, quotes doubled.
std::string QuoteCsv(std::string_view field);

// A JSON string with its quotes. Control characters are escaped, and bytes that are not UTF-8
// (file names are arbitrary bytes) become U+FFFD, so the line is always valid JSON.
std::string QuoteJson(std::string_view text);

// The header line, with its line end; empty for jsonl, which has none.
std::string FormatHeader(OutputFormat format);

// Every record of one file, lines ended: one per barcode, and in jsonl one for a failure.
std::string FormatRecords(OutputFormat format, const FileRecord& file);

// The one standard-error line for a file that could not be read.
std::string FormatErrorLine(const FileRecord& file);

}  // namespace strixa
