#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "db/core/connection_string.h"
#include "db/odbc/odbc.h"
#include "db/odbc/odbc_connection.h"
#include "odbc_test_env.h"

namespace {

using db::DateTime;
using db::ErrorKind;
using db::Value;

std::unique_ptr<db::Connection> openSqlite(const std::string& name) {
  odbc_test::registerDrivers();
  return db::odbc::open(
      {"DRIVER={KivSQLite};Database=" + odbc_test::freshDatabasePath(name) + ";", {}, {}});
}

ErrorKind kindOf(const std::function<void()>& f, std::string* statement = nullptr) {
  try {
    f();
  } catch (const db::Error& e) {
    if (statement) *statement = e.statement();
    return e.kind();
  }
  ADD_FAILURE() << "no db::Error raised";
  return ErrorKind::General;
}

class OdbcSqlite : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = openSqlite(::testing::UnitTest::GetInstance()->current_test_info()->name());
    db_->execute(
        "CREATE TABLE PRODUTO (CDPRODUTO VARCHAR(10) NOT NULL PRIMARY KEY, NMPRODUTO "
        "VARCHAR(60), QTESTOQUE INTEGER, VRPRECO DECIMAL(17,3), VRPESO DOUBLE, DTULTATU "
        "DATETIME, IMFOTO BLOB, IDATIVO BIT)");
  }
  std::unique_ptr<db::Connection> db_;
};

TEST_F(OdbcSqlite, ExecuteReportsRowsAffected) {
  EXPECT_EQ(db_->engineName(), "odbc");
  for (const char* code : {"1", "2", "3"})
    EXPECT_EQ(db_->execute("INSERT INTO PRODUTO (CDPRODUTO, QTESTOQUE) VALUES (:P_CD, 5)",
                           {{"P_CD", code}}),
              1);
  EXPECT_EQ(db_->execute("UPDATE PRODUTO SET QTESTOQUE = 7 WHERE CDPRODUTO <> '2'"), 2);
  EXPECT_EQ(db_->execute("DELETE FROM PRODUTO WHERE CDPRODUTO = 'none'"), 0);
  // A query run as a command leaves the connection ready for the next statement.
  EXPECT_NO_THROW(db_->execute("SELECT * FROM PRODUTO"));
  auto rows = db_->query("SELECT SUM(QTESTOQUE) AS TOTAL FROM PRODUTO");
  ASSERT_TRUE(rows->next());
  EXPECT_EQ((*rows)["total"].asInt(), 19);
  EXPECT_FALSE(rows->next());
}

TEST_F(OdbcSqlite, RepeatedParameterBindsOneValueAndFieldsReadByName) {
  db_->execute("INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO) VALUES (:P_CD, :P_CD || '-' || :P_NM)",
               {{"P_NM", "Cafe"}, {"P_CD", "A1"}});
  auto rows = db_->query("SELECT cdproduto, NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = :p_cd",
                         {{"P_CD", "A1"}});
  ASSERT_TRUE(rows->next());
  EXPECT_EQ((*rows)["CDPRODUTO"].asText(), "A1");
  EXPECT_EQ((*rows)["nmproduto"].asText(), "A1-Cafe");
  EXPECT_THROW((*rows)["MISSING"], db::Error);
  EXPECT_FALSE(rows->next());
  EXPECT_THROW(rows->at(0), db::Error);
}

TEST_F(OdbcSqlite, ValuesRoundTripWithTheirTypes) {
  const DateTime when = DateTime::fromParts(2026, 3, 14, 15, 9, 26, 535);
  const db::Bytes photo{0x00, 0xFF, 0x10, 0x00, 0x7F};
  const std::string name = "Pão de açúcar \xE2\x82\xAC";
  db_->execute(
      "INSERT INTO PRODUTO VALUES (:P_CD, :P_NM, :P_QT, :P_VR, :P_PESO, :P_DT, :P_FOTO, :P_ATIVO)",
      {{"P_CD", "X"},
       {"P_NM", name},
       {"P_QT", int64_t{9'000'000'000}},
       {"P_VR", 12.345},
       {"P_PESO", 0.1},
       {"P_DT", when},
       {"P_FOTO", photo},
       {"P_ATIVO", true}});
  db_->execute("INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, DTULTATU) VALUES ('Z', :P_NM, :P_DT)",
               {{"P_NM", Value()}, {"P_DT", DateTime()}});

  auto rows = db_->query("SELECT * FROM PRODUTO ORDER BY CDPRODUTO");
  ASSERT_TRUE(rows->next());
  EXPECT_EQ((*rows)["NMPRODUTO"], Value(name));
  EXPECT_EQ((*rows)["QTESTOQUE"], Value(int64_t{9'000'000'000}));
  EXPECT_DOUBLE_EQ((*rows)["VRPRECO"].asDouble(), 12.345);
  EXPECT_EQ((*rows)["VRPESO"], Value(0.1));
  EXPECT_EQ((*rows)["DTULTATU"], Value(when));
  EXPECT_EQ((*rows)["IMFOTO"], Value(photo));
  EXPECT_EQ((*rows)["IDATIVO"].asBool(), true);
  ASSERT_TRUE(rows->next());
  EXPECT_TRUE((*rows)["NMPRODUTO"].isNull());
  EXPECT_TRUE((*rows)["QTESTOQUE"].isNull());
  EXPECT_EQ((*rows)["DTULTATU"], Value(DateTime()));  // the zero date is a value, not NULL
  EXPECT_FALSE(rows->next());
}

TEST_F(OdbcSqlite, LongTextsAndBlobsArriveWhole) {
  std::string text(20'000, 'a');
  for (size_t i = 0; i < text.size(); i += 7) text[i] = static_cast<char>('A' + i % 26);
  db::Bytes blob(50'000);
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<uint8_t>(i * 31);
  db_->execute("CREATE TABLE LONGO (T TEXT, B BLOB)");
  db_->execute("INSERT INTO LONGO VALUES (:P_T, :P_B)", {{"P_T", text}, {"P_B", blob}});
  auto rows = db_->query("SELECT T, B FROM LONGO");
  ASSERT_TRUE(rows->next());
  EXPECT_EQ(rows->at(0), Value(text));
  EXPECT_EQ(rows->at(1), Value(blob));
}

TEST_F(OdbcSqlite, ColumnsCarryNamesAndDeclaredTypes) {
  auto rows = db_->query("SELECT CDPRODUTO, VRPRECO, DTULTATU FROM PRODUTO");
  const auto& columns = rows->columns();
  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[0].name, "CDPRODUTO");
  EXPECT_EQ(columns[0].declaredType, "VARCHAR(10)");
  // This driver reports precision but not scale.
  EXPECT_TRUE(columns[1].declaredType.starts_with("DECIMAL(17,")) << columns[1].declaredType;
  EXPECT_EQ(columns[2].declaredType, "DATETIME");
  EXPECT_FALSE(rows->next());
  EXPECT_TRUE(db_->query("DELETE FROM PRODUTO")->columns().empty());
}

TEST_F(OdbcSqlite, PreparedStatementsAreReusedByText) {
  const std::string sql = "INSERT INTO PRODUTO (CDPRODUTO, QTESTOQUE) VALUES (:P_CD, :P_QT)";
  db::Statement& insert = db_->prepare(sql);
  EXPECT_EQ(&insert, &db_->prepare(sql));
  EXPECT_EQ(insert.parameterNames(), (std::vector<std::string>{"P_CD", "P_QT"}));
  for (int i = 0; i < 100; ++i) {
    insert.bind("P_CD", std::to_string(i));
    insert.bind(1, i);
    EXPECT_EQ(insert.execute(), 1);
  }
  // Connection::execute on the same text runs the same statement.
  EXPECT_EQ(db_->execute(sql, {{"P_CD", "x"}, {"P_QT", 1}}), 1);
  auto& count = db_->prepare("SELECT COUNT(*) AS N FROM PRODUTO WHERE QTESTOQUE >= :P_MIN");
  count.bind("P_MIN", 50);
  auto rows = count.query();
  ASSERT_TRUE(rows->next());
  EXPECT_EQ(rows->at(0).asInt(), 50);
  count.bind("P_MIN", 0);
  rows = count.query();
  ASSERT_TRUE(rows->next());
  EXPECT_EQ(rows->at(0).asInt(), 101);
}

TEST_F(OdbcSqlite, ManyDistinctTextsLeavePreparedStatementsValid) {
  db::Statement& kept = db_->prepare("SELECT COUNT(*) FROM PRODUTO WHERE QTESTOQUE = :P_QT");
  // More distinct parameterised texts than the connection keeps implicitly.
  for (size_t i = 0; i < db::odbc::kImplicitStatementLimit + 20; ++i)
    db_->execute(
        "INSERT INTO PRODUTO (CDPRODUTO, QTESTOQUE) VALUES (:P_CD, " + std::to_string(i % 3) + ")",
        {{"P_CD", std::to_string(i)}});
  kept.bind("P_QT", 1);
  auto rows = kept.query();
  ASSERT_TRUE(rows->next());
  EXPECT_EQ(rows->at(0).asInt(),
            static_cast<int64_t>((db::odbc::kImplicitStatementLimit + 20) / 3));
  // A text first run implicitly, then prepared, is the same statement from then on.
  const std::string sql = "DELETE FROM PRODUTO WHERE QTESTOQUE = :P_QT";
  EXPECT_GT(db_->execute(sql, {{"P_QT", 0}}), 0);
  db::Statement& promoted = db_->prepare(sql);
  for (int i = 0; i < 300; ++i)
    db_->execute("UPDATE PRODUTO SET NMPRODUTO = :P_NM WHERE QTESTOQUE = " + std::to_string(i),
                 {{"P_NM", "n"}});
  EXPECT_EQ(&promoted, &db_->prepare(sql));
  promoted.bind("P_QT", 2);
  EXPECT_GT(promoted.execute(), 0);
}

TEST_F(OdbcSqlite, TransactionsCommitAndRollBack) {
  EXPECT_FALSE(db_->inTransaction());
  db_->begin();
  EXPECT_TRUE(db_->inTransaction());
  EXPECT_THROW(db_->begin(), db::Error);
  db_->execute("INSERT INTO PRODUTO (CDPRODUTO) VALUES ('GONE')");
  db_->rollback();
  EXPECT_FALSE(db_->inTransaction());
  db_->begin();
  db_->execute("INSERT INTO PRODUTO (CDPRODUTO) VALUES ('KEPT')");
  db_->commit();
  EXPECT_THROW(db_->commit(), db::Error);
  EXPECT_THROW(db_->rollback(), db::Error);
  auto rows = db_->query("SELECT CDPRODUTO FROM PRODUTO");
  ASSERT_TRUE(rows->next());
  EXPECT_EQ(rows->at(0).asText(), "KEPT");
  EXPECT_FALSE(rows->next());
  // Back in autocommit: a statement outside a transaction is kept without commit().
  db_->execute("INSERT INTO PRODUTO (CDPRODUTO) VALUES ('AUTO')");
  EXPECT_EQ(db_->query("SELECT COUNT(*) FROM PRODUTO").get()->next(), true);
}

TEST_F(OdbcSqlite, ClosingWithAnOpenTransactionKeepsOnlyCommittedWork) {
  const std::string path = odbc_test::freshDatabasePath("close-rollback");
  auto db = db::odbc::open({"DRIVER={KivSQLite};Database=" + path + ";", {}, {}});
  db->execute("CREATE TABLE T (K INTEGER)");
  db->execute("INSERT INTO T VALUES (1)");
  db->begin();
  db->execute("INSERT INTO T VALUES (2)");
  db->close();
  EXPECT_FALSE(db->isOpen());
  EXPECT_EQ(kindOf([&] { db->execute("SELECT 1"); }), ErrorKind::Connection);
  auto again = db::odbc::open({"DRIVER={KivSQLite};Database=" + path + ";", {}, {}});
  auto rows = again->query("SELECT COUNT(*) FROM T");
  ASSERT_TRUE(rows->next());
  EXPECT_EQ(rows->at(0).asInt(), 1);
}

TEST_F(OdbcSqlite, ErrorsCarryKindAndStatementText) {
  std::string statement;
  EXPECT_EQ(kindOf([&] { db_->execute("SELEC nonsense FROM"); }, &statement), ErrorKind::Syntax);
  EXPECT_EQ(statement, "SELEC nonsense FROM");
  db_->execute("INSERT INTO PRODUTO (CDPRODUTO) VALUES ('D')");
  const std::string insert = "INSERT INTO PRODUTO (CDPRODUTO) VALUES (:P_CD)";
  EXPECT_EQ(kindOf(
                [&] {
                  db_->execute(insert, {{"P_CD", "D"}});
                },
                &statement),
            ErrorKind::DuplicateKey);
  EXPECT_EQ(statement, insert);
  EXPECT_EQ(kindOf([&] { db_->execute(insert, {{"P_CD", Value()}}); }), ErrorKind::Constraint);
  // The statement is still usable after failing.
  EXPECT_EQ(db_->execute(insert, {{"P_CD", "E"}}), 1);
  EXPECT_THROW(db_->execute(insert, {{"P_OTHER", "x"}}), db::Error);
  EXPECT_THROW(db_->execute("UPDATE PRODUTO SET QTESTOQUE = :P_QT"), db::Error);
  EXPECT_EQ(kindOf([&] {
              db_->execute(insert, {{"P_CD", db::ValueArray{1, 2}}});
            }),
            ErrorKind::Conversion);
}

TEST(OdbcConnect, UnknownDriverFailsAsConnectionError) {
  odbc_test::registerDrivers();
  try {
    db::odbc::open({"DRIVER={NoSuchDriver};PWD=Hidden123;", {}, "Hidden123"});
    FAIL();
  } catch (const db::Error& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Connection);
    EXPECT_EQ(std::string(e.what()).find("Hidden123"), std::string::npos) << e.what();
  }
}

TEST(OdbcConnect, SqlServerWithoutServerFailsCleanlyThroughFreeTds) {
  odbc_test::registerDrivers();
  const auto target = db::mapConnectionString(
      "Provider=SQLOLEDB.1;Password=Secr3t-pw;Persist Security Info=True;User ID=sa;Initial "
      "Catalog=LOJA;Data Source=127.0.0.1;Connect Timeout=3",
      db::OdbcDrivers{"FreeTDS", "Oracle"});
  try {
    db::odbc::open({target.odbc, target.loginTimeoutSeconds, target.password});
    FAIL() << "connected to a server that should not be there";
  } catch (const db::Error& e) {
    EXPECT_EQ(e.kind(), ErrorKind::Connection);
    const std::string message = e.what();
    EXPECT_NE(message.find("Cannot connect"), std::string::npos) << message;
    EXPECT_EQ(message.find("Secr3t-pw"), std::string::npos) << message;
    EXPECT_TRUE(e.statement().empty());
  }
}

}  // namespace
