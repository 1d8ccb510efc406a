// Rows, cursor, edit states, search, ordering and conversions of db::DataSet.
#include <gtest/gtest.h>

#include "db/core/error.h"
#include "db/dataset/dataset.h"

namespace {

using db::DataSet;
using db::FieldType;
using db::makeField;
using db::Value;

DataSet sales() {
  DataSet ds("cdsVenda");
  ds.createDataSet({makeField("CDFILIAL", FieldType::String, 4, true),
                    makeField("CDCAIXA", FieldType::String, 3),
                    makeField("NRSEQ", FieldType::Int32), makeField("VRTOTAL", FieldType::Float),
                    makeField("DTULTATU", FieldType::DateTime)});
  ds.appendRecord({"0001", "001", 10, 12.5, db::DateTime::fromParts(2026, 1, 3, 10, 0, 0, 250)});
  ds.appendRecord({"0001", "002", 11, 3.0, db::DateTime::fromParts(2026, 1, 5)});
  ds.appendRecord({"0002", "001", 12, nullptr, db::DateTime::fromParts(2025, 12, 31)});
  return ds;
}

std::vector<std::string> column(DataSet& ds, const char* field) {
  std::vector<std::string> out;
  const db::Field f = ds.fieldByName(field);
  for (ds.first(); !ds.eof(); ds.next()) out.push_back(f.asString());
  return out;
}

TEST(DataSetRows, AppendInsertEditCancelDelete) {
  DataSet ds = sales();
  EXPECT_EQ(ds.recordCount(), 3u);
  EXPECT_EQ(ds.recNo(), 2u);  // the cursor stays on the row just posted

  ds.first();
  ds.next();
  ds.insert();
  ds.fieldByName("CDFILIAL").setString("0009");
  ds.post();
  EXPECT_EQ(column(ds, "CDFILIAL"), (std::vector<std::string>{"0001", "0009", "0001", "0002"}));

  ds.first();
  ds.edit();
  ds.fieldByName("NRSEQ").setInteger(99);
  EXPECT_EQ(ds.fieldByName("NRSEQ").asInteger(), 99);  // the edit buffer reads back
  ds.cancel();
  EXPECT_EQ(ds.fieldByName("NRSEQ").asInteger(), 10);

  ds.edit();
  ds.fieldByName("CDCAIXA").setString("777");
  ds.post();
  EXPECT_EQ(ds.fieldByName("CDCAIXA").asString(), "777");

  ds.moveTo(1);
  ds.deleteRecord();
  EXPECT_EQ(ds.recordCount(), 3u);
  EXPECT_EQ(ds.fieldByName("NRSEQ").asInteger(), 11);  // the next row becomes current
  ds.last();
  ds.deleteRecord();
  EXPECT_EQ(ds.fieldByName("NRSEQ").asInteger(), 11);  // at the end the previous one does

  ds.emptyDataSet();
  EXPECT_TRUE(ds.isEmpty());
  EXPECT_TRUE(ds.eof());
  EXPECT_TRUE(ds.bof());
  EXPECT_TRUE(ds.fieldByName("NRSEQ").isNull());
}

TEST(DataSetRows, CursorWalksForwardAndBack) {
  DataSet ds = sales();
  std::vector<int64_t> seen;
  for (ds.first(); !ds.eof(); ds.next()) seen.push_back(ds.fieldByName("NRSEQ").asInteger());
  EXPECT_EQ(seen, (std::vector<int64_t>{10, 11, 12}));
  ds.last();
  ds.prior();
  EXPECT_EQ(ds.fieldByName("NRSEQ").asInteger(), 11);
  ds.prior();
  ds.prior();
  EXPECT_TRUE(ds.bof());
  EXPECT_EQ(ds.fieldByName("NRSEQ").asInteger(), 10);

  DataSet empty("cdsVazio");
  empty.createDataSet({makeField("A", FieldType::Int32)});
  empty.first();
  EXPECT_TRUE(empty.eof());
  EXPECT_TRUE(empty.isEmpty());
}

TEST(DataSetRows, RequiredFieldsAndStatesAreEnforced) {
  DataSet ds = sales();
  ds.append();
  ds.fieldByName("NRSEQ").setInteger(1);
  EXPECT_THROW(ds.post(), db::Error);  // CDFILIAL is required
  EXPECT_EQ(ds.state(), DataSet::State::Insert);
  ds.cancel();
  EXPECT_EQ(ds.recordCount(), 3u);

  EXPECT_THROW(ds.fieldByName("NRSEQ").setInteger(5), db::Error);  // not editing
  EXPECT_THROW(ds.fieldByName("NOPE"), db::Error);
  EXPECT_FALSE(ds.findField("nope").has_value());
  EXPECT_TRUE(ds.findField("nrseq").has_value());  // names match ignoring case
}

TEST(DataSetRows, ValuesThatDoNotFitAreRefusedNotCut) {
  DataSet ds("t");
  ds.createDataSet({makeField("SMALL", FieldType::Int16), makeField("N", FieldType::Int32),
                    makeField("D", FieldType::Date), makeField("V", FieldType::Bcd, 17)});
  ds.append();
  EXPECT_THROW(ds.fieldByName("SMALL").setInteger(40000), db::Error);
  EXPECT_THROW(ds.fieldByName("N").setString("12x"), db::Error);
  EXPECT_THROW(ds.fieldByName("V").setString("1.2.3"), db::Error);
  ds.fieldByName("SMALL").setInteger(-32768);
  ds.fieldByName("N").setString("42");
  ds.fieldByName("D").setDateTime(db::DateTime::fromParts(2026, 3, 4, 15, 30));
  ds.fieldByName("V").setString("00123.4500");
  ds.post();
  EXPECT_EQ(ds.fieldByName("SMALL").asInteger(), -32768);
  EXPECT_EQ(ds.fieldByName("N").asInteger(), 42);
  EXPECT_EQ(ds.fieldByName("D").asDateTime(), db::DateTime::fromParts(2026, 3, 4));
  EXPECT_EQ(ds.fieldByName("V").asString(), "123.45");
}

TEST(DataSetSearch, LocateOnOneOrSeveralFields) {
  DataSet ds = sales();
  EXPECT_TRUE(ds.locate("CDFILIAL;CDCAIXA", {"0001", "002"}));
  EXPECT_EQ(ds.fieldByName("NRSEQ").asInteger(), 11);
  EXPECT_TRUE(ds.locate("CDFILIAL; CDCAIXA ;NRSEQ", {"0002", "001", "12"}));  // text converts
  EXPECT_EQ(ds.recNo(), 2u);
  EXPECT_FALSE(ds.locate("CDFILIAL;CDCAIXA", {"0003", "001"}));
  EXPECT_EQ(ds.recNo(), 2u);  // a failed locate leaves the cursor alone
  EXPECT_TRUE(ds.locate("VRTOTAL", {nullptr}));
  EXPECT_TRUE(ds.locate("DTULTATU", {db::DateTime::fromParts(2026, 1, 3, 10, 0, 0, 250)}));
  EXPECT_THROW(ds.locate("CDFILIAL;CDCAIXA", {"0001"}), db::Error);
  EXPECT_THROW(ds.locate("XX", {"0001"}), db::Error);
}

TEST(DataSetSearch, FilterShowsOnlyMatchingRows) {
  DataSet ds = sales();
  ds.setFilter("CDFILIAL ='0001'");
  EXPECT_EQ(ds.recordCount(), 3u);  // not yet switched on
  ds.setFiltered(true);
  EXPECT_EQ(column(ds, "CDCAIXA"), (std::vector<std::string>{"001", "002"}));
  ds.setFilter("CDFILIAL = '0001' and NRSEQ = 11");
  EXPECT_EQ(column(ds, "CDCAIXA"), (std::vector<std::string>{"002"}));
  ds.setFilter("CDFILIAL = 'O''Brien'");
  EXPECT_TRUE(ds.isEmpty());
  ds.setFiltered(false);
  EXPECT_EQ(ds.recordCount(), 3u);

  EXPECT_THROW(ds.setFilter("CDFILIAL = "), db::Error);
  EXPECT_THROW(ds.setFilter("CDFILIAL = 'x' OR NRSEQ = 1"), db::Error);
  EXPECT_THROW(ds.setFilter("CDFILIAL = 'open"), db::Error);
}

TEST(DataSetSearch, EditsUnderAFilterKeepTheViewRight) {
  DataSet ds = sales();
  ds.setFilter("CDFILIAL = '0001'");
  ds.setFiltered(true);
  ds.first();
  ds.edit();
  ds.fieldByName("CDFILIAL").setString("0005");
  ds.post();
  EXPECT_EQ(ds.recordCount(), 1u);
  ds.append();
  ds.fieldByName("CDFILIAL").setString("0001");
  ds.post();
  EXPECT_EQ(ds.recordCount(), 2u);
  ds.setFiltered(false);
  EXPECT_EQ(column(ds, "CDFILIAL"), (std::vector<std::string>{"0005", "0001", "0002", "0001"}));
}

TEST(DataSetSearch, IndexFieldNamesGivesTheLargestValueLast) {
  DataSet ds = sales();
  ds.setIndexFieldNames("DTULTATU");
  ds.last();
  EXPECT_EQ(ds.fieldByName("DTULTATU").asDateTime(), db::DateTime::fromParts(2026, 1, 5));
  ds.first();
  EXPECT_EQ(ds.fieldByName("NRSEQ").asInteger(), 12);
  ds.setIndexFieldNames("VRTOTAL");
  ds.first();
  EXPECT_TRUE(ds.fieldByName("VRTOTAL").isNull());  // nulls first
  ds.setIndexFieldNames("CDFILIAL;CDCAIXA");
  EXPECT_EQ(column(ds, "NRSEQ"), (std::vector<std::string>{"10", "11", "12"}));
  ds.setIndexFieldNames("");
  EXPECT_EQ(column(ds, "NRSEQ"), (std::vector<std::string>{"10", "11", "12"}));
  EXPECT_THROW(ds.setIndexFieldNames("NOPE"), db::Error);
}

TEST(DataSetState, NameTagAndChangeLog) {
  DataSet ds = sales();
  ds.setTag(1);
  EXPECT_EQ(ds.tag(), 1);
  EXPECT_EQ(ds.name(), "cdsVenda");
  EXPECT_GT(ds.changeCount(), 0u);
  ds.mergeChangeLog();
  EXPECT_EQ(ds.changeCount(), 0u);
  ds.setLogChanges(false);
  ds.appendRecord({"0003"});
  EXPECT_EQ(ds.changeCount(), 0u);
  EXPECT_FALSE(ds.logChanges());

  DataSet moved = std::move(ds);
  EXPECT_EQ(moved.recordCount(), 4u);
  DataSet closed("x");
  EXPECT_FALSE(closed.active());
  EXPECT_EQ(closed.state(), DataSet::State::Inactive);
  EXPECT_THROW(closed.append(), db::Error);
}

}  // namespace
