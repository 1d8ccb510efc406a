// The rows a register asks for by date must be found through an index: a read of the whole table
// makes every run cost as much as the central tables are large.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "central/server/table_query.h"
#include "db/core/text.h"
#include "db/embedded/embedded.h"
#include "db/embedded/embedded_connection.h"
#include "support/temp_dir.h"

namespace central::server {
namespace {

// SQLite's plan of a statement the server runs, one line per step.
std::vector<std::string> planOf(db::embedded::EmbeddedConnection& db, const std::string& sql) {
  const std::string explain = "EXPLAIN QUERY PLAN " + db.translate(sql)->sql;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db.db(), explain.c_str(), -1, &statement, nullptr) != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(db.db()));
  std::vector<std::string> steps;
  while (sqlite3_step(statement) == SQLITE_ROW)
    steps.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 3)));
  sqlite3_finalize(statement);
  return steps;
}

// True when a step of the plan reads the table through no search of an index.
bool scansTable(const std::vector<std::string>& plan, const std::string& table) {
  for (const std::string& step : plan)
    if (db::upper(step).rfind("SCAN " + table, 0) == 0) return true;
  return false;
}

class ChangeQueryPlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    connection_ = db::embedded::open({.path = (dir_.path() / "central.db").string()});
    createCentralDatabase(*connection_, centralModel());
  }
  db::embedded::EmbeddedConnection& db() {
    return dynamic_cast<db::embedded::EmbeddedConnection&>(*connection_);
  }

  testing_support::TempDir dir_;
  std::unique_ptr<db::Connection> connection_;
};

TEST_F(ChangeQueryPlanTest, RowsChangedSinceADateAreARangeOfAnIndexInEveryTable) {
  const auto since = db::DateTime::fromParts(2026, 1, 1);
  size_t checked = 0;
  for (const Table& table : centralModel().tables()) {
    if (table.updateColumn.empty()) continue;
    const std::string sql = selectRows(table, branchRows("0001", since)).sql;
    const auto plan = planOf(db(), sql);
    std::string steps;
    for (const std::string& step : plan) steps += "\n  " + step;
    EXPECT_FALSE(scansTable(plan, db::upper(table.name))) << sql << steps;
    ++checked;
  }
  EXPECT_GT(checked, 300u);
}

TEST_F(ChangeQueryPlanTest, AWorldMadeBeforeTheChangeIndexesGetsThemOnce) {
  const Table& table = centralModel().table("PRODLOJA");
  ASSERT_EQ(changeIndexes(table).size(), 1u);
  connection_->execute("DROP INDEX " + changeIndexes(table)[0].name + " ON PRODLOJA");
  EXPECT_EQ(addMissingChangeIndexes(*connection_, centralModel()), 1u);
  EXPECT_EQ(addMissingChangeIndexes(*connection_, centralModel()), 0u);
  const auto plan =
      planOf(db(), selectRows(table, branchRows("0001", db::DateTime::fromParts(2026, 1, 1))).sql);
  EXPECT_FALSE(scansTable(plan, "PRODLOJA"));
}

}  // namespace
}  // namespace central::server
