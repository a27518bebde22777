// SPDX-License-Identifier: Apache-2.0
#include "output.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

#include "platform/escape.h"

namespace strixa {

namespace {

// A coordinate or angle with one decimal, as C's %.1f writes the float as a double (Python's
// f"{v:.1f}" writes the same digits).
std::string OneDecimal(float value) {
  std::array<char, 64> text{};
  const int length = std::snprintf(text.data(), text.size(), "%.1f", static_cast<double>(value));
  return std::string(text.data(), static_cast<std::size_t>(std::max(length, 0)));
}

// ,"corners":[[x,y],...],"angle":a after a barcode's other fields.
std::string JsonGeometry(const BarcodeRecord& barcode) {
  std::string out = ",\"corners\":[";
  for (std::size_t i = 0; i < barcode.corners.size(); ++i) {
    out += (i == 0 ? "[" : ",[") + OneDecimal(barcode.corners[i][0]) + "," +
           OneDecimal(barcode.corners[i][1]) + "]";
  }
  return out + "],\"angle\":" + OneDecimal(barcode.angle);
}

// Length of the well-formed UTF-8 sequence at the start of text, or 0.
std::size_t Utf8Length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (lead < 0x80) {
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
    high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) {
    return 0;
  }
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) {
      return 0;
    }
  }
  return length;
}

// Fields in output order, shared by tsv and csv; a file without barcodes gives its name alone.
std::array<std::string, 11> FormatFields(const FileRecord& file, const BarcodeRecord* barcode) {
  if (barcode == nullptr) {
    return {file.path};
  }
  return {file.path,
          std::to_string(barcode->page),
          barcode->label,
          barcode->text,
          std::to_string(barcode->x),
          std::to_string(barcode->y),
          std::to_string(barcode->width),
          std::to_string(barcode->height),
          barcode->orientation,
          barcode->data,
          barcode->symbologyId};
}

constexpr std::array<std::string_view, 11> fieldNames = {
    "file",  "page",   "label",       "text", "x",           "y",
    "width", "height", "orientation", "data", "symbology_id"};

std::string JsonStart(const FileRecord& file) {
  return "{\"schema\":" + std::to_string(jsonlSchemaVersion) + ",\"file\":" + QuoteJson(file.path);
}

std::string SeparatedLine(OutputFormat format, const FileRecord& file, const BarcodeRecord* barcode,
                          bool guardFormulas) {
  const bool csv = format == OutputFormat::Csv;
  std::string line;
  bool first = true;
  for (std::string& field : FormatFields(file, barcode)) {
    if (!first) {
      line += csv ? ',' : '\t';
    }
    if (csv && first) {
      field = EscapeControlCharacters(field);  // the name; texts are data and go out whole
    }
    first = false;
    if (guardFormulas) {
      field = GuardFormula(field);
    }
    line += csv ? QuoteCsv(field) : EscapeTsv(field);
  }
  return line + (csv ? "\r\n" : "\n");
}

}  // namespace

std::string EscapeTsv(std::string_view field) {
  std::string doubled;
  doubled.reserve(field.size());
  for (char c : field) {
    doubled += c;
    if (c == '\\') {
      doubled += c;
    }
  }
  return EscapeControlCharacters(doubled);
}

std::string GuardFormula(std::string_view field) {
  if (!field.empty() && std::string_view("=+-@\t\r").find(field[0]) != std::string_view::npos) {
    std::string guarded(1, '\'');
    guarded += field;
    return guarded;
  }
  return std::string(field);
}

std::string QuoteCsv(std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    return std::string(field);
  }
  std::string quoted = "\"";
  for (char c : field) {
    if (c == '"') {
      quoted += '"';
    }
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string QuoteJson(std::string_view text) {
  std::string quoted = "\"";
  while (!text.empty()) {
    const char c = text[0];
    const std::size_t length = Utf8Length(text);
    if (length == 0) {
      quoted += "\xEF\xBF\xBD";
      text.remove_prefix(1);
      continue;
    }
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (c == '\n') {
      quoted += "\\n";
    } else if (c == '\r') {
      quoted += "\\r";
    } else if (c == '\t') {
      quoted += "\\t";
    } else if (static_cast<std::uint8_t>(c) < 0x20 || c == 0x7F) {
      constexpr char hex[] = "0123456789abcdef";
      quoted += "\\u00";
      quoted += hex[(c >> 4) & 0xF];
      quoted += hex[c & 0xF];
    } else {
      quoted.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  quoted += '"';
  return quoted;
}

std::string QuoteJsonBytes(std::string_view bytes) {
  std::string utf8;
  utf8.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | (byte >> 6));
      utf8 += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return QuoteJson(utf8);
}

std::string FormatHeader(OutputFormat format) {
  if (format == OutputFormat::Jsonl) {
    return {};
  }
  const char separator = format == OutputFormat::Csv ? ',' : '\t';
  std::string line;
  for (std::string_view name : fieldNames) {
    if (!line.empty()) {
      line += separator;
    }
    line += name;
  }
  return line + (format == OutputFormat::Csv ? "\r\n" : "\n");
}

std::string FormatRecords(OutputFormat format, const FileRecord& file, bool listEmpty,
                          bool guardFormulas) {
  const bool jsonl = format == OutputFormat::Jsonl;
  std::string out;
  for (const BarcodeRecord& barcode : file.barcodes) {
    if (!jsonl) {
      out += SeparatedLine(format, file, &barcode, guardFormulas);
      continue;
    }
    out += JsonStart(file) + ",\"page\":" + std::to_string(barcode.page) +
           ",\"symbology\":" + QuoteJson(barcode.symbology) +
           ",\"label\":" + QuoteJson(barcode.label) + ",\"text\":" + QuoteJson(barcode.text) +
           ",\"data\":" + QuoteJsonBytes(barcode.data) +
           ",\"symbology_id\":" + QuoteJson(barcode.symbologyId) +
           ",\"x\":" + std::to_string(barcode.x) + ",\"y\":" + std::to_string(barcode.y) +
           ",\"width\":" + std::to_string(barcode.width) +
           ",\"height\":" + std::to_string(barcode.height) +
           ",\"orientation\":" + QuoteJson(barcode.orientation) + JsonGeometry(barcode) + "}\n";
  }
  if (!file.error.empty()) {
    if (jsonl) {
      out += JsonStart(file) + ",\"error\":" + QuoteJson(file.error) + "}\n";
    }
  } else if (file.barcodes.empty()) {
    if (jsonl) {
      out += JsonStart(file) + ",\"barcodes\":0}\n";
    } else if (listEmpty) {
      out += SeparatedLine(format, file, nullptr, guardFormulas);
    }
  }
  return out;
}

void CountFile(std::size_t barcodes, bool failed, BatchSummary& summary) {
  ++summary.files;
  summary.barcodes += barcodes;
  if (failed) {
    ++summary.errors;
  } else if (barcodes == 0) {
    ++summary.withoutBarcodes;
  } else {
    ++summary.withBarcodes;
  }
}

std::string FormatSummary(const BatchSummary& summary, double seconds) {
  const auto count = [](std::size_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
  };
  char time[32];
  std::snprintf(time, sizeof time, "%.1f s", seconds);
  return "strixa-batch: " + count(summary.files, "file", "files") + ": " +
         std::to_string(summary.withBarcodes) + " with barcodes, " +
         std::to_string(summary.withoutBarcodes) + " without, " +
         count(summary.errors, "error", "errors") + "; " +
         count(summary.barcodes, "barcode", "barcodes") + " in " + time + "\n";
}

std::string FormatErrorLine(const FileRecord& file) {
  return "strixa-batch: " + EscapeTsv(file.path) + ": " + EscapeTsv(file.error) + "\n";
}

}  // namespace strixa
