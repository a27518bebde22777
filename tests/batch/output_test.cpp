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
      {"control bytes", std::string("\x01\x1f\x7f", 3), std::string("\x01\x1f\x7f", 3),
       std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\\u007f\""},
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
      "\"x\t1\tEAN13\tfake\n.png\",2,CODE128,\"a\"\"}\n{\"\"file\"\":\"\"y\",1,2,3,4,flat\r\n");
  EXPECT_EQ(FormatRecords(OutputFormat::Jsonl, file),
            "{\"file\":\"x\\t1\\tEAN13\\tfake\\n.png\",\"page\":2,\"symbology\":\"code128\","
            "\"label\":\"CODE128\",\"text\":\"a\\\"}\\n{\\\"file\\\":\\\"y\",\"x\":1,\"y\":2,"
            "\"width\":3,\"height\":4,\"orientation\":\"flat\"}\n");
}

TEST(OutputTest, FailedFilesGetAJsonRecordAndOneErrorLine) {
  const FileRecord file{"bad\nname", {}, "unknown format"};
  EXPECT_EQ(FormatRecords(OutputFormat::Jsonl, file),
            "{\"file\":\"bad\\nname\",\"error\":\"unknown format\"}\n");
  EXPECT_EQ(FormatRecords(OutputFormat::Tsv, file), "");
  EXPECT_EQ(FormatErrorLine(file), "strixa-batch: bad\\nname: unknown format\n");
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
