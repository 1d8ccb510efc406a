#include <gtest/gtest.h>

#include "embedded_test_support.h"
#include "procedural_test_support.h"

namespace db::embedded {
namespace {

using namespace test_support;

TEST(ProceduralProcedure, ArgumentsDefaultsOutputAndReturnValue) {
  auto c = openMemory();
  c->execute(
      "CREATE PROCEDURE dbo.ADD_UP @a INT, @b INT = 10, @total INT OUTPUT, @label VARCHAR(5) = "
      "'sum' AS\n"
      "BEGIN\n"
      "  SET NOCOUNT ON\n"
      "  SET @total = @a + @b\n"
      "  SELECT @label AS LABEL, @total AS TOTAL\n"
      "  RETURN @total * 2\n"
      "END");
  EXPECT_EQ(
      batchLines(*c,
                 "DECLARE @t INT, @r INT\n"
                 "EXEC @r = ADD_UP 1, 2, @t OUTPUT\n"
                 "SELECT @t, @r\n"
                 "EXEC ADD_UP @a = 5, @total = @t OUT, @label = 'named'\n"
                 "SELECT @t\n"
                 "EXECUTE dbo.ADD_UP 1, DEFAULT, @t OUTPUT\n"
                 "SELECT @t"),
      (Lines{"sum|3", "--", "3|6", "--", "named|15", "--", "15", "--", "sum|11", "--", "11"}));

  const auto result =
      c->callProcedure("ADD_UP", {{"", Value(4)}, {"", Value(5)}, {"total", Value(), true}});
  EXPECT_EQ(result.returnValue, 18);
  ASSERT_EQ(result.outputs.size(), 1u);
  EXPECT_EQ(result.outputs[0].name, "total");
  EXPECT_EQ(result.outputs[0].value.asInt(), 9);
  ASSERT_EQ(result.resultSets.size(), 1u);
  EXPECT_EQ(test_support::linesOf(result.resultSets[0]), (Lines{"sum|9"}));
}

TEST(ProceduralProcedure, NestedCallsAlterAndRecursionLimit) {
  auto c = openMemory();
  c->execute("CREATE PROCEDURE INNER_P @x INT OUTPUT AS SET @x = @x * 2");
  c->execute(
      "CREATE PROCEDURE OUTER_P @x INT AS BEGIN EXEC INNER_P @x OUTPUT "
      "EXEC INNER_P @x OUTPUT SELECT @x END");
  EXPECT_EQ(batchLines(*c, "EXEC OUTER_P 3"), (Lines{"12"}));
  c->execute("ALTER PROCEDURE INNER_P @x INT OUTPUT AS SET @x = @x + 1");
  EXPECT_EQ(batchLines(*c, "EXEC OUTER_P 3"), (Lines{"5"}));

  c->execute("CREATE TABLE LOG (N INT)");
  c->execute(
      "CREATE PROCEDURE DEEP @n INT AS BEGIN INSERT INTO LOG VALUES (@n) "
      "DECLARE @m INT = @n + 1 EXEC DEEP @m END");
  const Error error = errorOf([&] { c->execute("EXEC DEEP 1"); });
  EXPECT_NE(std::string(error.what()).find("nesting level exceeded (limit 32)"), std::string::npos)
      << error.what();
  EXPECT_EQ(rowsOf(*c, "SELECT MAX(N) FROM LOG"), (Lines{"32"}));
}

TEST(ProceduralProcedure, CallErrorsNameTheProcedureAndTheStatement) {
  auto c = openMemory();
  c->execute("CREATE TABLE K (ID INT PRIMARY KEY)");
  c->execute("CREATE PROCEDURE NEEDS @a INT, @b INT AS INSERT INTO K VALUES (@a)");
  auto failure = [&](const std::string& sql) {
    try {
      c->executeBatch(sql);
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(failure("EXEC NEEDS 1"),
            "Procedure or function 'NEEDS' expects parameter '@b', which was not supplied.");
  EXPECT_EQ(failure("EXEC NEEDS 1, 2, 3"),
            "Procedure or function NEEDS has too many arguments specified.");
  EXPECT_EQ(failure("EXEC NEEDS @a = 1, @c = 2"), "@c is not a parameter for procedure NEEDS.");
  EXPECT_EQ(failure("EXEC NEEDS 1, 2"), "no error");
  const std::string duplicate = failure("EXEC NEEDS 1, 2");
  EXPECT_NE(duplicate.find("In procedure 'NEEDS', statement 'INSERT INTO K VALUES (@a)'"),
            std::string::npos)
      << duplicate;
}

}  // namespace
}  // namespace db::embedded
