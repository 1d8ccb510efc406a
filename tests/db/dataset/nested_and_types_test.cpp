// Nested datasets (the structure package's shape) and every field type through both formats.
#include <gtest/gtest.h>

#include <filesystem>

#include "compare.h"
#include "db/core/error.h"
#include "db/dataset/dataset.h"
#include "support/temp_dir.h"

namespace {

using dataset_test::differences;
using db::DataSet;
using db::FieldType;
using db::makeField;
using db::makeNestedField;

std::vector<db::FieldDef> columnFields() {
  return {makeField("COL_NAME", FieldType::String, 30),
          makeField("FIELD_TYPE", FieldType::String, 30),
          makeField("NULLABLE", FieldType::String, 8),
          makeField("COL_DEFAULT", FieldType::String, 300)};
}

DataSet structPackage() {
  DataSet ds("struct");
  ds.createDataSet({makeField("TABLE_NAME", FieldType::String, 30),
                    makeNestedField("adqColunas", columnFields()),
                    makeNestedField("adqColunasOracle", columnFields()),
                    makeNestedField("adqIndices", {makeField("INDEX_NAME", FieldType::String, 30),
                                                   makeField("COL_NAME", FieldType::String, 30),
                                                   makeField("DESCEND", FieldType::String, 4)}),
                    makeNestedField("adqPriKeys", {makeField("INDEX_NAME", FieldType::String, 30),
                                                   makeField("COL_NAME", FieldType::String, 30)})});
  for (const std::string table : {"PRODUTO", "SA_CAIXA", "VAZIA"}) {
    ds.append();
    ds.fieldByName("TABLE_NAME").setString(table);
    ds.post();
    if (table == "VAZIA") continue;
    DataSet& cols = ds.nested("adqColunas");
    cols.appendRecord({"CD" + table, "VARCHAR(10)", "NOT NULL", ""});
    cols.appendRecord({"VR" + table, "DECIMAL(17,3)", "NULL", "(0)"});
    ds.nested("adqColunasOracle").appendRecord({"CD" + table, "VARCHAR2(10)", "NOT NULL", nullptr});
    DataSet& idx = ds.nested("adqIndices");
    idx.appendRecord({"PK_" + table, "CD" + table, "ASC"});
    idx.appendRecord({"IX_" + table, "VR" + table, "DESC"});
    ds.nested("adqPriKeys").appendRecord({"PK_" + table, "CD" + table});
  }
  return ds;
}

TEST(NestedDataSets, ChildRowsFollowTheParentRow) {
  DataSet ds = structPackage();
  ds.first();
  DataSet& cols = ds.nested("adqColunas");
  EXPECT_EQ(cols.recordCount(), 2u);
  EXPECT_EQ(cols.fieldByName("COL_NAME").asString(), "CDPRODUTO");
  cols.next();
  ds.next();
  EXPECT_EQ(cols.recNo(), 0u);  // a new parent row starts its children from the first
  EXPECT_EQ(cols.fieldByName("COL_NAME").asString(), "CDSA_CAIXA");
  ds.next();
  EXPECT_TRUE(cols.isEmpty());
  EXPECT_TRUE(cols.eof());

  // The filter of the primary-key step of the reconciliation.
  ds.first();
  DataSet& idx = ds.fieldByName("adqIndices").nestedDataSet();
  idx.setFilter("INDEX_NAME = 'PK_PRODUTO'");
  idx.setFiltered(true);
  EXPECT_EQ(idx.recordCount(), 1u);
  ds.next();
  EXPECT_EQ(idx.recordCount(), 0u);  // the filter stays on for the next table
  idx.setFiltered(false);
  EXPECT_EQ(idx.recordCount(), 2u);
}

TEST(NestedDataSets, RowsAddedWhileTheParentIsInsertedArriveWithIt) {
  DataSet ds = structPackage();
  ds.append();
  ds.fieldByName("TABLE_NAME").setString("NOVA");
  ds.nested("adqPriKeys").appendRecord({"PK_NOVA", "CDNOVA"});
  ds.post();
  EXPECT_EQ(ds.nested("adqPriKeys").fieldByName("COL_NAME").asString(), "CDNOVA");
  ds.first();
  ds.deleteRecord();
  EXPECT_EQ(ds.fieldByName("TABLE_NAME").asString(), "SA_CAIXA");
  EXPECT_EQ(ds.nested("adqPriKeys").fieldByName("COL_NAME").asString(), "CDSA_CAIXA");
  EXPECT_THROW(ds.nested("TABLE_NAME"), db::Error);
}

TEST(NestedDataSets, StructureAndConstraintPackagesSurviveBothFormats) {
  DataSet constraints("constraints");
  constraints.createDataSet({makeField("TABLE_NAME", FieldType::String, 30),
                             makeField("CONSTRAINT_NAME", FieldType::String, 30),
                             makeField("R_CONSTRAINT_NAME", FieldType::String, 60),
                             makeField("COL_NAME", FieldType::String, 30)});
  constraints.appendRecord({"ITEMPRECO", "FK_ITEMPRECO_1", "PRODUTO (CDPRODUTO)", "CDPRODUTO"});
  constraints.appendRecord({"ITEMPRECO", "FK_ITEMPRECO_2", "TABEPREC (CDTABEPREC)", "CDTABEPREC"});
  DataSet structure = structPackage();
  const testing_support::TempDir scratch;
  const auto& dir = scratch.path();
  for (DataSet* original : {&structure, &constraints}) {
    for (const db::PacketFormat format : {db::PacketFormat::Binary, db::PacketFormat::Xml}) {
      const auto file = dir / (original->name() + ".cds");
      original->saveToFile(file, format);
      DataSet loaded;
      loaded.loadFromFile(file);
      EXPECT_EQ(differences(*original, loaded), "") << original->name();
      EXPECT_EQ(loaded.fieldDefs(), original->fieldDefs());
    }
  }
}

// A field of one type with the value at the edge of its range and its zero.
struct TypeCase {
  db::FieldDef field;
  db::Value edge;
  db::Value zero;
};

db::FieldDef withSubtype(db::FieldDef field, const std::string& subtype) {
  field.subtype = subtype;
  return field;
}

TEST(FieldTypes, EveryTypeSurvivesBothFormatsExactly) {
  const db::DateTime when = db::DateTime::fromParts(2026, 12, 8, 23, 59, 58, 999);
  db::FieldDef bcd = makeField("QTY", FieldType::Bcd, 17);
  bcd.decimals = 3;
  const TypeCase cases[] = {
      {makeField("S", FieldType::String, 20), "Ação café €", ""},
      {makeField("F", FieldType::FixedString, 3), "AB ", ""},
      {makeField("W", FieldType::WideString, 20), "日本 ação 🎉", ""},
      {makeField("I1", FieldType::Int8), -128, 0},
      {makeField("I2", FieldType::Int16), -32768, 0},
      {makeField("I4", FieldType::Int32), INT32_MIN, 0},
      {makeField("I8", FieldType::Int64), INT64_MIN, 0},
      {makeField("U1", FieldType::UInt8), 255, 0},
      {makeField("U2", FieldType::UInt16), 65535, 0},
      {makeField("U4", FieldType::UInt32), int64_t{UINT32_MAX}, 0},
      {makeField("U8", FieldType::UInt64), INT64_MAX, 0},
      {withSubtype(makeField("PRICE", FieldType::Float), "Money"), 0.1 + 0.2, 0.0},
      {bcd, "-123456789012345.678", "0"},
      {makeField("B", FieldType::Boolean), true, false},
      {makeField("D", FieldType::Date), when, db::DateTime(0)},
      {makeField("T", FieldType::Time), when, db::DateTime(0)},
      {makeField("DT", FieldType::DateTime), when, db::DateTime(0)},
      {makeField("SDT", FieldType::SqlDateTime), when, db::DateTime::fromParts(1, 1, 1)},
      {withSubtype(makeField("NOTE", FieldType::Blob, 10), "Text"), "linha 1\r\nlinha 2 & <fim>",
       ""},
      {withSubtype(makeField("PHOTO", FieldType::Blob), "Graphics"), db::Bytes{0, 1, 2, 255, '"'},
       db::Bytes{}},
      {withSubtype(makeField("WNOTE", FieldType::Blob), "WideText"), "ü\n", ""},
      {makeField("LONG", FieldType::String, 1000), std::string(700, 'x'), ""}};
  std::vector<db::FieldDef> fields;
  std::vector<db::Value> edges, zeros;
  for (const TypeCase& type : cases) {
    fields.push_back(type.field);
    edges.push_back(type.edge);
    zeros.push_back(type.zero);
  }
  DataSet ds("types");
  ds.createDataSet(fields);
  ds.appendRecord(edges);
  ds.appendRecord({});  // every field null
  ds.appendRecord(zeros);
  for (const db::PacketFormat format : {db::PacketFormat::Binary, db::PacketFormat::Xml}) {
    DataSet copy;
    copy.setData(ds.toPacket(format));
    EXPECT_EQ(differences(ds, copy), "");
    EXPECT_EQ(copy.fieldDefs(), ds.fieldDefs());
  }
  ds.first();
  EXPECT_EQ(ds.fieldByName("D").asDateTime(), db::DateTime::fromParts(2026, 12, 8));
  EXPECT_EQ(ds.fieldByName("T").value().getDateTime().msSinceZero(),
            when.msSinceZero() % db::DateTime::kMsPerDay);
  EXPECT_EQ(ds.fieldByName("QTY").asString(), "-123456789012345.678");
}

TEST(FieldTypes, TextsOutsideCodePage1252AreRefusedInSingleByteFields) {
  DataSet ds("t");
  ds.createDataSet({makeField("S", FieldType::String, 10)});
  ds.appendRecord({"日本"});
  EXPECT_THROW(ds.data(), db::PacketError);
  DataSet xml;
  xml.setData(ds.toPacket(db::PacketFormat::Xml));  // UTF-8 XML holds it
  xml.first();
  EXPECT_EQ(xml.fieldByName("S").asString(), "日本");

  // Field names and property texts are single-byte too: refused as packet errors, never thrown
  // as anything a reader of packets would not expect.
  DataSet named("t");
  named.createDataSet({makeField("CAMPO日", FieldType::String, 10)});
  EXPECT_THROW(named.data(), db::PacketError);
  DataSet param("t");
  param.createDataSet({makeField("S", FieldType::String, 10)});
  db::PacketParam label;
  label.name = "LABEL";
  label.text = "日本";
  param.params().push_back(label);
  EXPECT_THROW(param.data(), db::PacketError);
}

TEST(FieldTypes, OldXmlInCodePage1252ReadsAsUtf8) {
  const std::string packet =
      "<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
      "<FIELD attrname=\"NM\" fieldtype=\"string\" WIDTH=\"10\"/></FIELDS><PARAMS/></METADATA>"
      "<ROWDATA><ROW NM=\"A\xE7\xE3o\"/><ROW RowState=\"2\" NM=\"gone\"/></ROWDATA></DATAPACKET>";
  DataSet ds;
  ds.setData(std::string_view(packet));
  EXPECT_EQ(ds.recordCount(), 1u);  // the deleted row is not presented
  ds.first();
  EXPECT_EQ(ds.fieldByName("NM").asString(), "Ação");
}

}  // namespace

namespace {

TEST(NestedDataSets, CancellingANewParentRowDropsItsPendingChildren) {
  DataSet ds = structPackage();
  ds.append();
  ds.nested("adqPriKeys").appendRecord({"PK_X", "CDX"});
  ds.cancel();
  ds.append();
  EXPECT_TRUE(ds.nested("adqPriKeys").isEmpty());
  EXPECT_TRUE(ds.nested("adqPriKeys").fieldByName("COL_NAME").isNull());
  ds.cancel();
  EXPECT_EQ(ds.recordCount(), 3u);
}

}  // namespace
