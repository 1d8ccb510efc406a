#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "db/odbc/odbc.h"
#include "db/odbc/procedure_call.h"
#include "odbc_test_env.h"

namespace {

using db::ProcedureArgument;
using db::Value;
using ::testing::HasSubstr;

std::unique_ptr<db::Connection> openSqlite(const std::string& name) {
  odbc_test::registerDrivers();
  return db::odbc::open(
      {"DRIVER={KivSQLite};Database=" + odbc_test::freshDatabasePath(name) + ";", {}, {}});
}

// The SQLite driver runs one statement per text; SQL Server sends several result sets, which
// the same loop reads one after the other.
TEST(OdbcBatch, ResultSetsAndRowsAffectedComeBack) {
  auto db = openSqlite("batch");
  db->execute("CREATE TABLE T (A INTEGER, B VARCHAR(10))");
  auto result = db->executeBatch("INSERT INTO T VALUES (1, 'um'), (2, 'dois')");
  EXPECT_TRUE(result.resultSets.empty());
  EXPECT_EQ(result.rowsAffected, 2);
  result = db->executeBatch("SELECT A, B FROM T ORDER BY A");
  ASSERT_EQ(result.resultSets.size(), 1u);
  EXPECT_EQ(result.resultSets[0].columns.size(), 2u);
  EXPECT_EQ(result.resultSets[0].columns[1].name, "B");
  ASSERT_EQ(result.resultSets[0].rows.size(), 2u);
  EXPECT_EQ(result.resultSets[0].rows[1][1], Value("dois"));
  EXPECT_EQ(db->executeBatch("UPDATE T SET B = 'x' WHERE A > 5").rowsAffected, 0);
  const auto bound = db->executeBatch("SELECT B FROM T WHERE A = :P_A", {{"P_A", int64_t{2}}});
  ASSERT_EQ(bound.resultSets.size(), 1u);
  EXPECT_EQ(bound.resultSets[0].rows.at(0).at(0), Value("dois"));
  try {
    db->executeBatch("SELECT * FROM NENHUMA");
    ADD_FAILURE() << "a failing batch succeeded";
  } catch (const db::Error& e) {
    EXPECT_EQ(e.statement(), "SELECT * FROM NENHUMA");
  }
}

TEST(OdbcProcedureCall, PositionalArgumentsUseTheCallEscapeAndNamedOnesExec) {
  using db::odbc::procedureCallText;
  EXPECT_EQ(procedureCallText("NOVO_CODIGO", {}), "{? = call NOVO_CODIGO()}");
  EXPECT_EQ(procedureCallText("dbo.NOVO_CODIGO", {{"", Value("KDS")}, {"", Value(), true}}),
            "{? = call dbo.NOVO_CODIGO(?, ?)}");
  EXPECT_EQ(procedureCallText("NOVO_CODIGO", {{"", Value("KDS")},
                                              {"P_SEQUENCIAL", Value(), true},
                                              {"P_QTDE", Value(int64_t{3})}}),
            "EXEC ? = NOVO_CODIGO ?, @P_SEQUENCIAL = ? OUTPUT, @P_QTDE = ?");
  // Names reach the text: anything but an identifier is refused, as is a position after a name.
  EXPECT_THROW(procedureCallText("X; DROP TABLE T", {}), db::Error);
  EXPECT_THROW(procedureCallText("P", {{"A = 1; --", Value(1)}}), db::Error);
  EXPECT_THROW(procedureCallText("P", {{"A", Value(1)}, {"", Value(2)}}), db::Error);
}

TEST(OdbcProcedureCall, ADriverWithoutProceduresFailsNamingTheCall) {
  auto db = openSqlite("procedure");
  try {
    db->callProcedure("NOVO_CODIGO", {ProcedureArgument{"", Value("KDS")}});
    ADD_FAILURE() << "the call succeeded";
  } catch (const db::Error& e) {
    EXPECT_EQ(e.statement(), "{? = call NOVO_CODIGO(?)}");
  }
}

}  // namespace
