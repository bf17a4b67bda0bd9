// The ABAP binary layout and character form of every type.
#include <gtest/gtest.h>

#include <cstring>

#include "abap_field.h"
#include "row_builder.h"

using namespace r3sim;

namespace {
AbapField field(AbapType t, unsigned len, unsigned dec = 0) {
  AbapField f;
  f.name = "F";
  f.type = t;
  f.length = len;
  f.decimals = dec;
  return f;
}
std::string bin(const AbapField &f, const Value &v) {
  std::string out(f.length, '\x55');
  RowBuilder::put_binary(f, v, out.data());
  return out;
}
std::string text(const AbapField &f, const Value &v) {
  std::string out(f.output_length(), '\x55');
  RowBuilder::put_text(f, v, out.data());
  return out;
}
}  // namespace

TEST(RowBuilder, CharacterLikeTypes) {
  EXPECT_EQ(bin(field(AbapType::kChar, 5), Value::text("LH")), "LH   ");
  EXPECT_EQ(bin(field(AbapType::kChar, 2), Value::text("LONG")), "LO");
  EXPECT_EQ(bin(field(AbapType::kNumc, 4), Value::text("17")), "0017");
  EXPECT_EQ(bin(field(AbapType::kNumc, 4), Value::integer(400)), "0400");
  EXPECT_EQ(bin(field(AbapType::kNumc, 3), Value::text("12345")), "345");
  EXPECT_EQ(bin(field(AbapType::kDate, 8), Value::text("20260105")), "20260105");
  EXPECT_EQ(bin(field(AbapType::kDate, 8), Value()), "00000000");
  EXPECT_EQ(bin(field(AbapType::kTime, 6), Value::text("")), "000000");
  EXPECT_EQ(bin(field(AbapType::kRaw, 4), Value::blob(std::string("\x01\xFF", 2))),
            std::string("\x01\xFF\0\0", 4));
}

TEST(RowBuilder, Integers) {
  int32_t i4;
  std::memcpy(&i4, bin(field(AbapType::kInt4, 4), Value::integer(-123456)).data(), 4);
  EXPECT_EQ(i4, -123456);
  int16_t i2;
  std::memcpy(&i2, bin(field(AbapType::kInt2, 2), Value::text("-300")).data(), 2);
  EXPECT_EQ(i2, -300);
  EXPECT_EQ(bin(field(AbapType::kInt1, 1), Value::integer(200)), "\xC8");
  double d;
  std::memcpy(&d, bin(field(AbapType::kFloat, 8), Value::real(2.5)).data(), 8);
  EXPECT_EQ(d, 2.5);
}

TEST(RowBuilder, PackedDecimal) {
  // 1234.56 with 2 decimals in 4 bytes: digits 0123456, sign C.
  EXPECT_EQ(bin(field(AbapType::kPacked, 4, 2), Value::real(1234.56)), "\x01\x23\x45\x6C");
  EXPECT_EQ(bin(field(AbapType::kPacked, 3, 2), Value::text("-12.345")), "\x01\x23\x5D");
  EXPECT_EQ(bin(field(AbapType::kPacked, 2, 0), Value::integer(7)), std::string("\x00\x7C", 2));
  EXPECT_EQ(RowBuilder::unpack("\x01\x23\x5D", 3), -1235);
  EXPECT_EQ(RowBuilder::scaled(Value::text("0.005"), 2), 1);
}

TEST(RowBuilder, CharacterForms) {
  EXPECT_EQ(text(field(AbapType::kInt4, 4), Value::integer(-42)), "        42-");
  EXPECT_EQ(text(field(AbapType::kInt1, 1), Value::integer(7)), " 7 ");
  EXPECT_EQ(text(field(AbapType::kPacked, 4, 2), Value::real(-5.5)), "    5.50-");
  EXPECT_EQ(text(field(AbapType::kRaw, 2), Value::blob("\xAB\x01")), "AB01");
  EXPECT_EQ(text(field(AbapType::kFloat, 8), Value::real(1.5)), "  1.5000000000000000E+00");
}

TEST(RowBuilder, LayoutAlignsAndPads) {
  // The RFCTEST structure of the test modules: 144 bytes.
  RowLayout layout({field(AbapType::kFloat, 8), field(AbapType::kChar, 1),
                    field(AbapType::kInt2, 2), field(AbapType::kInt1, 1),
                    field(AbapType::kChar, 4), field(AbapType::kInt4, 4),
                    field(AbapType::kRaw, 3), field(AbapType::kChar, 2),
                    field(AbapType::kTime, 6), field(AbapType::kDate, 8),
                    field(AbapType::kChar, 50), field(AbapType::kChar, 50)});
  std::vector<unsigned> offsets;
  for (const auto &f : layout.fields()) offsets.push_back(f.offset);
  EXPECT_EQ(offsets, (std::vector<unsigned>{0, 8, 10, 12, 13, 20, 24, 27, 29, 35, 43, 93}));
  EXPECT_EQ(layout.width(), 144u);
  std::string row(layout.width(), 'x');
  RowBuilder::build_row(layout, {Value::real(1), Value::text("A")}, row.data());
  EXPECT_EQ(row[8], 'A');
  EXPECT_EQ(row[9], '\0');  // alignment gap
  EXPECT_EQ(row.substr(43, 3), "   ");
}
