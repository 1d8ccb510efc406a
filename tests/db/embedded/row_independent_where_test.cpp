// UPDATE and DELETE whose condition depends on no row of their table: the engine reads no row
// when the condition is false, and the statement still changes every row or none.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "db/embedded/translate/schema_info.h"
#include "db/embedded/translate/translator.h"
#include "db/embedded/whole_table_update.h"
#include "embedded_test_support.h"

namespace db::embedded {
namespace {

using namespace test_support;

constexpr const char* kStamp = "UPDATE T SET DT = :P_DT WHERE (SELECT MAX(DT) FROM T) < :P_DT";

class RowIndependentWhere : public MemoryDatabaseTest {
 protected:
  void SetUp() override {
    db->execute("CREATE TABLE T (K VARCHAR(2) NOT NULL PRIMARY KEY, DT DATETIME, V INT)");
    db->execute("CREATE INDEX IX_T_DT ON T (DT)");
    db->execute("CREATE TABLE U (K VARCHAR(2) NOT NULL PRIMARY KEY)");
    db->execute(
        "INSERT INTO T (K, DT, V) VALUES ('a', '2026-01-01', 1), ('b', '2026-02-01', 2), "
        "('c', NULL, 3)");
  }
  Lines table() {
    return rowsOf(*db, "SELECT K, CONVERT(VARCHAR(10), DT, 120), V FROM T ORDER BY K");
  }
};

TEST_F(RowIndependentWhere, StampChangesEveryRowOrNone) {
  const Lines before = table();
  EXPECT_EQ(db->execute(kStamp, {{"P_DT", "2026-02-01"}}), 0);
  EXPECT_EQ(db->execute(kStamp, {{"P_DT", DateTime::fromParts(2025, 1, 1)}}), 0);
  EXPECT_EQ(table(), before);
  // Every row, the one without a date too, takes the newer date; the index follows.
  EXPECT_EQ(db->execute(kStamp, {{"P_DT", "2026-03-01"}}), 3);
  EXPECT_THAT(table(), ElementsAre("a|2026-03-01|1", "b|2026-03-01|2", "c|2026-03-01|3"));
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM T WHERE DT = '2026-03-01'"), Value(int64_t{3}));
  EXPECT_EQ(
      db->execute("DELETE FROM T WHERE :P_DT > (SELECT MIN(DT) FROM T)", {{"P_DT", "2026-03-01"}}),
      0);
  EXPECT_EQ(db->execute("DELETE T WHERE 1 = 1"), 3);
}

TEST_F(RowIndependentWhere, StampOfAnEmptyTableChangesNothing) {
  db->execute("DELETE FROM T");
  EXPECT_EQ(db->execute(kStamp, {{"P_DT", "2026-03-01"}}), 0);
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM T"), Value(int64_t{0}));
}

// What SQLite itself says of a database file: the answer of `sql` (first column, first row).
std::string rawAnswer(const std::string& path, const std::string& sql) {
  sqlite3* raw = nullptr;
  sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* stmt = nullptr;
  std::string answer = "(" + std::string(sqlite3_errmsg(raw)) + ")";
  if (sqlite3_prepare_v2(raw, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW)
    answer = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
  sqlite3_finalize(stmt);
  sqlite3_close(raw);
  return answer;
}

// Above kRebuildRows changed rows the indexes on the stamped column are dropped and built again
// around the update: the table and every index hold the same afterwards, in or out of the
// caller's transaction.
TEST(RowIndependentWhereRebuild, LargeStampKeepsEveryIndexAndItsEntries) {
  TempDatabase file("stamp");
  auto db = file.open();
  db->execute("CREATE TABLE T (K VARCHAR(8) NOT NULL PRIMARY KEY, DT DATETIME, V INT)");
  for (const char* index : {"CREATE INDEX IX_T_DT ON T (DT)", "CREATE INDEX IX_T_DT_V ON T (DT, V)",
                            "CREATE UNIQUE INDEX UX_T_V ON T (V)", "CREATE INDEX IX_T_V ON T (V)"})
    db->execute(index);
  const std::string indexes =
      "SELECT group_concat(name || ':' || sql, ';') FROM (SELECT name, sql FROM sqlite_master "
      "WHERE type = 'index' AND tbl_name = 'T' ORDER BY name)";
  const std::string before = rawAnswer(file.path(), indexes);
  auto& insert = db->prepare("INSERT INTO T (K, DT, V) VALUES (:P_K, '2026-01-05', :P_V)");
  db->begin();
  for (int64_t n = 0; n < kRebuildRows; ++n) {
    insert.bind("P_K", "k" + std::to_string(n));
    insert.bind("P_V", n);
    insert.execute();
  }
  db->commit();
  const std::string stamped =
      "SELECT COUNT(*) FROM T INDEXED BY IX_T_DT WHERE DT = (SELECT MAX(DT) FROM T)";

  EXPECT_EQ(db->execute(kStamp, {{"P_DT", "2026-03-01"}}), kRebuildRows);
  EXPECT_EQ(rawAnswer(file.path(), indexes), before);
  EXPECT_EQ(rawAnswer(file.path(), "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(rawAnswer(file.path(), stamped), std::to_string(kRebuildRows));

  // Rows of the same table being read in the same transaction do not stop it (an index SQLite
  // cannot drop under an open read is left in place and its entries moved).
  db->begin();
  {
    auto reading = db->query("SELECT K FROM T");
    ASSERT_TRUE(reading->next());
    EXPECT_EQ(db->execute(kStamp, {{"P_DT", "2026-03-02"}}), kRebuildRows);
  }
  db->commit();
  EXPECT_EQ(rawAnswer(file.path(), indexes), before);
  EXPECT_EQ(rawAnswer(file.path(), stamped), std::to_string(kRebuildRows));

  db->begin();
  EXPECT_EQ(db->execute(kStamp, {{"P_DT", "2026-04-01"}}), kRebuildRows);
  db->rollback();
  EXPECT_EQ(scalar(*db, "SELECT MAX(DT) FROM T").asDateTime(), DateTime::fromParts(2026, 3, 2));
  EXPECT_EQ(rawAnswer(file.path(), indexes), before);
  EXPECT_EQ(rawAnswer(file.path(), "PRAGMA integrity_check"), "ok");
}

// Which texts are read by row-number range: only those whose condition names no row of a
// table SQLite numbers by row.
TEST(RowIndependentWhereTranslation, OnlyRowIndependentConditionsOfRowidTables) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &raw), SQLITE_OK);
  sqlite3_exec(raw,
               "CREATE TABLE T (K TEXT PRIMARY KEY, DT DATETIME); CREATE TABLE U (K TEXT); "
               "CREATE TABLE W (K TEXT PRIMARY KEY, DT DATETIME) WITHOUT ROWID; "
               "CREATE VIEW VT AS SELECT K, DT FROM T",
               nullptr, nullptr, nullptr);
  {
    SchemaInfo schema(raw);
    auto ranged = [&](const std::string& sql) {
      return translateStatement(sql, schema, "sa").sql.find("_rowid_ >=") != std::string::npos;
    };
    EXPECT_TRUE(ranged(kStamp));
    EXPECT_TRUE(ranged("DELETE T WHERE 'x' <> (SELECT MIN(K) FROM U)"));
    // DT is no column of U: the subquery would read the outer row.
    EXPECT_FALSE(ranged("UPDATE T SET DT = :P WHERE (SELECT MAX(DT) FROM U) < :P"));
    EXPECT_FALSE(ranged("UPDATE T SET DT = :P WHERE DT < :P"));
    EXPECT_FALSE(ranged("UPDATE T SET DT = :P WHERE (SELECT MAX(DT) FROM T) < :P AND K = 'a'"));
    EXPECT_FALSE(ranged("UPDATE T SET DT = :P FROM U WHERE (SELECT MAX(DT) FROM T) < :P"));
    EXPECT_FALSE(ranged("UPDATE W SET DT = :P WHERE (SELECT MAX(DT) FROM W) < :P"));
    EXPECT_FALSE(ranged("UPDATE VT SET DT = :P WHERE (SELECT MAX(DT) FROM T) < :P"));
  }
  sqlite3_close(raw);
}

}  // namespace
}  // namespace db::embedded
