// Packets written row by row are byte for byte the packets of a table holding the same rows.
#include "db/dataset/row_packet_writer.h"

#include <gtest/gtest.h>

#include "db/core/error.h"
#include "db/dataset/packet.h"
#include "db/dataset/table.h"

namespace {

using db::FieldType;
using db::makeField;
using db::Value;
using Rows = std::vector<std::vector<Value>>;

std::vector<db::FieldDef> everyType() {
  db::FieldDef bcd = makeField("VR", FieldType::Bcd, 17);
  bcd.decimals = 3;
  db::FieldDef memo = makeField("MEMO", FieldType::Blob);
  memo.subtype = "Text";
  db::FieldDef wideMemo = makeField("WMEMO", FieldType::Blob);
  wideMemo.subtype = "WideText";
  return {makeField("CD", FieldType::String, 10, true),
          makeField("FIX", FieldType::FixedString, 4),
          makeField("WIDE", FieldType::WideString, 20),
          makeField("LONGDS", FieldType::String, 2000),
          bcd,
          makeField("I8", FieldType::Int8),
          makeField("I16", FieldType::Int16),
          makeField("I32", FieldType::Int32),
          makeField("I64", FieldType::Int64),
          makeField("U32", FieldType::UInt32),
          makeField("RATE", FieldType::Float),
          makeField("ID", FieldType::Boolean),
          makeField("DT", FieldType::Date),
          makeField("TM", FieldType::Time),
          makeField("DTHR", FieldType::DateTime),
          makeField("TS", FieldType::SqlDateTime),
          memo,
          wideMemo,
          makeField("RAW", FieldType::Blob)};
}

Rows sampleRows() {
  const auto when = db::DateTime::fromParts(2026, 11, 2, 13, 45, 7, 250);
  return {
      {"0001", "AB", "ação", "short", 1694.22, 1, 2, 3, 4, 5, 1.5, true, when, when, when, when,
       "memo", "wide memo", db::Bytes{0, 1, 2}},
      {Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(),
       Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value()},
      // Numbers in text fields, texts in number fields, integers in a decimal: converted alike.
      {int64_t{42}, "X", "", std::string(300, 'x'), int64_t{7}, "-5", "12", "-2147483648",
       "9000000000", int64_t{4000000000}, "2.25", "S", db::DateTime(), 45000.5, "2026-01-31",
       46000.0, std::string(70000, 'm'), "", db::Bytes{}},
      {"café", "ÇÃO", "wide", "é", -0.001, Value(), Value(), Value(), Value(), Value(), Value(),
       false},
  };
}

std::string tablePacket(const std::vector<db::FieldDef>& fields, const Rows& rows) {
  db::Table table(fields);
  for (const auto& row : rows) {
    const uint32_t slot = table.appendSlot();
    for (size_t f = 0; f < row.size(); ++f)
      if (!row[f].isNull()) table.set(slot, f, row[f]);
  }
  return db::writeBinaryPacket(table);
}

std::string rowPacket(const std::vector<db::FieldDef>& fields, const Rows& rows) {
  db::RowPacketWriter writer(fields);
  for (const auto& row : rows) {
    writer.appendRow();
    for (size_t f = 0; f < row.size(); ++f) writer.set(f, row[f]);
  }
  return writer.finish();
}

TEST(RowPacketWriter, WritesTheBytesOfATableWithTheSameRows) {
  const auto fields = everyType();
  const Rows rows = sampleRows();
  EXPECT_EQ(rowPacket(fields, {}), tablePacket(fields, {}));
  // Each row alone, then all: the length prefixes follow the longest value of each field.
  for (const auto& row : rows) EXPECT_EQ(rowPacket(fields, {row}), tablePacket(fields, {row}));
  EXPECT_EQ(rowPacket(fields, rows), tablePacket(fields, rows));
  auto table = db::readBinaryPacket(rowPacket(fields, rows), "rows");
  EXPECT_EQ(table->rowCount(), rows.size());
  EXPECT_EQ(table->get(table->order()[2], 3), Value(std::string(300, 'x')));
}

// A long text after many short ones widens the prefix of the records already written; texts
// whose UTF-8 passes 255 bytes count by it, as a table lays them out.
TEST(RowPacketWriter, ALateLongTextWidensTheRecordsBeforeIt) {
  const std::vector<db::FieldDef> fields{makeField("A", FieldType::String, 200),
                                         makeField("B", FieldType::String, 300),
                                         makeField("C", FieldType::Int32)};
  std::string accented;
  for (int i = 0; i < 150; ++i) accented += "é";
  for (const Value& late :
       {Value(std::string(256, 'y')), Value(accented), Value(std::string(70000, 'z'))}) {
    Rows rows;
    for (int i = 0; i < 50; ++i) rows.push_back({"a" + std::to_string(i), Value(), i});
    rows.push_back({late, late, 1});
    rows.push_back({Value(), "after", 2});
    EXPECT_EQ(rowPacket(fields, rows), tablePacket(fields, rows));
  }
}

// A round decimal reads "1e+05" in its shortest form; it goes out as the number it is.
TEST(RowPacketWriter, RoundAndSmallDecimalsGoOutAsNumbers) {
  db::FieldDef bcd = makeField("VR", FieldType::Bcd, 17);
  bcd.decimals = 4;
  const Rows rows{{100000.0}, {2e6}, {0.0001}, {-1e15}, {int64_t{100000}}};
  const std::string packet = rowPacket({bcd}, rows);
  EXPECT_EQ(packet, tablePacket({bcd}, rows));
  auto table = db::readBinaryPacket(packet, "decimals");
  std::vector<Value> read;
  for (uint32_t slot : table->order()) read.push_back(table->get(slot, 0));
  EXPECT_EQ(read,
            (std::vector<Value>{"100000", "2000000", "0.0001", "-1000000000000000", "100000"}));
}

TEST(RowPacketWriter, RefusesWhatATableRefuses) {
  const std::vector<db::FieldDef> fields{makeField("N", FieldType::Int16),
                                         makeField("S", FieldType::String, 10)};
  db::RowPacketWriter writer(fields);
  writer.appendRow();
  EXPECT_THROW(writer.set(0, int64_t{70000}), db::Error);  // outside the range of an i2
  EXPECT_THROW(writer.set(1, "日本"), db::Error);          // no code page 1252 text
  db::RowPacketWriter ordered(fields);
  EXPECT_THROW(ordered.set(0, 1), db::Error);  // no row yet
  ordered.appendRow();
  ordered.set(1, "x");
  EXPECT_THROW(ordered.set(0, 1), db::Error);  // fields go in order
  EXPECT_THROW(ordered.set(2, 1), db::Error);
  EXPECT_THROW(
      db::RowPacketWriter({db::makeNestedField("KIDS", {makeField("A", FieldType::Int32)})}),
      db::Error);
}

}  // namespace
