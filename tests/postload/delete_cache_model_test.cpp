// The delete cache against the central model: every table's key list agrees with the central
// delete-cache table that records it, and a key text written the way the central side writes it
// removes exactly its row from a table created as the central side describes it.
#include <gtest/gtest.h>

#include <map>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "central/world/key_text.h"
#include "delete_cache_fixture.h"

namespace load::testing {
namespace {

std::map<std::string, const central::Table*> centralCachesByTable() {
  std::map<std::string, const central::Table*> caches;
  for (const auto& table : central::centralModel().tables())
    if (table.deleteCacheOf) caches[table.deleteCacheOf->table] = &table;
  return caches;
}

TEST(DeleteCacheTables, KeysAndComparedColumnsMatchTheCentralDeleteCaches) {
  const auto caches = centralCachesByTable();
  for (const DeleteCacheTable& table : deleteCacheTables()) {
    const auto found = caches.find(std::string(table.table));
    ASSERT_NE(found, caches.end()) << table.table;
    const central::DeleteCacheOf& central = *found->second->deleteCacheOf;
    EXPECT_EQ(std::vector<std::string>(table.keys.begin(), table.keys.end()), central.keyColumns)
        << table.table;
    EXPECT_EQ(table.comparedColumn, central.comparedColumn) << table.table;
  }
}

// A value of the column's type; `which` tells the two test rows apart.
db::Value valueFor(const central::Column& column, int which) {
  if (column.type.starts_with("DATETIME"))
    return db::DateTime::fromParts(2026, 1, 4 + which, 10, 30, 15);
  if (column.type.starts_with("INT") || column.type.starts_with("DECIMAL"))
    return static_cast<int64_t>(which);
  return std::to_string(which);
}

class DeleteCacheModelTest : public DeleteCacheFixture {
 protected:
  void SetUp() override {
    run(
        {"CREATE TABLE CTRLBAIXATAB (CDFILIAL VARCHAR(4), NMTABELA VARCHAR(30), CDCAIXA "
         "VARCHAR(3), DTULTATUTAB DATETIME, DTULTATU DATETIME)"});
  }
};

TEST_F(DeleteCacheModelTest, CentralKeyTextsRemoveExactlyTheirRowInEveryTable) {
  const central::Model& model = central::centralModel();
  const db::DateTime updated = db::DateTime::fromParts(2026, 1, 1);
  const db::DateTime deleted = db::DateTime::fromParts(2026, 2, 1);
  for (const DeleteCacheTable& table : deleteCacheTables()) {
    const central::Table& local = model.table(table.table);
    for (const auto& ddl : central::tableDdl(local)) db->execute(ddl);
    std::vector<std::string> keyColumns(table.keys.begin(), table.keys.end());
    std::vector<db::Value> deletedKey;
    for (int which : {1, 2}) {
      std::string columns, values;
      db::Params params;
      for (const auto& column : local.columns) {
        const db::Value value =
            column.name == table.comparedColumn ? db::Value(updated) : valueFor(column, which);
        columns += (columns.empty() ? "" : ", ") + column.name;
        values += (values.empty() ? ":P_" : ", :P_") + column.name;
        params.push_back({"P_" + column.name, value});
      }
      db->execute("INSERT INTO " + local.name + " (" + columns + ") VALUES (" + values + ")",
                  params);
    }
    for (const auto& key : keyColumns) deletedKey.push_back(valueFor(local.column(key), 1));
    cache(std::string(table.dataset),
          {{central::cacheKeyText(local.name, keyColumns, deletedKey), deleted}});
  }

  deleteCache.runDeleteCache("0001", "001", true);

  for (const auto& line : lines) EXPECT_FALSE(line.text.starts_with("ERRO")) << line.text;
  for (const DeleteCacheTable& table : deleteCacheTables()) {
    const std::string name(table.table);
    EXPECT_EQ(count("SELECT COUNT(*) FROM " + name), 1) << name;
    const std::string kept =
        column("SELECT " + std::string(table.keys.back()) + " FROM " + name).at(0);
    EXPECT_EQ(kept,
              valueFor(central::centralModel().table(name).column(table.keys.back()), 2).asText())
        << name;
  }
}

}  // namespace
}  // namespace load::testing
