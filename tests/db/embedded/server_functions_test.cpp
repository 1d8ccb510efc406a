// The functions server-side code calls, against the results SQL Server documents for them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "embedded_test_support.h"

namespace db::embedded {
namespace {

using namespace test_support;

class ServerFunctions : public MemoryDatabaseTest {
 protected:
  // The value's text, "NULL" for null.
  std::string eval(const std::string& expression) {
    const Value v = scalar(*db, "SELECT " + expression);
    return v.isNull() ? "NULL" : v.asText();
  }
  void expectAll(const std::vector<std::pair<std::string, std::string>>& cases) {
    for (const auto& [expression, expected] : cases)
      EXPECT_EQ(eval(expression), expected) << expression;
  }
};

TEST_F(ServerFunctions, StrRoundsRightAlignsAndOverflowsWithStars) {
  expectAll({{"STR(123.45, 6, 1)", " 123.5"},
             {"STR(123.45, 2, 2)", "**"},
             {"STR(123.0, 8, 3)", " 123.000"},
             {"STR(12)", "        12"},
             {"STR(2.5)", "         3"},
             {"STR(-2.5, 4)", "  -3"},
             {"STR(3.14159, 4, 3)", "3.14"},
             {"STR(12345678901)", "**********"},
             {"STR(0.4, 3)", "  0"},
             {"STR(NULL)", "NULL"},
             {"STR(1, 0)", "NULL"}});
}

TEST_F(ServerFunctions, IsNumericAcceptsWhatConvertsToAnyNumericType) {
  expectAll({{"ISNUMERIC('')", "0"},
             {"ISNUMERIC('.')", "1"},
             {"ISNUMERIC('1e5')", "1"},
             {"ISNUMERIC(' 12 ')", "1"},
             {"ISNUMERIC('$')", "1"},
             {"ISNUMERIC('-')", "1"},
             {"ISNUMERIC('$1,000.50')", "1"},
             {"ISNUMERIC('-12.5E-3')", "1"},
             {"ISNUMERIC('12a')", "0"},
             {"ISNUMERIC('1e')", "0"},
             {"ISNUMERIC('abc')", "0"},
             {"ISNUMERIC(NULL)", "0"},
             {"ISNUMERIC(12)", "1"}});
}

TEST_F(ServerFunctions, StuffPatIndexAndQuoteNameWorkOnCharacters) {
  expectAll({{"STUFF('abcdef', 2, 3, 'ijklmn')", "aijklmnef"},
             {"STUFF('abc', 2, 10, 'x')", "ax"},
             {"STUFF('abc', 2, 1, NULL)", "ac"},
             {"STUFF('abc', 4, 1, 'x')", "NULL"},
             {"STUFF('abc', 0, 1, 'x')", "NULL"},
             {"STUFF('ação', 2, 1, 'c')", "acão"},
             {"PATINDEX('%ter%', 'interesting data')", "3"},
             {"PATINDEX('%en_ure%', 'Please ensure the door is locked!')", "8"},
             {"PATINDEX('%[^ 0-9A-z]%', 'Please ensure the door is locked!')", "33"},
             {"PATINDEX('%[0-9]%', 'ab12')", "3"},
             {"PATINDEX('%C', 'abc')", "3"},
             {"PATINDEX('b%', 'abc')", "0"},
             {"PATINDEX('%x%', NULL)", "NULL"},
             {"QUOTENAME('abc[]def')", "[abc[]]def]"},
             {"QUOTENAME('it''s', '''')", "'it''s'"},
             {"QUOTENAME('a\"b', '\"')", "\"a\"\"b\""},
             {"QUOTENAME('x', 'z')", "NULL"}});
}

TEST_F(ServerFunctions, ConcatIifDateNameAndDataLength) {
  expectAll({{"CONCAT('a', NULL, 1)", "a1"},
             {"CONCAT('x', 'y') + 'z'", "xyz"},
             {"IIF(1 > 0, 'yes', 'no')", "yes"},
             {"IIF(NULL = 1, 'yes', 'no')", "no"},
             {"DATENAME(month, '2026-12-08')", "December"},
             {"DATENAME(weekday, '2026-12-08')", "Tuesday"},
             {"DATENAME(dw, CONVERT(DATETIME, '1899-12-30'))", "Saturday"},
             {"DATENAME(year, '2026-12-08')", "2026"},
             {"DATENAME(day, '2026-12-08')", "8"},
             {"DATALENGTH('abc ')", "4"},
             {"DATALENGTH(1)", "4"},
             {"DATALENGTH(GETDATE())", "8"},
             {"DATALENGTH(NULL)", "NULL"},
             {"SPACE(3) + '|'", "   |"}});
  const std::regex guid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  const std::string first = eval("NEWID()");
  EXPECT_TRUE(std::regex_match(first, guid)) << first;
  EXPECT_NE(eval("NEWID()"), first);
}

TEST_F(ServerFunctions, ObjectIdAnswersAnywhere) {
  db->execute("CREATE TABLE PRODUTO (CDPRODUTO VARCHAR(10) NOT NULL PRIMARY KEY)");
  const std::string id = eval("OBJECT_ID('PRODUTO')");
  EXPECT_NE(id, "NULL");
  expectAll({{"OBJECT_ID('dbo.PRODUTO', 'U')", id},
             {"OBJECT_ID('[dbo].[PRODUTO]')", id},
             {"OBJECT_ID('PRODUTO', 'P')", "NULL"},
             {"OBJECT_ID('NADA')", "NULL"},
             {"CASE WHEN OBJECT_ID('PK__PRODUTO') IS NULL THEN 'no' ELSE 'yes' END", "yes"}});
  EXPECT_THAT(rowsOf(*db, "SELECT name FROM sysobjects WHERE id = OBJECT_ID('PRODUTO')"),
              ElementsAre("PRODUTO"));
}

TEST_F(ServerFunctions, SessionFunctionsAnswerForTheConnection) {
  auto named = open({.path = ":memory:",
                     .user = "caixa",
                     .workstationId = "CAIXA01",
                     .applicationName = "Microsoft SQL Server Management Studio"});
  EXPECT_EQ(scalar(*named, "SELECT HOST_NAME()").asText(), "CAIXA01");
  EXPECT_EQ(scalar(*named, "SELECT APP_NAME()").asText(), "Microsoft SQL Server Management Studio");
  EXPECT_EQ(scalar(*named, "SELECT SYSTEM_USER").asText(), "caixa");
  EXPECT_EQ(scalar(*named, "SELECT DB_NAME()").asText(), "main");
  EXPECT_EQ(eval("APP_NAME()"), "");
  EXPECT_FALSE(eval("HOST_NAME()").empty());
  const int64_t spid = scalar(*db, "SELECT @@SPID").asInt();
  EXPECT_GT(spid, 50);
  EXPECT_NE(scalar(*named, "SELECT @@SPID").asInt(), spid);
}

TEST_F(ServerFunctions, ScopeIdentityFollowsInsertsIntoIdentityTables) {
  db->execute("CREATE TABLE SENHA (NRSENHA INT IDENTITY(10, 1) PRIMARY KEY, DSSENHA VARCHAR(10))");
  db->execute("CREATE TABLE LOG (DSLOG VARCHAR(10))");
  EXPECT_EQ(eval("SCOPE_IDENTITY()"), "NULL");
  db->execute("INSERT INTO SENHA (DSSENHA) VALUES ('a')");
  db->execute("INSERT INTO SENHA (DSSENHA) VALUES ('b')");
  db->execute("INSERT INTO LOG (DSLOG) VALUES ('c')");
  EXPECT_EQ(eval("SCOPE_IDENTITY()"), "11");
}

TEST_F(ServerFunctions, InputBufferShowsTheTextTheClientLastSent) {
  const std::string dbcc = "DBCC INPUTBUFFER(@@SPID) WITH NO_INFOMSGS";
  EXPECT_THAT(rowsOf(*db, dbcc), ElementsAre("Language Event|0|" + dbcc));
  auto other = openMemory();
  const int64_t otherSpid = scalar(*other, "SELECT @@SPID").asInt();
  other->execute("CREATE TABLE T (A INT)");
  Statement& insert = other->prepare("INSERT INTO T (A) VALUES (:P_A)");
  insert.bind("P_A", Value(int64_t{1}));
  insert.execute();
  const std::string asked = "DBCC INPUTBUFFER(" + std::to_string(otherSpid) + ")";
  EXPECT_THAT(rowsOf(*db, asked), ElementsAre("Language Event|0|INSERT INTO T (A) VALUES (:P_A)"));
  // Statements run on the client's behalf (the one an IF runs) do not replace its text.
  const std::string conditional = "IF OBJECT_ID('T') IS NOT NULL DELETE FROM T";
  other->execute(conditional);
  EXPECT_THAT(rowsOf(*db, asked), ElementsAre("Language Event|0|" + conditional));
  try {
    rowsOf(*db, "DBCC INPUTBUFFER(9999)");
    ADD_FAILURE() << "an unknown session answered";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("Invalid SPID 9999"));
  }
  EXPECT_THROW(db->query("DBCC CHECKDB"), Error);
}

}  // namespace
}  // namespace db::embedded
