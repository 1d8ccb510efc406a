#include <gtest/gtest.h>

#include "embedded_test_support.h"
#include "procedural_test_support.h"

namespace db::embedded {
namespace {

using namespace test_support;

TEST(ProceduralData, CursorComputesRunningBalancesFromAMiddleRow) {
  auto c = openMemory();
  c->execute("CREATE TABLE MOV (ID INT PRIMARY KEY, AMOUNT DECIMAL(10,2), BAL DECIMAL(10,2))");
  c->executeBatch(
      "INSERT INTO MOV VALUES (1, 100, 100) INSERT INTO MOV VALUES (2, -30, 70) "
      "INSERT INTO MOV VALUES (3, 999, 0) INSERT INTO MOV VALUES (4, 15.5, 0) "
      "INSERT INTO MOV VALUES (5, -0.25, 0)");
  const auto result = c->executeBatch(
      "DECLARE @from INT = 3, @bal DECIMAL(10,2), @id INT, @amount DECIMAL(10,2)\n"
      "UPDATE MOV SET AMOUNT = 10 WHERE ID = 3\n"
      "SELECT @bal = BAL FROM MOV WHERE ID = @from - 1\n"
      "DECLARE c CURSOR LOCAL FAST_FORWARD FOR\n"
      "  SELECT ID, AMOUNT FROM MOV WHERE ID >= @from ORDER BY ID\n"
      "OPEN c\n"
      "FETCH NEXT FROM c INTO @id, @amount\n"
      "WHILE @@FETCH_STATUS = 0\n"
      "BEGIN\n"
      "  SET @bal = @bal + @amount\n"
      "  UPDATE MOV SET BAL = @bal WHERE ID = @id\n"
      "  FETCH NEXT FROM c INTO @id, @amount\n"
      "END\n"
      "CLOSE c\n"
      "DEALLOCATE c\n"
      "SELECT ID, BAL FROM MOV ORDER BY ID");
  EXPECT_EQ(test_support::linesOf(result.resultSets.at(0)),
            (Lines{"1|100", "2|70", "3|80", "4|95.5", "5|95.25"}));

  for (const char* bad : {"DECLARE k CURSOR FOR SELECT 1 OPEN k DEALLOCATE k FETCH NEXT FROM k",
                          "DECLARE k CURSOR FOR SELECT 1 FETCH NEXT FROM k"}) {
    try {
      c->executeBatch(bad);
      ADD_FAILURE() << bad;
    } catch (const Error& e) {
      EXPECT_EQ(e.kind(), ErrorKind::General) << bad;
    }
    c->executeBatch("IF 1 = 0 PRINT 'reset'");
  }
}

TEST(ProceduralData, TempTablesAndTableVariablesAcrossRepeatedCalls) {
  auto c = openMemory();
  c->execute(
      "CREATE PROCEDURE FILL @n INT AS\n"
      "BEGIN\n"
      "  DECLARE @t TABLE (N INT, LABEL VARCHAR(10))\n"
      "  CREATE TABLE #work (N INT)\n"
      "  DECLARE @i INT = 1\n"
      "  WHILE @i <= @n BEGIN INSERT INTO #work VALUES (@i) SET @i = @i + 1 END\n"
      "  INSERT INTO @t SELECT N, 'n' + CONVERT(VARCHAR(5), N) FROM #work\n"
      "  SELECT COUNT(*), MAX(LABEL) FROM @t\n"
      "END");
  EXPECT_EQ(batchLines(*c, "EXEC FILL 3"), (Lines{"3|n3"}));
  EXPECT_EQ(batchLines(*c, "EXEC FILL 2"), (Lines{"2|n2"}));
  // The procedure's #work went with it; a batch's own stays until the connection closes.
  EXPECT_EQ(batchLines(*c, "SELECT N INTO #mine FROM (SELECT 1 AS N) x"), Lines{});
  EXPECT_EQ(rowsOf(*c, "SELECT COUNT(*) FROM #mine"), (Lines{"1"}));
  EXPECT_EQ(rowsOf(*c, "SELECT COUNT(*) FROM sqlite_temp_master WHERE name = '#work'"),
            (Lines{"0"}));
  EXPECT_EQ(rowsOf(*c, "SELECT COUNT(*) FROM SYSOBJECTS WHERE name LIKE '#%'"), (Lines{"0"}));
}

TEST(ProceduralData, InsertExecAndExecText) {
  auto c = openMemory();
  c->execute("CREATE TABLE T (ID INT, NAME VARCHAR(10))");
  c->execute("CREATE PROCEDURE ROWS_OF @n INT AS SELECT @n, 'a' UNION ALL SELECT @n + 1, 'b'");
  EXPECT_EQ(batchLines(*c,
                       "DECLARE @n INT = 5\n"
                       "INSERT INTO T (ID, NAME) EXEC ROWS_OF @n\n"
                       "INSERT T EXEC('SELECT 9, ''z''')\n"
                       "EXEC('SELECT COUNT(*) FROM T')\n"
                       "SELECT TOP (@n - 3) ID FROM T ORDER BY ID DESC"),
            (Lines{"3", "--", "9", "6"}));
}

}  // namespace
}  // namespace db::embedded
