// The client side of a select: the element it sends, the metadata lines it
// decodes rows by, and the text it writes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "field_layout.h"
#include "row_writer.h"
#include "select_request.h"

using namespace qorclient;

namespace {

FieldLayout field(const std::string &line) {
  FieldLayout f;
  EXPECT_TRUE(FieldLayout::parse(line, f)) << line;
  return f;
}

}  // namespace

TEST(SelectElement, WhereConditionsAreCutAtBlanksIntoLinesOf72) {
  SelectOptions o;
  o.table = "SFLIGHT";
  o.fields = "CARRID,CONNID";
  std::string clause = "CARRID EQ 'LH' AND CONNID EQ '0400' AND FLDATE GE '20260101' AND "
                       "PLANETYPE EQ 'A 340-600' AND PRICE GT 100";
  o.where = clause;
  std::string e = sselect_element(o);
  EXPECT_EQ(e.find("<sselect><table name=\"SFLIGHT\"/><field name=\"CARRID\"/>"
                   "<field name=\"CONNID\"/><where>"),
            0u)
      << e;
  // Two lines, none longer than 72, joined by one blank they give the clause.
  size_t first = e.find("<where>") + 7, first_end = e.find("</where>");
  size_t second = e.find("<where>", first_end) + 7, second_end = e.find("</where>", second);
  ASSERT_NE(second_end, std::string::npos) << e;
  std::string a = e.substr(first, first_end - first), b = e.substr(second, second_end - second);
  EXPECT_LE(a.size(), 72u);
  EXPECT_LE(b.size(), 72u);
  std::string joined = a + " " + b;
  for (size_t p; (p = joined.find("&quot;")) != std::string::npos;) joined.replace(p, 6, "\"");
  EXPECT_EQ(joined, clause);
  // A literal with blanks stays on one line.
  EXPECT_NE(e.find("'A 340-600'"), std::string::npos);

  o.where = std::string(73, 'X');
  EXPECT_THROW(sselect_element(o), std::invalid_argument);
  o.where.clear();
  o.fields = "A,,B";
  EXPECT_THROW(sselect_element(o), std::invalid_argument);
  o.table.clear();
  EXPECT_THROW(sselect_element(o), std::invalid_argument);
}

TEST(SelectElement, TheUsersElementGetsOnlyTheAttributesItLacks) {
  std::string xml = "<?xml version=\"1.0\"?>\n<!-- flights -->\n<gselect data=\"N\">\n"
                    "<table name=\"SFLIGHT\"/></gselect>\n";
  std::string done = complete_select(xml, "1 0xAB", "2 0xCD", true);
  EXPECT_EQ(done.find('\n'), std::string::npos);
  EXPECT_NE(done.find("<gselect chandle=\"1 0xAB\" dhandle=\"2 0xCD\" metadata=\"Y\" "
                      "batch=\"Y\" data=\"N\">"),
            std::string::npos)
      << done;
  EXPECT_NE(complete_select("<sselect/>", "c", "d", false)
                .find("<sselect chandle=\"c\" dhandle=\"d\" data=\"Y\" metadata=\"Y\"/>"),
            std::string::npos);
  EXPECT_THROW(complete_select("<function name=\"X\"/>", "c", "d", false), std::invalid_argument);
}

TEST(FieldLayout, MetadataLinesAreReadAndCheckedAndGiveTheRecordWidth) {
  FieldLayout f = field("SFLIGHT,CARRID,AIRLINE,C,0,3,0,Airline, short code");
  EXPECT_EQ(f.table, "SFLIGHT");
  EXPECT_EQ(f.heading(), "AIRLINE");
  EXPECT_EQ(f.description, "Airline, short code");
  FieldLayout bad;
  EXPECT_FALSE(FieldLayout::parse("SFLIGHT,CARRID,,Q,0,3,0,", bad));
  EXPECT_FALSE(FieldLayout::parse("SFLIGHT,CARRID,,I,0,3,0,", bad));  // I is 4 bytes
  EXPECT_FALSE(FieldLayout::parse("SFLIGHT,CARRID,,C,x,3,0,", bad));
  EXPECT_FALSE(FieldLayout::parse("OK", bad));
  // C 3 at 0, F at 8: the record is padded to the double's alignment.
  std::vector<FieldLayout> fields{field("T,A,,C,0,3,0,"), field("T,B,,F,8,8,0,"),
                                  field("T,C,,C,16,1,0,")};
  EXPECT_EQ(record_width(fields), 24u);
  EXPECT_EQ(record_width({field("T,A,,C,0,3,0,")}), 3u);
}

TEST(FieldLayout, EveryAbapTypeIsDecoded) {
  char record[64];
  std::memset(record, ' ', sizeof record);
  std::memcpy(record, "LH ", 3);            // C 3 at 0
  std::memcpy(record + 3, "20261207", 8);   // D at 3
  std::memcpy(record + 11, "093000", 6);    // T at 11
  int32_t i = -42;
  std::memcpy(record + 20, &i, 4);          // I at 20
  int16_t s = 1234;
  std::memcpy(record + 24, &s, 2);          // s at 24
  record[26] = static_cast<char>(200);      // b at 26
  record[27] = '\x0F';
  record[28] = '\xA0';                      // X 2 at 27
  double d = 0.5;
  std::memcpy(record + 32, &d, 8);          // F at 32
  const unsigned char p[] = {0x01, 0x23, 0x45, 0x6D};  // P 4: digits 0123456, sign D
  std::memcpy(record + 40, p, 4);
  std::memcpy(record + 44, "00000000", 8);  // initial D at 44
  std::memcpy(record + 52, "0042", 4);      // N 4 at 52

  EXPECT_EQ(field("T,F,,C,0,3,0,").decode(record), "LH");
  EXPECT_EQ(field("T,F,,D,3,8,0,").decode(record), "2026-12-07");
  EXPECT_EQ(field("T,F,,T,11,6,0,").decode(record), "09:30:00");
  EXPECT_EQ(field("T,F,,I,20,4,0,").decode(record), "-42");
  EXPECT_EQ(field("T,F,,s,24,2,0,").decode(record), "1234");
  EXPECT_EQ(field("T,F,,b,26,1,0,").decode(record), "200");
  EXPECT_EQ(field("T,F,,X,27,2,0,").decode(record), "0FA0");
  EXPECT_EQ(field("T,F,,F,32,8,0,").decode(record), "0.5");
  EXPECT_EQ(field("T,F,,P,40,4,2,").decode(record), "-1234.56");
  EXPECT_EQ(field("T,F,,P,40,4,0,").decode(record), "-123456");
  EXPECT_EQ(field("T,F,,D,44,8,0,").decode(record), "");
  EXPECT_EQ(field("T,F,,N,52,4,0,").decode(record), "0042");
  const unsigned char small[] = {0x00, 0x5C};  // +5 with 2 decimals
  std::memcpy(record + 40, small, 2);
  EXPECT_EQ(field("T,F,,P,40,2,2,").decode(record), "0.05");
}

TEST(RowWriter, CsvAndJsonEscapeWhatTheirReadersNeed) {
  EXPECT_EQ(csv_value("plain"), "plain");
  EXPECT_EQ(csv_value("a,b"), "\"a,b\"");
  EXPECT_EQ(csv_value("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(csv_value(" lead"), "\" lead\"");
  EXPECT_EQ(json_string("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
  EXPECT_EQ(json_string("M\xfc"), "\"M\xc3\xbc\"");  // Latin-1 to UTF-8

  char *buf = nullptr;
  size_t size = 0;
  FILE *out = open_memstream(&buf, &size);
  auto writer = RowWriter::make("json", out);
  std::vector<FieldLayout> fields{field("T,NAME,,C,0,4,0,"), field("T,SEATS,,I,4,4,0,")};
  char record[8] = {'A', 'B', ' ', ' '};
  int32_t seats = 7;
  std::memcpy(record + 4, &seats, 4);
  writer->begin(fields, 8);
  writer->row(record);
  std::fclose(out);
  EXPECT_EQ(std::string(buf, size), "{\"NAME\":\"AB\",\"SEATS\":7}\n");
  std::free(buf);
  EXPECT_EQ(RowWriter::make("xml", stdout), nullptr);
}
