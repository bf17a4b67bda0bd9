// The record writer's direct copies agree with the row builder for every
// kind of value SQLite may hold for a field, the odd ones included.
#include <gtest/gtest.h>

#include "child_process.h"
#include "record_writer.h"
#include "row_builder.h"

using namespace r3sim;

TEST(RecordWriter, SameBytesAsTheRowBuilderForEveryStorageOfEveryType) {
  qtest::TempDir dir;
  SqliteDb db(dir.file("w.db"), true);
  const char *types = "CNDTXIsbFP";
  const unsigned lengths[] = {5, 6, 8, 6, 3, 4, 2, 1, 8, 4};
  std::vector<AbapField> fields;
  for (size_t i = 0; i < 10; ++i) {
    AbapField f;
    f.name = std::string("F") + types[i];
    f.type = static_cast<AbapType>(types[i]);
    f.length = lengths[i];
    f.decimals = types[i] == 'P' ? 2 : 0;
    fields.push_back(f);
  }
  RowLayout layout(fields);
  // Each value stored in every column: text of all lengths, digits or not,
  // integers, reals, blobs and NULL.
  const char *values[] = {"'AB'", "'ABCDEFG'", "''", "'123456'", "'12'", "'1234567'", "'12a456'",
                          "42", "-7", "70000", "2.5", "-0.125", "X'00FF'", "NULL"};
  for (const char *v : values) {
    std::string cols;
    for (size_t i = 0; i < 10; ++i) cols += (i ? ", " : "") + std::string(v);
    Stmt s = db.prepare("SELECT " + cols);
    ASSERT_TRUE(s.step());
    std::string direct(layout.width(), '\0'), built(layout.width(), '\0');
    RecordWriter(layout).write(s, direct.data());
    std::vector<Value> row;
    for (int c = 0; c < 10; ++c) row.push_back(s.value(c));
    RowBuilder::build_row(layout, row, built.data());
    EXPECT_EQ(direct, built) << v;
  }
}
