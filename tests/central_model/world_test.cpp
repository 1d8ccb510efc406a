#include "central/world/world.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "central/world/change.h"
#include "central/world/key_text.h"
#include "db/embedded/embedded.h"

namespace central {
namespace {

constexpr uint64_t kSeed = 7;

std::unique_ptr<db::Connection> emptyCentralDatabase() {
  auto connection = db::embedded::open({":memory:"});
  createCentralDatabase(*connection, centralModel());
  return connection;
}

std::unique_ptr<db::Connection> world(uint64_t seed = kSeed) {
  auto connection = emptyCentralDatabase();
  generateWorld(*connection, centralModel(), 1, seed);
  return connection;
}

int64_t count(db::Connection& c, const std::string& sql, const db::Params& params = {}) {
  auto rows = c.query(sql, params);
  EXPECT_TRUE(rows->next()) << sql;
  return rows->at(0).asInt();
}

std::string text(const Column& column, const db::Value& v) {
  if (v.isNull()) return "<null>";
  if (column.type == "DATETIME") return v.asDateTime().iso();
  if (column.type.rfind("DECIMAL", 0) == 0) return std::to_string(v.asDouble());
  return v.asText();
}

// Key text -> the row as texts, for comparing whole tables.
using Snapshot = std::map<std::string, std::vector<std::string>>;

Snapshot snapshot(db::Connection& c, const Table& t) {
  std::string order;
  for (const std::string& k : t.keyColumns()) order += (order.empty() ? "" : ", ") + k;
  auto rows = c.query("SELECT * FROM " + t.name + " ORDER BY " + order);
  Snapshot out;
  while (rows->next()) {
    std::vector<std::string> row;
    std::vector<db::Value> key;
    for (const Column& column : t.columns) {
      const db::Value v = (*rows)[column.name];
      row.push_back(text(column, v));
    }
    for (const std::string& k : t.keyColumns()) {
      const db::Value& v = (*rows)[k];
      key.push_back(t.column(k).type == "DATETIME" ? db::Value(v.asDateTime())
                                                   : db::Value(v.asText()));
    }
    out[cacheKeyText(t.name, t.keyColumns(), key)] = row;
  }
  return out;
}

TEST(CentralDdl, CreateTableCarriesTypesNullabilityDefaultsAndTheNamedKey) {
  const auto statements = tableDdl(centralModel().table("SALA"));
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(statements[0],
            "CREATE TABLE SALA (CDFILIAL VARCHAR(4) NOT NULL, CDSALA VARCHAR(10) NOT NULL, "
            "DTULTATUSALA DATETIME NULL, DSSALA VARCHAR(255) NULL, "
            "CONSTRAINT PK_SALA PRIMARY KEY (CDFILIAL, CDSALA))");
  EXPECT_EQ(statements[1], "CREATE INDEX IX_SALA_DTULTATUSALA ON SALA (DTULTATUSALA ASC)");
  const auto venda = tableDdl(centralModel().table("VENDA"));
  EXPECT_NE(venda[0].find("IDIMPVENDA VARCHAR(1) NULL DEFAULT 'N'"), std::string::npos);
}

TEST(CacheKeyText, WritesPairsWithTheDateFormsTheRegisterCompares) {
  const db::DateTime start = db::DateTime::fromParts(2026, 10, 2, 13, 4, 5);
  EXPECT_EQ(cacheKeyText("ITEMPRECO", {"CDFILIAL", "DTINIVGPREC"}, {db::Value("0001"), start}),
            "CDFILIAL=0001;DTINIVGPREC=02/10/2026;");
  EXPECT_EQ(cacheKeyText("TABEVEND", {"DTINIVGPREC"}, {db::Value(start)}),
            "DTINIVGPREC=20261002130405;");
  EXPECT_EQ(cacheKeyText("MOVINDICE", {"DTREFIND"}, {db::Value(start)}), "DTREFIND=02/10/2026;");
  EXPECT_THROW(cacheKeyText("SALA", {"CDSALA"}, {db::Value("A;B")}), std::invalid_argument);
  EXPECT_THROW(cacheKeyText("SALA", {"CDSALA"}, {}), std::invalid_argument);
}

TEST(CentralDatabase, EveryTableOfTheModelExistsAndStartsEmpty) {
  auto c = emptyCentralDatabase();
  for (const Table& t : centralModel().tables()) {
    EXPECT_EQ(count(*c, "SELECT COUNT(*) AS N FROM " + t.name), 0) << t.name;
  }
  EXPECT_THROW(createCentralDatabase(*c, centralModel()), std::exception);
}

TEST(CentralDatabase, TheCatalogueShowsTypesDefaultsKeysAndIndexesAsModelled) {
  auto c = emptyCentralDatabase();
  auto columns = c->query(
      "SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE, COLUMN_DEFAULT "
      "FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'VENDA' AND COLUMN_NAME IN "
      "('CDFILIAL', 'IDIMPVENDA', 'VRTOTVENDA') ORDER BY COLUMN_NAME");
  std::vector<std::string> seen;
  while (columns->next()) {
    std::string line;
    for (size_t i = 0; i < 5; ++i) line += columns->at(i).asText() + "|";
    seen.push_back(line);
  }
  EXPECT_EQ(seen,
            (std::vector<std::string>{"CDFILIAL|varchar|4|NO||", "IDIMPVENDA|varchar|1|YES|('N')|",
                                      "VRTOTVENDA|decimal||YES||"}));
  auto indexes = c->query(
      "SELECT I.NAME FROM sys.indexes I, sys.objects O WHERE O.object_id = I.object_id AND "
      "O.NAME = 'SALA' ORDER BY I.NAME");
  std::vector<std::string> names;
  while (indexes->next()) names.push_back(indexes->at(0).asText());
  // The model's indexes, and the central side's own index of the branch's changed rows.
  EXPECT_EQ(names,
            (std::vector<std::string>{"IX_SALA_DTULTATUSALA", "IXC_SALA_DTULTATUSALA", "PK_SALA"}));
}

class DemoWorld : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { db_ = world().release(); }
  static void TearDownTestSuite() {
    delete db_;
    db_ = nullptr;
  }
  static db::Connection* db_;
};
db::Connection* DemoWorld::db_ = nullptr;

TEST_F(DemoWorld, HoldsThePlannedRowsOfEveryTable) {
  int64_t total = 0;
  for (const Table& t : centralModel().tables()) {
    const int64_t expected = t.kind == TableKind::Data ? plannedRows(t, 1) : 0;
    EXPECT_EQ(count(*db_, "SELECT COUNT(*) AS N FROM " + t.name), expected) << t.name;
    total += expected;
  }
  EXPECT_GT(total, 2000);
  EXPECT_LT(total, 10000);
  EXPECT_EQ(plannedRows(centralModel().table("PRODUTO"), 300),
            300 * plannedRows(centralModel().table("PRODUTO"), 1));
}

TEST_F(DemoWorld, HasTheMandatoryBranchesAndRegisters) {
  EXPECT_EQ(count(*db_, "SELECT COUNT(*) AS N FROM FILIAL WHERE CDFILIAL IN ('0001', '0002')"), 2);
  struct Register {
    const char *branch, *code, *automatic, *server;
  };
  for (const Register& r :
       {Register{"0001", "001", "S", ""}, Register{"0001", "002", "S", "127.0.0.1"},
        Register{"0001", "009", "N", ""}}) {
    auto rows = db_->query(
        "SELECT IDAUTOIMPTAB, IPSERVPRI, CDLOJA FROM CAIXA WHERE CDFILIAL = :P_CDFILIAL AND "
        "CDCAIXA = :P_CDCAIXA",
        {{"P_CDFILIAL", r.branch}, {"P_CDCAIXA", r.code}});
    ASSERT_TRUE(rows->next()) << r.code;
    EXPECT_EQ((*rows)["IDAUTOIMPTAB"].asText(), r.automatic);
    EXPECT_EQ((*rows)["IPSERVPRI"].asText(), r.server);
    EXPECT_FALSE((*rows)["CDLOJA"].asText().empty());
  }
  EXPECT_EQ(count(*db_, "SELECT COUNT(*) AS N FROM PARAVEND WHERE CDFILIAL = '0001'"), 1);
  EXPECT_EQ(count(*db_, "SELECT COUNT(*) AS N FROM PARAMGERAL"), 1);
  EXPECT_EQ(count(*db_,
                  "SELECT COUNT(*) AS N FROM CONFTELACAIXA C WHERE C.CDFILICAIXA = '0001' AND "
                  "C.CDCAIXA = '001' AND EXISTS (SELECT 1 FROM CONFTELA F WHERE F.CDFILIAL = "
                  "C.CDFILIAL AND F.NRCONFTELA = C.NRCONFTELA)"),
            1);
}

TEST_F(DemoWorld, CodesReferToRowsOfTheirOwnTables) {
  EXPECT_EQ(count(*db_,
                  "SELECT COUNT(*) AS N FROM ITEMPRECO I WHERE NOT EXISTS (SELECT 1 FROM PRODUTO "
                  "P WHERE P.CDPRODUTO = I.CDPRODUTO)"),
            0);
  EXPECT_EQ(count(*db_,
                  "SELECT COUNT(*) AS N FROM EXTRATOCONS E WHERE NOT EXISTS (SELECT 1 FROM "
                  "CONSUMIDOR C WHERE C.CDCLIENTE = E.CDCLIENTE AND C.CDCONSUMIDOR = "
                  "E.CDCONSUMIDOR)"),
            0);
  EXPECT_EQ(count(*db_,
                  "SELECT COUNT(*) AS N FROM SALDOCONS S WHERE NOT EXISTS (SELECT 1 FROM "
                  "CONSUMIDOR C WHERE C.CDCLIENTE = S.CDCLIENTE AND C.CDCONSUMIDOR = "
                  "S.CDCONSUMIDOR)"),
            0);
  EXPECT_GT(count(*db_, "SELECT COUNT(*) AS N FROM ITEMPRECO WHERE CDFILIAL = '0002'"), 0);
}

TEST_F(DemoWorld, UpdateTimesLieInTheMonthBeforeTheBaseDate) {
  const db::DateTime base = worldBaseDate();
  for (const Table& t : centralModel().tables()) {
    if (t.kind != TableKind::Data || t.updateColumn.empty() || plannedRows(t, 1) == 0) continue;
    const std::string sql = "SELECT COUNT(*) AS N FROM " + t.name + " WHERE " + t.updateColumn;
    EXPECT_EQ(count(*db_, sql + " >= :P_DATE", {{"P_DATE", base}}), 0) << t.name;
    EXPECT_EQ(count(*db_, sql + " > :P_DATE", {{"P_DATE", base.addDays(-31)}}), plannedRows(t, 1))
        << t.name;
  }
}

TEST(DemoWorldGeneration, SameSeedSameRowsOtherSeedOtherRows) {
  auto a = world(kSeed), b = world(kSeed), other = world(kSeed + 1);
  bool differs = false;
  for (const Table& t : centralModel().tables()) {
    if (t.kind != TableKind::Data || !t.primaryKey) continue;
    const Snapshot sa = snapshot(*a, t);
    EXPECT_EQ(sa, snapshot(*b, t)) << t.name;
    differs = differs || sa != snapshot(*other, t);
  }
  EXPECT_TRUE(differs);
}

TEST(DemoWorldGeneration, RejectsScalesOutOfRange) {
  auto c = emptyCentralDatabase();
  EXPECT_THROW(generateWorld(*c, centralModel(), 0, kSeed), std::invalid_argument);
  EXPECT_THROW(generateWorld(*c, centralModel(), -5, kSeed), std::invalid_argument);
  EXPECT_THROW(generateWorld(*c, centralModel(), 1'000'000, kSeed), std::invalid_argument);
}

TEST(CentralChange, ChangesExactlyWhatItsSummarySays) {
  auto c = world();
  const Model& m = centralModel();
  std::map<std::string, Snapshot> before;
  for (const std::string& name : changeableTables(m)) before[name] = snapshot(*c, m.table(name));

  const ChangeSummary summary = applyChange(*c, m, 42);
  EXPECT_EQ(summary.at, worldBaseDate().addDays(1));
  EXPECT_GT(summary.changedRows(), 300);

  int64_t deletions = 0;
  for (const std::string& name : changeableTables(m)) {
    const Table& t = m.table(name);
    const Snapshot after = snapshot(*c, t);
    const Snapshot& old = before[name];
    TableChange expected;
    if (auto it = summary.tables.find(name); it != summary.tables.end()) expected = it->second;
    std::set<std::string> updated(expected.updated.begin(), expected.updated.end());
    std::set<std::string> inserted(expected.inserted.begin(), expected.inserted.end());
    std::set<std::string> deleted(expected.deleted.begin(), expected.deleted.end());
    deletions += static_cast<int64_t>(deleted.size());
    for (const auto& [key, row] : old) {
      auto now = after.find(key);
      if (deleted.count(key)) {
        EXPECT_EQ(now, after.end()) << name << " kept deleted " << key;
      } else if (now == after.end()) {
        ADD_FAILURE() << name << " lost " << key;
      } else if (updated.count(key)) {
        EXPECT_NE(now->second, row) << name << " " << key;
      } else {
        EXPECT_EQ(now->second, row) << name << " changed " << key;
      }
    }
    for (const auto& [key, row] : after) {
      if (!old.count(key)) {
        EXPECT_TRUE(inserted.count(key)) << name << " gained " << key;
      }
    }
    for (const std::string& key : inserted) EXPECT_TRUE(after.count(key)) << name << " " << key;
    // Exactly the changed rows are newer than the world's base date.
    EXPECT_EQ(
        count(*c, "SELECT COUNT(*) AS N FROM " + name + " WHERE " + t.updateColumn + " > :P_DATE",
              {{"P_DATE", worldBaseDate()}}),
        static_cast<int64_t>(updated.size() + inserted.size()))
        << name;
  }
  EXPECT_GT(deletions, 50);

  for (const Table& cache : m.tables()) {
    if (cache.kind != TableKind::DeleteCache) continue;
    std::multiset<std::string> recorded;
    auto rows = c->query("SELECT DSKEYCACHE, DTULTATUCACH FROM " + cache.name);
    while (rows->next()) {
      recorded.insert((*rows)["DSKEYCACHE"].asText());
      EXPECT_EQ((*rows)["DTULTATUCACH"].asDateTime(), summary.at) << cache.name;
    }
    std::multiset<std::string> expected;
    if (auto it = summary.deleteCacheRows.find(cache.name); it != summary.deleteCacheRows.end()) {
      expected.insert(it->second.begin(), it->second.end());
    }
    EXPECT_EQ(recorded, expected) << cache.name;
  }
  // A deleted price item is recorded with its validity start as the register compares it.
  for (const std::string& key : summary.deleteCacheRows.at("CACHEITPREC")) {
    const size_t start = key.find("DTINIVGPREC=");
    ASSERT_NE(start, std::string::npos) << key;
    EXPECT_EQ(key.substr(start + 14, 1), "/") << key;
    EXPECT_EQ(key.find(';', start) - start, 22u) << key;
  }
}

TEST(CentralChange, SameSeedSameBatch) {
  auto a = world(), b = world();
  ChangeOptions options;
  options.tables = {"PRODUTO", "ITEMPRECO", "CONSUMIDOR"};
  options.at = worldBaseDate().addDays(3);
  const ChangeSummary sa = applyChange(*a, centralModel(), 9, options);
  const ChangeSummary sb = applyChange(*b, centralModel(), 9, options);
  ASSERT_EQ(sa.tables.size(), 3u);
  for (const auto& [name, change] : sa.tables) {
    EXPECT_EQ(change.updated, sb.tables.at(name).updated);
    EXPECT_EQ(change.inserted, sb.tables.at(name).inserted);
    EXPECT_EQ(change.deleted, sb.tables.at(name).deleted);
  }
  EXPECT_EQ(snapshot(*a, centralModel().table("ITEMPRECO")),
            snapshot(*b, centralModel().table("ITEMPRECO")));
}

TEST(CentralChange, BatchesWithoutATimeFollowOneAnother) {
  auto c = world();
  ChangeOptions options;
  options.tables = {"PRODUTO", "ITEMPRECO"};
  const ChangeSummary first = applyChange(*c, centralModel(), 3, options);
  EXPECT_EQ(first.at, worldBaseDate().addDays(1));
  const ChangeSummary second = applyChange(*c, centralModel(), 4, options);
  EXPECT_EQ(second.at, first.at.addDays(1));
  ASSERT_FALSE(second.tables.at("PRODUTO").updated.empty());
  // A time given is kept as given, and still refused when it comes before the newest update.
  options.at = first.at;
  EXPECT_THROW(applyChange(*c, centralModel(), 5, options), std::invalid_argument);
}

TEST(CentralChange, RefusesTablesItMustNotChange) {
  auto c = world();
  ChangeOptions options;
  options.tables = {"CAIXA"};
  EXPECT_THROW(applyChange(*c, centralModel(), 1, options), std::invalid_argument);
  options.tables = {"NOSUCHTABLE"};
  EXPECT_THROW(applyChange(*c, centralModel(), 1, options), ModelError);
  options.tables = {"PRODUTO"};
  options.at = worldBaseDate().addDays(-40);
  EXPECT_THROW(applyChange(*c, centralModel(), 1, options), std::invalid_argument);
  options.tables = {};
  options.at.reset();
  options.deletesPerTable = -1;
  EXPECT_THROW(applyChange(*c, centralModel(), 1, options), std::invalid_argument);
}

}  // namespace
}  // namespace central
