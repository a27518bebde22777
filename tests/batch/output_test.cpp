// SPDX-License-Identifier: Apache-2.0
#include "output.h"

#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace strixa {

namespace {

struct EscapeCase {
  std::string_view name;
  std::string field;
  std::string tsv;
  std::string csv;
  std::string json;
};

TEST(OutputTest, EscapesEveryFieldForItsFormat) {
  const EscapeCase cases[] = {
      {"plain", "page 1.png", "page 1.png", "page 1.png", "\"page 1.png\""},
      {"tab and line ends", "a\tb\nc\rd", "a\\tb\\nc\\rd", "\"a\tb\nc\rd\"", "\"a\\tb\\nc\\rd\""},
      // A reader that ends records at CR alone would split an unquoted field here.
      {"lone carriage return", "a\rb", "a\\rb", "\"a\rb\"", "\"a\\rb\""},
      {"backslash", "C:\\scans\\x", "C:\\\\scans\\\\x", "C:\\scans\\x", "\"C:\\\\scans\\\\x\""},
      {"quotes and comma", "say \"hi\",ok", "say \"hi\",ok", "\"say \"\"hi\"\",ok\"",
       "\"say \\\"hi\\\",ok\""},
      {"control bytes", std::string("\x01\x1f\x7f", 3), "\\x01\\x1F\\x7F",
       std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\\u007f\""},
      {"escape sequence", "\x1b]0;owned\x07.png", "\\x1B]0;owned\\x07.png", "\x1b]0;owned\x07.png",
       "\"\\u001b]0;owned\\u0007.png\""},
      {"written escape kept apart", "\\x1B", "\\\\x1B", "\\x1B", "\"\\\\x1B\""},
      {"UTF-8 kept", "\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9",
       "\"\xc3\xa9t\xc3\xa9\""},
      {"not UTF-8: lone byte, overlong, surrogate, cut sequence",
       "\xff\xc0\xaf\xed\xa0\x80\xe2\x82", "\xff\xc0\xaf\xed\xa0\x80\xe2\x82",
       "\xff\xc0\xaf\xed\xa0\x80\xe2\x82",
       "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"
       "\xef\xbf\xbd\""},
  };
  for (const EscapeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EscapeTsv(c.field), c.tsv);
    EXPECT_EQ(QuoteCsv(c.field), c.csv);
    EXPECT_EQ(QuoteJson(c.field), c.json);
  }
}

// A name, a text and data built to forge a second record, in every format. The data holds a
// tab, a line end, a NUL, a quote and a byte above 127, as a Code 128 symbol may.
TEST(OutputTest, HostileNamesTextsAndDataStayInOneRecord) {
  const std::string data("t\tn\n0\0q\"\xC1", 9);
  const FileRecord file{
      "x\t1\tEAN13\tfake\n.png",
      {{2, "code128", "CODE128", "a\"}\n{\"file\":\"y", 1, 2, 3, 4, "flat", data, "]C0"}},
      ""};
  EXPECT_EQ(FormatRecords(OutputFormat::Tsv, file),
            "x\\t1\\tEAN13\\tfake\\n.png\t2\tCODE128\ta\"}\\n{\"file\":\"y\t1\t2\t3\t4\tflat\t"
            "t\\tn\\n0\\x00q\"\xC1\t]C0\n");
  EXPECT_EQ(
      FormatRecords(OutputFormat::Csv, file),
      "x\\t1\\tEAN13\\tfake\\n.png,2,CODE128,\"a\"\"}\n{\"\"file\"\":\"\"y\",1,2,3,4,flat,\"" +
          std::string("t\tn\n0\0q\"\"\xC1", 10) + "\",]C0\r\n");
  EXPECT_EQ(FormatRecords(OutputFormat::Jsonl, file),
            "{\"schema\":2,\"file\":\"x\\t1\\tEAN13\\tfake\\n.png\",\"page\":2,"
            "\"symbology\":\"code128\",\"label\":\"CODE128\","
            "\"text\":\"a\\\"}\\n{\\\"file\\\":\\\"y\",\"data\":\"t\\tn\\n0\\u0000q\\\"\xC3\x81\","
            "\"symbology_id\":\"]C0\",\"x\":1,\"y\":2,\"width\":3,\"height\":4,"
            "\"orientation\":\"flat\",\"corners\":[[0.0,0.0],[0.0,0.0],[0.0,0.0],[0.0,0.0]],"
            "\"angle\":0.0}\n");
}

// Corners and angle come with one decimal, each rounded as C's %.1f rounds the float as a double,
// which Python's f"{v:.1f}" matches digit for digit (python3 -m strixa writes the same records).
TEST(OutputTest, JsonlCornersAndAngleHaveOneDecimal) {
  struct Case {
    float value;
    std::string text;
  };
  const std::vector<Case> cases = {
      {0.0f, "0.0"},         {12.0f, "12.0"},  {0.25f, "0.2"},       {0.75f, "0.8"},
      {0.05f, "0.1"},        {2.45f, "2.5"},   {359.95f, "360.0"},   {1199.5f, "1199.5"},
      {32767.0f, "32767.0"}, {-0.25f, "-0.2"}, {1e7f, "10000000.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    BarcodeRecord barcode{};
    barcode.corners = {{{c.value, 1.0f}, {2.0f, c.value}, {3.5f, 4.5f}, {c.value, c.value}}};
    barcode.angle = c.value;
    const std::string line = FormatRecords(OutputFormat::Jsonl, FileRecord{"f", {barcode}, ""});
    const std::string v = c.text;
    EXPECT_NE(line.find(",\"orientation\":\"\",\"corners\":[[" + v + ",1.0],[2.0," + v +
                        "],[3.5,4.5],[" + v + "," + v + "]],\"angle\":" + v + "}\n"),
              std::string::npos)
        << line;
  }
  // tsv and csv keep their columns.
  const FileRecord file{"f", {BarcodeRecord{}}, ""};
  EXPECT_EQ(FormatRecords(OutputFormat::Tsv, file).find("0.0"), std::string::npos);
  EXPECT_EQ(FormatRecords(OutputFormat::Csv, file).find("0.0"), std::string::npos);
}

TEST(OutputTest, JsonDataKeepsEveryByteAsItsOwnCharacter) {
  EXPECT_EQ(QuoteJsonBytes(std::string("\x00\x1d\x7f\x80\xff", 5)),
            "\"\\u0000\\u001d\\u007f\xC2\x80\xC3\xBF\"");
}

TEST(OutputTest, FailedFilesGetAJsonRecordAndOneErrorLine) {
  const FileRecord file{"bad\nname\x1b[2J", {}, "unknown format"};
  EXPECT_EQ(FormatRecords(OutputFormat::Jsonl, file),
            "{\"schema\":2,\"file\":\"bad\\nname\\u001b[2J\",\"error\":\"unknown format\"}\n");
  EXPECT_EQ(FormatRecords(OutputFormat::Tsv, file, true), "");
  EXPECT_EQ(FormatErrorLine(file), "strixa-batch: bad\\nname\\x1B[2J: unknown format\n");
}

// Spreadsheets run a cell that starts with one of these; guarded, it shows as text.
TEST(OutputTest, GuardsFormulasOnlyWhenAsked) {
  const FileRecord file{
      "=cmd.png", {{1, "code39", "CODE39", "-2+3", 1, 2, 3, 4, "flat", "", ""}}, ""};
  EXPECT_EQ(FormatRecords(OutputFormat::Csv, file), "=cmd.png,1,CODE39,-2+3,1,2,3,4,flat,,\r\n");
  EXPECT_EQ(FormatRecords(OutputFormat::Csv, file, false, true),
            "'=cmd.png,1,CODE39,'-2+3,1,2,3,4,flat,,\r\n");
  EXPECT_EQ(FormatRecords(OutputFormat::Tsv, file, false, true),
            "'=cmd.png\t1\tCODE39\t'-2+3\t1\t2\t3\t4\tflat\t\t\n");
  for (std::string_view field : {"=1", "+1", "-1", "@A", "\t1", "\r1"}) {
    EXPECT_EQ(GuardFormula(field), std::string("'").append(field));
  }
  for (std::string_view field : {"", "1=2", "'=1", "a"}) {
    EXPECT_EQ(GuardFormula(field), field);
  }
}

TEST(OutputTest, FilesWithNothingFoundGetARecordInJsonlAndOnRequest) {
  const FileRecord file{"blank, page.png", {}, ""};
  const struct {
    OutputFormat format;
    bool listEmpty;
    std::string expected;
  } cases[] = {
      {OutputFormat::Jsonl, false, "{\"schema\":2,\"file\":\"blank, page.png\",\"barcodes\":0}\n"},
      {OutputFormat::Tsv, false, ""},
      {OutputFormat::Csv, false, ""},
      {OutputFormat::Tsv, true, "blank, page.png\t\t\t\t\t\t\t\t\t\t\n"},
      {OutputFormat::Csv, true, "\"blank, page.png\",,,,,,,,,,\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.format) * 2 + c.listEmpty);
    EXPECT_EQ(FormatRecords(c.format, file, c.listEmpty), c.expected);
  }
}

TEST(OutputTest, SummaryCountsEachFileOnce) {
  BatchSummary summary;
  const BarcodeRecord barcode{};
  for (const FileRecord& file :
       {FileRecord{"a", {barcode, barcode}, ""}, FileRecord{"b", {}, ""},
        FileRecord{"c", {barcode}, "damaged"}, FileRecord{"d", {barcode}, ""}}) {
    CountFile(file.barcodes.size(), !file.error.empty(), summary);
  }
  EXPECT_EQ(FormatSummary(summary, 12.345),
            "strixa-batch: 4 files: 2 with barcodes, 1 without, 1 error; 4 barcodes in 12.3 s\n");
  EXPECT_EQ(FormatSummary(BatchSummary{1, 0, 1, 0, 1}, 0.0),
            "strixa-batch: 1 file: 0 with barcodes, 1 without, 0 errors; 1 barcode in 0.0 s\n");
}

// Every key a jsonl record may carry is described in the installed JSON Schema.
TEST(OutputTest, JsonlKeysAreInTheSchema) {
  std::ifstream in(STRIXA_SOURCE_DIR "/batch/strixa-batch.schema.json");
  const std::string schema{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_FALSE(schema.empty());
  const BarcodeRecord barcode{};
  std::string records;
  for (const FileRecord& file :
       {FileRecord{"a", {barcode}, ""}, FileRecord{"b", {}, ""}, FileRecord{"c", {}, "damaged"}}) {
    records += FormatRecords(OutputFormat::Jsonl, file);
  }
  // Keys follow "{" or "," and end in "\":"; no value here holds those characters.
  int keys = 0;
  for (std::size_t at = 0; (at = records.find_first_of("{,", at)) != std::string::npos; ++at) {
    const std::size_t end = records.find("\":", at + 2);
    if (records[at + 1] != '"' || end == std::string::npos) {
      continue;
    }
    const std::string name = records.substr(at + 2, end - at - 2);
    EXPECT_NE(schema.find("\"" + name + "\": {"), std::string::npos) << name;
    ++keys;
  }
  EXPECT_EQ(keys, 15 + 3 + 3);
  EXPECT_NE(schema.find("\"const\": " + std::to_string(jsonlSchemaVersion)), std::string::npos);
}

TEST(OutputTest, HeadersNameTheColumns) {
  EXPECT_EQ(FormatHeader(OutputFormat::Tsv),
            "file\tpage\tlabel\ttext\tx\ty\twidth\theight\torientation\tdata\tsymbology_id\n");
  EXPECT_EQ(FormatHeader(OutputFormat::Csv),
            "file,page,label,text,x,y,width,height,orientation,data,symbology_id\r\n");
  EXPECT_EQ(FormatHeader(OutputFormat::Jsonl), "");
}

}  // namespace

}  // namespace strixa
