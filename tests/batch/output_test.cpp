#include "output.h"

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

// A name and a text built to forge a second record, in every format.
TEST(OutputTest, HostileNamesAndTextsStayInOneRecord) {
  const FileRecord file{"x\t1\tEAN13\tfake\n.png",
                        {{2, "code128", "CODE128", "a\"}\n{\"file\":\"y", 1, 2, 3, 4, "flat"}},
                        ""};
  EXPECT_EQ(FormatRecords(OutputFormat::Tsv, file),
            "x\\t1\\tEAN13\\tfake\\n.png\t2\tCODE128\ta\"}\\n{\"file\":\"y\t1\t2\t3\t4\tflat\n");
  EXPECT_EQ(
      FormatRecords(OutputFormat::Csv, file),
      "x\\t1\\tEAN13\\tfake\\n.png,2,CODE128,\"a\"\"}\n{\"\"file\"\":\"\"y\",1,2,3,4,flat\r\n");
  EXPECT_EQ(FormatRecords(OutputFormat::Jsonl, file),
            "{\"file\":\"x\\t1\\tEAN13\\tfake\\n.png\",\"page\":2,\"symbology\":\"code128\","
            "\"label\":\"CODE128\",\"text\":\"a\\\"}\\n{\\\"file\\\":\\\"y\",\"x\":1,\"y\":2,"
            "\"width\":3,\"height\":4,\"orientation\":\"flat\"}\n");
}

TEST(OutputTest, FailedFilesGetAJsonRecordAndOneErrorLine) {
  const FileRecord file{"bad\nname\x1b[2J", {}, "unknown format"};
  EXPECT_EQ(FormatRecords(OutputFormat::Jsonl, file),
            "{\"file\":\"bad\\nname\\u001b[2J\",\"error\":\"unknown format\"}\n");
  EXPECT_EQ(FormatRecords(OutputFormat::Tsv, file), "");
  EXPECT_EQ(FormatErrorLine(file), "strixa-batch: bad\\nname\\x1B[2J: unknown format\n");
}

// Spreadsheets run a cell that starts with one of these; guarded, it shows as text.
TEST(OutputTest, GuardsFormulasOnlyWhenAsked) {
  const FileRecord file{"=cmd.png", {{1, "code39", "CODE39", "-2+3", 1, 2, 3, 4, "flat"}}, ""};
  EXPECT_EQ(FormatRecords(OutputFormat::Csv, file), "=cmd.png,1,CODE39,-2+3,1,2,3,4,flat\r\n");
  EXPECT_EQ(FormatRecords(OutputFormat::Csv, file, true),
            "'=cmd.png,1,CODE39,'-2+3,1,2,3,4,flat\r\n");
  EXPECT_EQ(FormatRecords(OutputFormat::Tsv, file, true),
            "'=cmd.png\t1\tCODE39\t'-2+3\t1\t2\t3\t4\tflat\n");
  for (std::string_view field : {"=1", "+1", "-1", "@A", "\t1", "\r1"}) {
    EXPECT_EQ(GuardFormula(field), "'" + std::string(field));
  }
  for (std::string_view field : {"", "1=2", "'=1", "a"}) {
    EXPECT_EQ(GuardFormula(field), field);
  }
}

TEST(OutputTest, HeadersNameTheColumns) {
  EXPECT_EQ(FormatHeader(OutputFormat::Tsv),
            "file\tpage\tlabel\ttext\tx\ty\twidth\theight\torientation\n");
  EXPECT_EQ(FormatHeader(OutputFormat::Csv),
            "file,page,label,text,x,y,width,height,orientation\r\n");
  EXPECT_EQ(FormatHeader(OutputFormat::Jsonl), "");
}

}  // namespace

}  // namespace strixa
