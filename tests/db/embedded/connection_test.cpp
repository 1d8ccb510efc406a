#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "embedded_test_support.h"

namespace db::embedded {
namespace {

using namespace test_support;

class EmbeddedConnection : public MemoryDatabaseTest {
 protected:
  void SetUp() override {
    db->execute(
        "CREATE TABLE PRODUTO (CDPRODUTO VARCHAR(10) NOT NULL PRIMARY KEY, NMPRODUTO "
        "VARCHAR(40), VRPRECO DECIMAL(17,3), QTESTOQUE INT, DTULTATU DATETIME, IDATIVO CHAR(1))");
  }
};

TEST_F(EmbeddedConnection, NamedParametersBindByNameWithoutRegardToCaseAndRepeat) {
  EXPECT_EQ(db->execute("INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, VRPRECO) VALUES "
                        "(:P_CDPRODUTO, :P_NMPRODUTO, :p_vrpreco)",
                        {{"p_cdproduto", "001"}, {"P_NMPRODUTO", "Café"}, {"P_VRPRECO", 2.5}}),
            1);
  EXPECT_THAT(
      rowsOf(*db, "SELECT NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = :P_X OR NMPRODUTO = :P_X",
             {{"P_X", "001"}}),
      ElementsAre("Café"));
  Statement& s =
      db->prepare("SELECT CDPRODUTO FROM PRODUTO WHERE CDPRODUTO = :P_A AND :p_a = :P_B");
  EXPECT_THAT(s.parameterNames(), ElementsAre("P_A", "P_B"));
  EXPECT_EQ(kindOf([&] { s.bind("P_MISSING", 1); }), ErrorKind::General);
}

TEST_F(EmbeddedConnection, ValuesRoundTripWithTheirKinds) {
  const DateTime when = DateTime::fromParts(2026, 3, 4, 5, 6, 7, 89);
  db->execute(
      "INSERT INTO PRODUTO (CDPRODUTO, VRPRECO, QTESTOQUE, DTULTATU, IDATIVO) VALUES "
      "(:P_CD, :P_VR, :P_QT, :P_DT, :P_ID)",
      {{"P_CD", "A"}, {"P_VR", 3}, {"P_QT", int64_t{7}}, {"P_DT", when}, {"P_ID", true}});
  auto rows = db->query(
      "SELECT VRPRECO, QTESTOQUE, DTULTATU, IDATIVO, NMPRODUTO, "
      "MAX(DTULTATU) AS M FROM PRODUTO");
  ASSERT_TRUE(rows->next());
  EXPECT_EQ((*rows)["VRPRECO"], Value(3.0));  // DECIMAL reads as a double even when whole
  EXPECT_EQ((*rows)["QTESTOQUE"], Value(int64_t{7}));
  EXPECT_EQ((*rows)["DTULTATU"], Value(when));
  EXPECT_EQ((*rows)["IDATIVO"], Value("1"));  // a CHAR column keeps the text
  EXPECT_TRUE((*rows)["NMPRODUTO"].isNull());
  // An expression has no declared type: the caller reads the number as a date-time.
  EXPECT_EQ((*rows)["M"].asDateTime(), when);
  EXPECT_EQ(rows->columns()[2].declaredType, "DATETIME");
  EXPECT_FALSE(rows->next());
}

TEST_F(EmbeddedConnection, PreparedStatementsAreKeptByTextAndReused) {
  Statement& insert =
      db->prepare("INSERT INTO PRODUTO (CDPRODUTO, QTESTOQUE) VALUES (:P_CD, :P_QT)");
  EXPECT_EQ(&insert,
            &db->prepare("INSERT INTO PRODUTO (CDPRODUTO, QTESTOQUE) VALUES (:P_CD, :P_QT)"));
  for (int i = 0; i < 50; ++i) {
    insert.bind(size_t{0}, std::to_string(i));
    insert.bind(size_t{1}, i);
    EXPECT_EQ(insert.execute(), 1);
  }
  EXPECT_EQ(scalar(*db, "SELECT SUM(QTESTOQUE) FROM PRODUTO").asInt(), 49 * 50 / 2);
}

TEST_F(EmbeddedConnection, ABusyStatementIsNotDisturbedByTheSameTextRunAgain) {
  for (const char* cd : {"1", "2", "3"})
    db->execute("INSERT INTO PRODUTO (CDPRODUTO) VALUES (:P_CD)", {{"P_CD", cd}});
  const char* sql = "SELECT CDPRODUTO FROM PRODUTO ORDER BY CDPRODUTO";
  auto outer = db->query(sql);
  std::vector<std::string> seen;
  while (outer->next()) {
    seen.push_back(outer->at(0).asText());
    EXPECT_EQ(rowsOf(*db, sql).size(), 3u);  // same text while the outer rows are open
  }
  EXPECT_THAT(seen, ElementsAre("1", "2", "3"));
}

TEST_F(EmbeddedConnection, ManyDistinctTextsKeepPreparedStatementsAndOpenRows) {
  Statement& prepared = db->prepare("SELECT COUNT(*) FROM PRODUTO WHERE QTESTOQUE >= :P_Q");
  db->execute("INSERT INTO PRODUTO (CDPRODUTO) VALUES ('first')");
  auto open = db->query("SELECT CDPRODUTO FROM PRODUTO WHERE CDPRODUTO = 'first'");
  // As statement files do: thousands of texts, each run once.
  for (int i = 0; i < 3000; ++i)
    db->execute("INSERT INTO PRODUTO (CDPRODUTO, QTESTOQUE) VALUES ('" + std::to_string(i) + "', " +
                std::to_string(i) + ")");
  ASSERT_TRUE(open->next());
  EXPECT_EQ(open->at(0), Value("first"));
  prepared.bind(size_t{0}, 2990);
  auto rows = prepared.query();
  ASSERT_TRUE(rows->next());
  EXPECT_EQ(rows->at(0), Value(int64_t{10}));
}

TEST_F(EmbeddedConnection, RowsEndedByRunningTheirStatementAgainRaise) {
  db->execute("INSERT INTO PRODUTO (CDPRODUTO) VALUES ('1')");
  Statement& s = db->prepare("SELECT CDPRODUTO FROM PRODUTO");
  auto first = s.query();
  auto second = s.query();
  EXPECT_EQ(kindOf([&] { first->next(); }), ErrorKind::General);
  EXPECT_TRUE(second->next());
}

TEST_F(EmbeddedConnection, TransactionsCommitAndRollBack) {
  EXPECT_FALSE(db->inTransaction());
  db->begin();
  EXPECT_TRUE(db->inTransaction());
  EXPECT_EQ(kindOf([&] { db->begin(); }), ErrorKind::General);
  db->execute("INSERT INTO PRODUTO (CDPRODUTO) VALUES ('1')");
  db->rollback();
  EXPECT_FALSE(db->inTransaction());
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM PRODUTO").asInt(), 0);
  db->begin();
  db->execute("INSERT INTO PRODUTO (CDPRODUTO) VALUES ('2')");
  db->commit();
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM PRODUTO").asInt(), 1);
  EXPECT_EQ(kindOf([&] { db->commit(); }), ErrorKind::General);
}

TEST_F(EmbeddedConnection, ErrorsCarryTheirKindAndTheStatementText) {
  db->execute("INSERT INTO PRODUTO (CDPRODUTO) VALUES ('1')");
  const std::string dup = "INSERT INTO PRODUTO (CDPRODUTO) VALUES ('1')";
  const Error error = errorOf([&] { db->execute(dup); });
  EXPECT_EQ(error.kind(), ErrorKind::DuplicateKey);
  EXPECT_EQ(error.statement(), dup);
  EXPECT_EQ(kindOf([&] { db->execute("INSERT INTO PRODUTO (NMPRODUTO) VALUES ('x')"); }),
            ErrorKind::Constraint);
  EXPECT_EQ(kindOf([&] { db->execute("SELEC * FROM PRODUTO"); }), ErrorKind::Unsupported);
  EXPECT_EQ(kindOf([&] { db->execute("SELECT * FROM PRODUTO WHERE (CDPRODUTO = '1'"); }),
            ErrorKind::Syntax);
  EXPECT_EQ(kindOf([&] { db->execute("SELECT 'unterminated FROM PRODUTO"); }), ErrorKind::Syntax);
  EXPECT_EQ(kindOf([&] { db->execute("SELECT * FROM PRODUTO WHERE CDPRODUTO = ,"); }),
            ErrorKind::Syntax);
  EXPECT_EQ(kindOf([&] { db->query("SELECT NOSUCHFUNCTION(1)"); }), ErrorKind::Unsupported);
  EXPECT_EQ(kindOf([&] { db->execute("DELETE FROM PRODUTO; MERGE PRODUTO USING X ON 1 = 1"); }),
            ErrorKind::Unsupported);
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM PRODUTO").asInt(), 1);
}

TEST_F(EmbeddedConnection, ForeignKeysAreEnforced) {
  db->execute("CREATE TABLE ITEM (CDPRODUTO VARCHAR(10) REFERENCES PRODUTO (CDPRODUTO))");
  EXPECT_EQ(kindOf([&] { db->execute("INSERT INTO ITEM VALUES ('none')"); }),
            ErrorKind::Constraint);
}

TEST_F(EmbeddedConnection, ClosedConnectionsAndTheirRowsFailCleanly) {
  db->execute("INSERT INTO PRODUTO (CDPRODUTO) VALUES ('1')");
  auto rows = db->query("SELECT CDPRODUTO FROM PRODUTO");
  db->close();
  EXPECT_FALSE(db->isOpen());
  EXPECT_EQ(kindOf([&] { rows->next(); }), ErrorKind::Connection);
  EXPECT_EQ(kindOf([&] { db->execute("SELECT 1"); }), ErrorKind::Connection);
}

TEST(EmbeddedOpen, AFileThatIsNotADatabaseIsRefused) {
  TempDatabase file("notadb");
  std::ofstream(file.path()) << std::string(4096, 'x');
  EXPECT_EQ(kindOf([&] { file.open(); }), ErrorKind::NotADatabase);
  EXPECT_EQ(kindOf([&] {
              open(Options{file.path() + ".missing", "sa", false});
            }),
            ErrorKind::Connection);
}

TEST(EmbeddedOpen, ALockedDatabaseFailsAsBusyAndLosesNothingCommitted) {
  TempDatabase file("locked");
  auto db = open(Options{file.path(), "sa", true, 50});
  db->execute("CREATE TABLE T (A INT)");
  db->execute("INSERT INTO T VALUES (1)");
  // Another process holds the write lock for longer than the busy time-out.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(file.path().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(other, "BEGIN EXCLUSIVE; INSERT INTO T VALUES (9)", nullptr, nullptr, nullptr),
      SQLITE_OK);
  const std::string insert = "INSERT INTO T VALUES (2)";
  const Error error = errorOf([&] { db->execute(insert); });
  EXPECT_EQ(error.kind(), ErrorKind::Busy);
  EXPECT_EQ(error.statement(), insert);
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM T").asInt(), 1);
  db->execute(insert);
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM T").asInt(), 2);
}

// A reader kept open must still see every row another connection commits, after the file grew,
// after a checkpoint and after the file shrank beneath it.
TEST(EmbeddedOpen, AnOpenReaderFollowsCommitsCheckpointsAndAShrinkingFile) {
  TempDatabase file("mapped");
  auto writer = file.open();
  writer->execute("CREATE TABLE T (A INT, B VARCHAR(200))");
  auto reader = file.open();
  const auto rowsAndSum = [&] {
    return scalar(*reader, "SELECT COUNT(*) FROM T").asText() + "/" +
           scalar(*reader, "SELECT ISNULL(SUM(A), 0) FROM T").asText();
  };
  EXPECT_EQ(rowsAndSum(), "0/0");
  Statement& insert = writer->prepare("INSERT INTO T (A, B) VALUES (:P_A, REPLICATE('x', 200))");
  writer->begin();
  for (int i = 1; i <= 20000; ++i) {
    insert.bind(0, Value(int64_t{i}));
    insert.execute();
  }
  writer->commit();
  EXPECT_EQ(rowsAndSum(), "20000/200010000");

  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(file.path().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr),
            SQLITE_OK);
  EXPECT_EQ(rowsAndSum(), "20000/200010000");
  writer->execute("DELETE FROM T WHERE A > 10");
  ASSERT_EQ(
      sqlite3_exec(other, "VACUUM; PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(other);
  EXPECT_LT(std::filesystem::file_size(file.path()), 100000u);
  EXPECT_EQ(rowsAndSum(), "10/55");
}

}  // namespace
}  // namespace db::embedded
