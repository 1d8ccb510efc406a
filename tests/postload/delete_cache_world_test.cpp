// The delete cache after a batch of central changes: the central side deletes rows and records
// them in its delete-cache tables; the register's copy, taken before the batch, loses exactly
// those rows at its next run, except one changed again locally after the deletion.
#include <gtest/gtest.h>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "central/world/change.h"
#include "central/world/world.h"
#include "delete_cache_fixture.h"

namespace load::testing {
namespace {

const DeleteCacheTable& entryOf(std::string_view table) {
  for (const DeleteCacheTable& entry : deleteCacheTables())
    if (entry.table == table) return entry;
  throw std::logic_error("no delete-cache entry for " + std::string(table));
}

// Copies every row of a table between databases of the same model.
void copyTable(db::Connection& from, db::Connection& to, const central::Table& table) {
  std::string columns, params;
  for (const auto& c : table.columns) {
    columns += (columns.empty() ? "" : ", ") + c.name;
    params += (params.empty() ? ":P_" : ", :P_") + c.name;
  }
  auto& insert =
      to.prepare("INSERT INTO " + table.name + " (" + columns + ") VALUES (" + params + ")");
  auto rows = from.query("SELECT " + columns + " FROM " + table.name);
  to.begin();
  while (rows->next()) {
    for (size_t i = 0; i < table.columns.size(); ++i) insert.bind(i, rows->at(i));
    insert.execute();
  }
  to.commit();
}

class DeleteCacheWorldTest : public DeleteCacheFixture {
 protected:
  void SetUp() override {}
};

TEST_F(DeleteCacheWorldTest, CentralDeletionsReachTheLocalCopyAtTheNextRun) {
  const central::Model& model = central::centralModel();
  auto centralDb = db::embedded::open(db::embedded::Options{":memory:"});
  central::createCentralDatabase(*centralDb, model);
  central::generateWorld(*centralDb, model, 1, 7);
  central::createCentralDatabase(*db, model);

  const std::vector<std::string> tables{"PRODUTO", "CLIENTE", "TABEVEND", "ITEMPRECO", "OPERADOR"};
  std::map<std::string, int64_t> before;
  for (const auto& name : tables) {
    copyTable(*centralDb, *db, model.table(name));
    before[name] = count("SELECT COUNT(*) FROM " + name);
  }

  central::ChangeOptions options;
  options.updatesPerTable = 0;
  options.insertsPerTable = 0;
  options.deletesPerTable = 3;
  options.tables = tables;
  const central::ChangeSummary change = central::applyChange(*centralDb, model, 11, options);

  // The register changed one of the deleted products again after the deletion.
  const std::string recreatedKey = change.tables.at("PRODUTO").deleted.at(0);
  const std::string recreated = recreatedKey.substr(
      recreatedKey.find('=') + 1, recreatedKey.find(';') - recreatedKey.find('=') - 1);
  db->execute("UPDATE PRODUTO SET DTULTATUPROD = :D WHERE CDPRODUTO = :C",
              {{"D", change.at.addDays(1)}, {"C", recreated}});

  // The download brings each delete-cache table into its client dataset.
  for (const auto& [cacheTable, keys] : change.deleteCacheRows) {
    const central::Table& cache = model.table(cacheTable);
    const DeleteCacheTable& entry = entryOf(cache.deleteCacheOf->table);
    db::DataSet& ds = state.dataset(entry.dataset);
    std::vector<db::FieldDef> fields(2);
    fields[0].name = "DSKEYCACHE";
    fields[0].size = 500;
    fields[1].name = "DTULTATUCACH";
    fields[1].type = db::FieldType::DateTime;
    if (!ds.active()) ds.createDataSet(fields);
    auto rows = centralDb->query("SELECT DSKEYCACHE, DTULTATUCACH FROM " + cacheTable);
    while (rows->next()) ds.appendRecord({rows->at(0), rows->at(1).asDateTime()});
  }

  deleteCache.runDeleteCache("0001", "001", true);

  for (const auto& line : lines) EXPECT_FALSE(line.text.starts_with("ERRO")) << line.text;
  for (const auto& name : tables) {
    const size_t deleted = change.tables.at(name).deleted.size();
    ASSERT_EQ(deleted, 3u) << name;
    const int64_t kept = name == "PRODUTO" ? 1 : 0;
    EXPECT_EQ(count("SELECT COUNT(*) FROM " + name), before[name] - 3 + kept) << name;
  }
  EXPECT_EQ(count("SELECT COUNT(*) FROM PRODUTO WHERE CDPRODUTO = '" + recreated + "'"), 1);
  // PRODUTO keeps its newer local date; the others take the deletion time as their newest.
  EXPECT_EQ(scalar("SELECT MAX(DTULTATUCLIE) FROM CLIENTE").asDateTime(), change.at);
  EXPECT_EQ(scalar("SELECT MAX(DTULTATUPROD) FROM PRODUTO").asDateTime(), change.at.addDays(1));
  EXPECT_EQ(scalar("SELECT DTULTATUTAB FROM CTRLBAIXATAB WHERE NMTABELA = 'PRODUTO'").asDateTime(),
            change.at);
  EXPECT_EQ(
      scalar("SELECT DTULTATUTAB FROM CTRLBAIXATAB WHERE NMTABELA = 'ITEMPRECO'").asDateTime(),
      change.at);
}

}  // namespace
}  // namespace load::testing
