// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
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

// The version of the jsonl records, carried in each as "schema"; it grows when a field changes
// meaning or goes, or when barcode records gain fields every reader must expect (2: corners and
// angle).
inline constexpr int jsonlSchemaVersion = 2;

// Bytes as a JSON string with its quotes, each byte the character of the same number (ISO
// 8859-1), so NUL and bytes above 127 survive as they were.
std::string QuoteJsonBytes(std::string_view bytes);

// The header line, with its line end; empty for jsonl, which has none.
std::string FormatHeader(OutputFormat format);

// A field a spreadsheet would run as a formula (it starts with =, +, -, @, tab or CR) with a
// quote put before it, which spreadsheets show as text; anything else as it is.
std::string GuardFormula(std::string_view field);

// Every record of one file, lines ended: one per barcode; in jsonl one for a failure, and one
// for a file read whole where nothing was found, which tsv and csv write only under listEmpty
// (the file name, every other column empty). In csv the file name has its control bytes escaped
// as in tsv; guardFormulas applies GuardFormula to every tsv and csv field.
std::string FormatRecords(OutputFormat format, const FileRecord& file, bool listEmpty = false,
                          bool guardFormulas = false);

// What a run did, for the summary at its end. Every file counts once: with an error, else with
// or without barcodes.
struct BatchSummary {
  std::size_t files = 0;
  std::size_t withBarcodes = 0;
  std::size_t withoutBarcodes = 0;
  std::size_t errors = 0;
  std::size_t barcodes = 0;
};

// Counts one file, whose records held barcodes in all, and which failed or was read whole.
void CountFile(std::size_t barcodes, bool failed, BatchSummary& summary);

// The summary line, with its line end.
std::string FormatSummary(const BatchSummary& summary, double seconds);

// The one standard-error line for a file that could not be read.
std::string FormatErrorLine(const FileRecord& file);

}  // namespace strixa
