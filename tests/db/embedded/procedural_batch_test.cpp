#include <gtest/gtest.h>

#include "embedded_test_support.h"
#include "procedural_test_support.h"

namespace db::embedded {
namespace {

using namespace test_support;

TEST(ProceduralBatch, VariablesAssignmentAndConversionToTheDeclaredType) {
  auto c = openMemory();
  EXPECT_EQ(batchLines(*c,
                       "DECLARE @i INT = 7, @d DECIMAL(10,2), @v VARCHAR(3), @ch CHAR(4), @n INT\n"
                       "SET @d = 2.345\n"
                       "SET @v = 'abcdef'\n"
                       "SET @ch = 'x'\n"
                       "SET @i += 3\n"
                       "SELECT @i, @d, @v, @ch + '|', @n"),
            (Lines{"10|2.35|abc|x   ||NULL"}));
  EXPECT_EQ(batchLines(*c, "DECLARE @a VARCHAR(10) = 'ab', @b VARCHAR(10) = 'cd' SELECT @a + @b"),
            (Lines{"abcd"}));
  EXPECT_EQ(batchLines(*c,
                       "DECLARE @d DATETIME = '2024-03-01' SET @d = @d + 1 "
                       "SELECT CONVERT(VARCHAR(10), @d, 103)"),
            (Lines{"02/03/2024"}));
}

TEST(ProceduralBatch, SelectAssignmentKeepsTheLastRowAndNoRowLeavesVariablesUnchanged) {
  auto c = openMemory();
  c->execute("CREATE TABLE T (ID INT, NAME VARCHAR(10))");
  c->execute("INSERT INTO T VALUES (1, 'one')");
  c->execute("INSERT INTO T VALUES (2, 'two')");
  EXPECT_EQ(batchLines(*c,
                       "DECLARE @id INT = -1, @name VARCHAR(10) = 'none', @rows INT\n"
                       "SELECT @id = ID, @name = NAME FROM T WHERE ID > 5\n"
                       "SET @rows = @@ROWCOUNT\n"
                       "SELECT @id, @name, @rows\n"
                       "SELECT @id = ID, @name = NAME FROM T ORDER BY ID\n"
                       "SELECT @id, @name, @@ROWCOUNT\n"
                       "SET @name = (SELECT NAME FROM T WHERE ID = 9)\n"
                       "SELECT @name"),
            (Lines{"-1|none|0", "--", "2|two|2", "--", "NULL"}));
}

TEST(ProceduralBatch, ControlFlow) {
  auto c = openMemory();
  EXPECT_EQ(batchLines(*c,
                       "DECLARE @i INT = 0, @sum INT = 0\n"
                       "WHILE @i < 10\n"
                       "BEGIN\n"
                       "  SET @i = @i + 1\n"
                       "  IF @i = 3 CONTINUE\n"
                       "  IF @i > 6 BREAK\n"
                       "  SET @sum = @sum + @i\n"
                       "END\n"
                       "IF @sum = 18 SELECT 'yes' ELSE SELECT 'no'\n"
                       "IF @sum <> 18 BEGIN SELECT 'no' END ELSE BEGIN SELECT @i, @sum END"),
            (Lines{"yes", "--", "7|18"}));
  EXPECT_EQ(batchLines(*c, "SELECT 1 RETURN SELECT 2"), (Lines{"1"}));
}

TEST(ProceduralBatch, PrintRaiserrorAndTryCatch) {
  auto c = openMemory();
  c->execute("CREATE TABLE K (ID INT PRIMARY KEY)");
  const auto result = c->executeBatch(
      "PRINT 'start'\n"
      "RAISERROR('note %s %d', 10, 1, 'x', 5)\n"
      "BEGIN TRY\n"
      "  INSERT INTO K VALUES (1)\n"
      "  INSERT INTO K VALUES (1)\n"
      "  PRINT 'not reached'\n"
      "END TRY\n"
      "BEGIN CATCH\n"
      "  SELECT ERROR_NUMBER(), CASE WHEN ERROR_MESSAGE() LIKE '%UNIQUE%' THEN 'dup' END\n"
      "END CATCH\n"
      "BEGIN TRY RAISERROR('bad %s', 16, 1, 'thing') END TRY\n"
      "BEGIN CATCH SELECT ERROR_MESSAGE(), ERROR_NUMBER() END CATCH");
  EXPECT_EQ(result.messages, (Lines{"start", "note x 5"}));
  ASSERT_EQ(result.resultSets.size(), 2u);
  EXPECT_EQ(test_support::linesOf(result.resultSets[0]), (Lines{"2627|dup"}));
  EXPECT_EQ(test_support::linesOf(result.resultSets[1]), (Lines{"bad thing|50000"}));
  EXPECT_EQ(rowsOf(*c, "SELECT COUNT(*) FROM K"), (Lines{"1"}));
  const Error error = errorOf([&] { c->executeBatch("RAISERROR('stop here', 16, 1)"); });
  EXPECT_STREQ(error.what(), "stop here");
}

TEST(ProceduralBatch, ExecuteAndQueryRunProceduralTextsWithCallerParameters) {
  auto c = openMemory();
  c->execute("CREATE TABLE T (ID INT, NAME VARCHAR(10))");
  EXPECT_EQ(c->execute("DECLARE @n INT = :P_N WHILE @n > 0 BEGIN "
                       "INSERT INTO T VALUES (@n, 'r') SET @n = @n - 1 END",
                       {{"P_N", Value(3)}}),
            1);
  EXPECT_EQ(rowsOf(*c, "DECLARE @x INT = 1; SELECT ID FROM T WHERE ID > @x ORDER BY ID"),
            (Lines{"2", "3"}));
  EXPECT_EQ(c->execute("INSERT INTO T VALUES (9, 'a'); INSERT INTO T VALUES (10, 'b')"), 1);
  EXPECT_EQ(rowsOf(*c, "SELECT COUNT(*) FROM T"), (Lines{"5"}));
}

TEST(ProceduralBatch, BadInputIsRefusedBeforeAnythingRuns) {
  auto c = openMemory();
  c->execute("CREATE TABLE T (ID INT)");
  struct Case {
    const char* sql;
    ErrorKind kind;
    const char* message;
  };
  const Case cases[] = {
      {"INSERT INTO T VALUES (1) BEGIN SELECT 1", ErrorKind::Syntax, "has no END"},
      {"INSERT INTO T VALUES (1) BEGIN TRY SELECT 1 END TRY", ErrorKind::Syntax, "BEGIN CATCH"},
      {"INSERT INTO T VALUES (1) SELECT @nope", ErrorKind::General,
       "Must declare the scalar variable \"@nope\""},
      {"INSERT INTO T VALUES (1) IF 1 = 1", ErrorKind::Syntax, "without a statement"},
      {"INSERT INTO T VALUES (1) END", ErrorKind::Syntax, "END without BEGIN"},
      {"INSERT INTO T VALUES (1) GOTO x", ErrorKind::Unsupported, "GOTO"},
      {"INSERT INTO T VALUES (1) EXEC nowhere", ErrorKind::General,
       "Could not find stored procedure 'nowhere'"},
  };
  for (const auto& k : cases) {
    try {
      c->executeBatch(k.sql);
      ADD_FAILURE() << k.sql;
    } catch (const Error& e) {
      EXPECT_EQ(e.kind(), k.kind) << k.sql;
      EXPECT_NE(std::string(e.what()).find(k.message), std::string::npos) << e.what();
    }
  }
  // Only the unknown procedure is found while running; the statement before it had run.
  EXPECT_EQ(rowsOf(*c, "SELECT COUNT(*) FROM T"), (Lines{"1"}));
}

}  // namespace
}  // namespace db::embedded
