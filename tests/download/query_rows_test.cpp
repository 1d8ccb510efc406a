#include "download/query_rows.h"

#include <gtest/gtest.h>

#include "db/embedded/embedded.h"

namespace {

using db::FieldType;

TEST(CopyRowsInto, TypesFieldsFromDeclaredTypesAndExpressionsFromTheirValues) {
  auto conn = db::embedded::open(db::embedded::Options{":memory:"});
  conn->execute(
      "CREATE TABLE T (CODE VARCHAR(4), NOTE VARCHAR(MAX), AT DATETIME, QTY INT, SMALL SMALLINT, "
      "BIG BIGINT, PRICE DECIMAL(14,2), FLAG BIT)");
  conn->execute("INSERT INTO T VALUES ('A1', 'x', '2026-12-08', 3, 1, 9, 2.5, 1)");
  conn->execute("INSERT INTO T VALUES ('B22', NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
  auto rows = conn->query(
      "SELECT CODE, NOTE, AT, QTY, SMALL, BIG, PRICE, FLAG, QTY + 1 AS NEXT, 'abc' AS WORD FROM T "
      "ORDER BY CODE");

  db::DataSet target;
  download::copyRowsInto(*rows, target);

  struct Expected {
    const char* name;
    FieldType type;
    int size;
  };
  const std::vector<Expected> expected = {
      {"CODE", FieldType::String, 4}, {"NOTE", FieldType::String, 255},
      {"AT", FieldType::DateTime, 0}, {"QTY", FieldType::Int32, 0},
      {"SMALL", FieldType::Int16, 0}, {"BIG", FieldType::Int64, 0},
      {"PRICE", FieldType::Float, 0}, {"FLAG", FieldType::Boolean, 0},
      {"NEXT", FieldType::Int64, 0},  {"WORD", FieldType::String, 3}};
  ASSERT_EQ(target.fieldCount(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    const db::FieldDef& def = target.fieldDefs()[i];
    EXPECT_EQ(def.name, expected[i].name);
    EXPECT_EQ(def.type, expected[i].type);
    if (def.type == FieldType::String) {
      EXPECT_EQ(def.size, expected[i].size);
    }
  }
  ASSERT_EQ(target.recordCount(), 2u);
  target.first();
  EXPECT_EQ(target.fieldByName("CODE").value().asText(), "A1");
  EXPECT_EQ(target.fieldByName("QTY").value().asInt(), 3);
  target.next();
  EXPECT_TRUE(target.fieldByName("AT").value().isNull());
}

TEST(CopyRowsInto, ReplacesWhatTheTargetHeld) {
  auto conn = db::embedded::open(db::embedded::Options{":memory:"});
  db::DataSet target;
  target.createDataSet({db::makeField("OLD", FieldType::String, 5)});
  target.appendRecord({db::Value("old")});
  auto rows = conn->query("SELECT 1 AS ONE");
  download::copyRowsInto(*rows, target);
  ASSERT_EQ(target.fieldCount(), 1u);
  EXPECT_EQ(target.fieldDefs()[0].name, "ONE");
  EXPECT_EQ(target.recordCount(), 1u);
}

}  // namespace
