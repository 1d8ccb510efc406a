#include "download/statement_files/insert_fast_path.h"

#include <gtest/gtest.h>

#include "download/statement_files/insert_line.h"
#include "download/statement_files/statement_file_runner.h"
#include "test_support.h"

namespace download::testing {
namespace {

TEST(InsertLineParse, TakesApartPlainInsertsOnly) {
  InsertLine p;
  ASSERT_TRUE(parseInsertLine("  insert into dbo.T (A,B , C) values ('it''s', -12, 1.5e2) ; ", p));
  EXPECT_EQ(p.table, "dbo.T");
  EXPECT_EQ(p.head, "insert into dbo.T (A,B , C)");
  ASSERT_EQ(p.valueCount, 3u);
  EXPECT_EQ(p.values[0].text, "it's");
  EXPECT_EQ(p.values[1].intValue, -12);
  EXPECT_EQ(p.values[2].doubleValue, 150.0);

  ASSERT_TRUE(parseInsertLine("INSERT INTO T (A, B) VALUES (N'x', NULL)", p));
  EXPECT_EQ(p.values[0].kind, Literal::Kind::Text);
  EXPECT_EQ(p.values[1].kind, Literal::Kind::Null);

  for (const char* other : {
           "INSERT INTO T VALUES (1)",                     // no column list
           "INSERT INTO T (A) VALUES (GETDATE())",         // an expression
           "INSERT INTO T (A, B) VALUES (1)",              // counts differ
           "INSERT INTO T (A) VALUES ('open)",             // unterminated text
           "INSERT INTO T (A) VALUES (1), (2)",            // several rows
           "INSERT INTO T (A) VALUES (1); DELETE FROM T",  // a second statement
           "INSERT INTO T (A) VALUES (99999999999999999999)",
           "UPDATE T SET A = 1",
           "INSERT INTO T (A) SELECT 1",
       })
    EXPECT_FALSE(parseInsertLine(other, p)) << other;
}

TEST(Utf8Check, RecognisesCodePage1252Bytes) {
  EXPECT_TRUE(isValidUtf8("plain"));
  EXPECT_TRUE(isValidUtf8("Jos\xC3\xA9"));
  EXPECT_FALSE(isValidUtf8("Jos\xE9"));
  EXPECT_FALSE(isValidUtf8("\xC3"));
}

// The same lines stored through bound constants and as text must leave the same values.
TEST(InsertFastPathTest, StoresWhatTheTextWouldStore) {
  const char* ddl =
      "CREATE TABLE T (CDTXT VARCHAR(20), NRINT INT, VRDEC DECIMAL(17,3), DTMOV DATETIME, "
      "VRFLT FLOAT, IDCHAR CHAR(1))";
  const std::vector<std::string> lines = {
      "INSERT INTO T (CDTXT, NRINT, VRDEC, DTMOV, VRFLT, IDCHAR) VALUES ('a', 1, 1.50, "
      "'2026-01-02 03:04:05', 2.5e3, 'S')",
      "INSERT INTO T (CDTXT, NRINT, VRDEC, DTMOV, VRFLT, IDCHAR) VALUES ('O''Brien', -7, "
      "-0.125, '2026-01-02 03:04:05.123', 0.1, NULL)",
      "INSERT INTO T (CDTXT, NRINT, VRDEC, DTMOV) VALUES (N'ação', 9007199254740993, "
      "12345678901234.567, '20260102')",
      "INSERT INTO T (CDTXT, NRINT, VRDEC, DTMOV) VALUES (123, '42', '3.5', NULL)",
      "INSERT INTO T (CDTXT, DTMOV) VALUES ('x', '2026-03-04')",
      "INSERT INTO T (CDTXT, NRINT) VALUES ('', 0)",
  };
  auto viaText = db::embedded::open({":memory:"});
  auto viaBinding = db::embedded::open({":memory:"});
  viaText->execute(ddl);
  viaBinding->execute(ddl);
  InsertFastPath fast(*viaBinding);
  for (const auto& line : lines) {
    viaText->execute(line);
    EXPECT_TRUE(fast.tryRun(line)) << line;
  }
  const char* all = "SELECT CDTXT, NRINT, VRDEC, DTMOV, VRFLT, IDCHAR FROM T";
  auto expected = viaText->query(all);
  auto actual = viaBinding->query(all);
  while (expected->next()) {
    ASSERT_TRUE(actual->next());
    for (size_t i = 0; i < 6; ++i)
      EXPECT_EQ(actual->at(i), expected->at(i))
          << "column " << i << ": " << actual->at(i).asText() << " vs " << expected->at(i).asText();
  }
  EXPECT_FALSE(actual->next());
}

TEST(InsertFastPathTest, LeavesToTheTextWhatBindingCannotMirror) {
  auto conn = db::embedded::open({":memory:"});
  conn->execute("CREATE TABLE T (CDTXT VARCHAR(20), DTMOV DATETIME, HRMOV TIME)");
  InsertFastPath fast(*conn);
  EXPECT_FALSE(fast.tryRun("INSERT INTO T (CDTXT, DTMOV) VALUES ('a', '02/01/2026')"));
  EXPECT_FALSE(fast.tryRun("INSERT INTO T (CDTXT, DTMOV) VALUES ('a', 5)"));
  EXPECT_FALSE(fast.tryRun("INSERT INTO T (CDTXT, HRMOV) VALUES ('a', '10:00')"));
  EXPECT_FALSE(fast.tryRun("INSERT INTO NOTABLE (CDTXT) VALUES ('a')"));
  EXPECT_FALSE(fast.tryRun("INSERT INTO T (NOCOLUMN) VALUES ('a')"));
  EXPECT_TRUE(fast.tryRun("INSERT INTO T (CDTXT, DTMOV) VALUES ('a', '2026-01-02')"));
  // Errors of the database raise as they would for the text.
  conn->execute("CREATE TABLE K (CD VARCHAR(2) PRIMARY KEY)");
  EXPECT_TRUE(fast.tryRun("INSERT INTO K (CD) VALUES ('1')"));
  EXPECT_THROW(fast.tryRun("INSERT INTO K (CD) VALUES ('1')"), db::Error);
}

}  // namespace
}  // namespace download::testing
