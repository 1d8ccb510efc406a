#include "central/model/model.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "test_paths.h"

namespace central {
namespace {

const std::string kModelFile = std::string(KIVTAB_SOURCE_DIR) + "/model/central_model.json";

TEST(CentralModel, EmbeddedModelMatchesTheFileAndValidates) {
  const Model& embedded = centralModel();
  const Model fromFile = loadModel(kModelFile);
  ASSERT_EQ(embedded.tables().size(), fromFile.tables().size());
  for (size_t i = 0; i < embedded.tables().size(); ++i) {
    const Table& a = embedded.tables()[i];
    const Table& b = fromFile.tables()[i];
    EXPECT_EQ(a.name, b.name);
    ASSERT_EQ(a.columns.size(), b.columns.size()) << a.name;
    for (size_t c = 0; c < a.columns.size(); ++c) {
      EXPECT_EQ(a.columns[c].name + " " + a.columns[c].type,
                b.columns[c].name + " " + b.columns[c].type);
    }
  }
  EXPECT_NO_THROW(validateModel(embedded));
}

TEST(CentralModel, CacheListHoldsTheRegistersTablesWithTheirFlags) {
  const Model& m = centralModel();
  ASSERT_EQ(m.cacheList().size(), 263u);
  EXPECT_EQ(m.cacheList().front().table, "TIPOCONSCLI");
  EXPECT_EQ(m.cacheList().back().table, "ORIGEMVENDAKIV");
  std::set<std::string> flagged;
  for (const CacheListEntry& e : m.cacheList()) {
    if (e.flag == 'S') flagged.insert(e.table);
    EXPECT_TRUE(m.table(e.table).inCacheList) << e.table;
  }
  EXPECT_EQ(flagged,
            (std::set<std::string>{"TURCAIXA", "VENDA", "REDUCAOZ", "MOVCAIXA", "ITEMVENDA",
                                   "IMPOSTOREDZ", "TOTNFISCREDZ", "FORMPGTOREDZ", "ITVENDAIMPOS",
                                   "ITVENDACAN", "PARAMPRODFILI"}));
}

TEST(CentralModel, PositionsNameKnownTablesOfTheRightKind) {
  const Model& m = centralModel();
  ASSERT_EQ(m.positions().size(), 303u);
  EXPECT_EQ(m.positions()[5].table, "CAIXA");
  EXPECT_EQ(m.positions()[5].dataset, "cdsCaixas");
  EXPECT_EQ(m.positions()[45].kind, PositionKind::DeleteCache);
  EXPECT_EQ(m.table(m.positions()[45].table).deleteCacheOf->table, "ITEMPRECO");
  EXPECT_EQ(m.positions()[55].kind, PositionKind::Unused);
  EXPECT_EQ(m.positions()[302].table, "ORIGEMVENDAKIV");
  const char* sales[] = {"TURCAIXA",   "VENDA",    "ITEMVENDA",   "ITVENDAIMPOS",
                         "ITVENDACAN", "MOVCAIXA", "EXTRATOCONS", "REDUCAOZ"};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(m.positions()[190 + i].kind, PositionKind::Sales);
    EXPECT_EQ(m.positions()[190 + i].table, sales[i]);
  }
  EXPECT_EQ(m.positions()[198].kind, PositionKind::SalesReturnText);
  for (const Position& p : m.positions()) {
    if (p.kind == PositionKind::Table || p.kind == PositionKind::Sales ||
        p.kind == PositionKind::DeleteCache) {
      EXPECT_NE(m.findTable(p.table), nullptr) << p.index;
    }
  }
}

TEST(CentralModel, RequestSlotsNameUpdateColumnsOfTheirTables) {
  const Model& m = centralModel();
  ASSERT_EQ(m.requestSlots().size(), 119u);
  EXPECT_EQ(m.requestSlots()[0].table, "ITEMPRECO");
  EXPECT_EQ(m.requestSlots()[0].column, "DTULTATUITPR");
  EXPECT_EQ(m.requestSlots()[118].table, "CONFTELAINICARD");
  for (const RequestSlot& s : m.requestSlots()) {
    const Table& t = m.table(s.table);
    EXPECT_EQ(t.column(s.column).type, "DATETIME") << s.table;
    EXPECT_EQ(t.updateColumn, s.column) << s.table;
  }
}

TEST(CentralModel, KeysFollowTheMergeAndDeleteCacheTables) {
  const Model& m = centralModel();
  using Keys = std::vector<std::string>;
  EXPECT_EQ(m.table("ITEMPRECO").keyColumns(),
            (Keys{"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "CDPRPAITABPR"}));
  EXPECT_EQ(m.table("SALA").primaryKey->name, "PK_SALA");
  EXPECT_EQ(m.table("CONSUMIDOR").keyColumns(), (Keys{"CDCLIENTE", "CDCONSUMIDOR"}));
  EXPECT_EQ(m.table("CTRLBAIXATAB").keyColumns(), (Keys{"CDFILIAL", "NMTABELA", "CDCAIXA"}));
  // ALIQIMPFIS is merged by branch and product but deleted by tax too: the key holds all three.
  EXPECT_EQ(m.table("ALIQIMPFIS").keyColumns(), (Keys{"CDFILIAL", "CDPRODUTO", "CDIMPOSTO"}));
  for (const Table& t : m.tables()) {
    if (!t.deleteCacheOf) continue;
    const Table& source = m.table(t.deleteCacheOf->table);
    for (const std::string& k : t.deleteCacheOf->keyColumns) {
      EXPECT_TRUE(source.hasColumn(k)) << t.name << " " << k;
    }
  }
}

TEST(CentralModel, ColumnTypesFollowTheNamingConventions) {
  const Model& m = centralModel();
  for (const Table& t : m.tables()) {
    if (t.name == "CTRLEXECREM") continue;  // its identity key is numeric
    for (const Column& c : t.columns) {
      const std::string p = c.name.substr(0, 2);
      const std::string where = t.name + "." + c.name;
      if (p == "DT") {
        EXPECT_EQ(c.type, "DATETIME") << where;
      } else if (p == "VR" || p == "QT") {
        EXPECT_EQ(c.type, "DECIMAL(17,3)") << where;
      } else if (p == "CD" || p == "ID") {
        EXPECT_EQ(c.type.rfind("VARCHAR(", 0), 0u) << where;
      }
    }
  }
  const Table& caixa = m.table("CAIXA");
  EXPECT_EQ(caixa.column("CDFILIAL").type, "VARCHAR(4)");
  EXPECT_EQ(caixa.column("CDCAIXA").type, "VARCHAR(3)");
  EXPECT_TRUE(caixa.hasColumn("IPSERVPRI"));
  EXPECT_TRUE(caixa.hasColumn("IDAUTOIMPTAB"));
  EXPECT_EQ(caixa.branchColumn, "CDFILIAL");
  EXPECT_EQ(m.table("VENDA").registerColumn, "CDCAIXA");
  // The 63 columns the consumer temporary tables copy, and the birth date and e-mail address the
  // turnstile's consumer view reads.
  EXPECT_EQ(m.table("CONSUMIDOR").columns.size(), 65u);
}

// A minimal valid model in text, for the failure cases below.
std::string modelText(const std::string& tables, const std::string& positionTable = "T") {
  std::string positions;
  for (int i = 0; i < 303; ++i) {
    std::string kind = "unused";
    if (i >= 190 && i < 198) kind = "sales";
    if (i == 198) kind = "salesReturnText";
    if (i == 0) kind = "table";
    positions +=
        (i ? "," : "") + std::string("{\"position\":") + std::to_string(i) + ",\"kind\":\"" + kind +
        "\"" +
        ((kind == "table" || kind == "sales") ? ",\"table\":\"" + positionTable + "\"" : "") + "}";
  }
  std::string slots;
  for (int i = 0; i < 119; ++i) {
    slots += (i ? "," : "") + std::string("{\"slot\":") + std::to_string(i) +
             ",\"table\":\"T\",\"column\":\"DTULTATU\"}";
  }
  return "{\"format\":\"kivtab-central-model\",\"version\":1,\"cacheTableList\":[],"
         "\"positions\":[" +
         positions + "],\"requestSlots\":[" + slots + "],\"tables\":[" + tables + "]}";
}

const std::string kTableT =
    R"j({"name":"T","columns":[{"name":"CDT","type":"VARCHAR(4)","nullable":false},)j"
    R"j({"name":"DTULTATU","type":"DATETIME"}],"primaryKey":{"name":"PK_T","columns":["CDT"]}})j";

void expectModelError(const std::string& text, const std::string& fragment) {
  try {
    parseModel(text, "test");
    FAIL() << "accepted a model that should fail with: " << fragment;
  } catch (const ModelError& e) {
    EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
  }
}

TEST(CentralModelValidation, AcceptsAMinimalModel) {
  const Model m = parseModel(modelText(kTableT), "test");
  EXPECT_EQ(m.table("t").name, "T");
}

TEST(CentralModelValidation, RejectsModelsThatDoNotHoldTogether) {
  expectModelError("{not json", "test: text");
  expectModelError(R"j({"format":"other"})j", "not a central model file");
  expectModelError(modelText(kTableT + "," + kTableT), "defined twice");
  expectModelError(modelText(kTableT, "NOSUCH"), "position 0 names unknown table NOSUCH");
  expectModelError(modelText(R"j({"name":"T","columns":[{"name":"DTULTATU","type":"DATETIME"}],)j"
                             R"j("primaryKey":{"name":"PK_T","columns":["CDX"]}})j"),
                   "key column CDX is not a column");
  expectModelError(modelText(R"j({"name":"T","columns":[{"name":"DTULTATU","type":"DATETIME"},)j"
                             R"j({"name":"DTULTATU","type":"DATETIME"}]})j"),
                   "column DTULTATU is defined twice");
  expectModelError(modelText(R"j({"name":"T","columns":[{"name":"DTULTATU","type":"TEXTISH"}]})j"),
                   "unknown type TEXTISH");
  expectModelError(
      modelText(R"j({"name":"T","columns":[{"name":"DTULTATU","type":"DATETIME"},)j"
                R"j({"name":"IDX","type":"VARCHAR(1)","default":"'S'); DROP TABLE T; --"}]})j"),
      "unsupported default");
  expectModelError(
      modelText(R"j({"name":"T; DROP","columns":[{"name":"DTULTATU","type":"DATETIME"}]})j"),
      "is not a plain identifier");
  expectModelError(
      modelText(kTableT + R"j(,{"name":"C","kind":"deleteCache","deleteCacheOf":"T",)j"
                          R"j("keyColumns":["CDNOPE"],"comparedColumn":"DTULTATU","columns":[)j"
                          R"j({"name":"DSKEYCACHE","type":"VARCHAR(500)"},)j"
                          R"j({"name":"DTULTATUCACH","type":"DATETIME"}]})j"),
      "deleted-key column (of C) CDNOPE is not a column");
}

TEST(CentralModelValidation, MissingFileIsAClearError) {
  EXPECT_THROW(loadModel("/nonexistent/central_model.json"), ModelError);
}

}  // namespace
}  // namespace central
