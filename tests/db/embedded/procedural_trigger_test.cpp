#include <gtest/gtest.h>

#include "embedded_test_support.h"
#include "procedural_test_support.h"

namespace db::embedded {
namespace {

using namespace test_support;

class ProceduralTrigger : public ::testing::Test {
 protected:
  void SetUp() override {
    c = openMemory();
    c->execute("CREATE TABLE ACCT (ID INT PRIMARY KEY, BAL DECIMAL(10,2), DT DATETIME)");
    c->execute(
        "CREATE TABLE AUDIT (N INT IDENTITY PRIMARY KEY, WHAT VARCHAR(20), ID INT, "
        "OLD DECIMAL(10,2), NEW DECIMAL(10,2), DT DATETIME)");
  }
  Lines audit() { return rowsOf(*c, "SELECT WHAT, ID, OLD, NEW FROM AUDIT ORDER BY N"); }
  std::unique_ptr<Connection> c;
};

TEST_F(ProceduralTrigger, FiresOncePerStatementWithInsertedAndDeleted) {
  c->execute(
      "CREATE TRIGGER TR_ACCT ON ACCT AFTER INSERT, UPDATE, DELETE AS\n"
      "BEGIN\n"
      "  DECLARE @n INT = @@ROWCOUNT\n"
      "  INSERT INTO AUDIT (WHAT, ID) VALUES ('fired', @n)\n"
      "  INSERT INTO AUDIT (WHAT, ID, OLD, NEW, DT) SELECT 'row', COALESCE(i.ID, d.ID), d.BAL, "
      "i.BAL, i.DT FROM inserted i FULL JOIN deleted d ON d.ID = i.ID\n"
      "END");
  c->execute("INSERT INTO ACCT VALUES (1, 10, '2024-01-02')");
  c->execute("INSERT INTO ACCT SELECT 2, 20, '2024-01-03' UNION ALL SELECT 3, 30, NULL");
  EXPECT_EQ(c->execute("UPDATE ACCT SET BAL = BAL + 1 WHERE ID >= 2"), 2);
  c->execute("UPDATE ACCT SET BAL = 0 WHERE ID = 99");
  c->execute("DELETE FROM ACCT WHERE ID = 1");
  EXPECT_EQ(audit(),
            (Lines{"fired|1|NULL|NULL", "row|1|NULL|10", "fired|2|NULL|NULL", "row|2|NULL|20",
                   "row|3|NULL|30", "fired|2|NULL|NULL", "row|2|20|21", "row|3|30|31",
                   "fired|0|NULL|NULL", "fired|1|NULL|NULL", "row|1|10|NULL"}));
  // Dates keep their type through inserted.
  EXPECT_EQ(rowsOf(*c,
                   "SELECT CONVERT(VARCHAR(10), DT, 103) FROM AUDIT WHERE ID = 1 AND "
                   "WHAT = 'row' AND NEW IS NOT NULL"),
            (Lines{"02/01/2024"}));
}

TEST_F(ProceduralTrigger, ASetOptionWithoutSemicolonEndsBeforeTheNextStatement) {
  c->execute(
      "CREATE TRIGGER TR_ACCT ON ACCT FOR INSERT AS\n"
      "SET NOCOUNT ON\n"
      "INSERT INTO AUDIT (WHAT, ID) SELECT 'ins', ID FROM inserted\n"
      "SET NOCOUNT OFF\n"
      "DELETE FROM AUDIT WHERE ID = 99");
  c->execute("INSERT INTO ACCT VALUES (1, 10, NULL)");
  EXPECT_EQ(audit(), (Lines{"ins|1|NULL|NULL"}));
}

TEST_F(ProceduralTrigger, AnErrorUndoesTheStatementAndItsTriggersWork) {
  c->execute(
      "CREATE TRIGGER TR_LOG ON ACCT AFTER INSERT AS "
      "INSERT INTO AUDIT (WHAT, ID) SELECT 'ins', ID FROM inserted");
  c->execute(
      "CREATE TRIGGER TR_CHECK ON ACCT AFTER INSERT AS "
      "IF EXISTS (SELECT 1 FROM inserted WHERE BAL < 0) "
      "RAISERROR('negative balance', 16, 1)");
  c->execute("INSERT INTO ACCT VALUES (1, 5, NULL)");
  const Error error = errorOf([&] { c->execute("INSERT INTO ACCT VALUES (2, -5, NULL)"); });
  const std::string what = error.what();
  EXPECT_NE(what.find("TR_CHECK"), std::string::npos) << what;
  EXPECT_NE(what.find("negative balance"), std::string::npos) << what;
  EXPECT_NE(what.find("INSERT INTO ACCT VALUES (2, -5, NULL)"), std::string::npos) << what;
  EXPECT_EQ(rowsOf(*c, "SELECT ID FROM ACCT"), (Lines{"1"}));
  EXPECT_EQ(audit(), (Lines{"ins|1|NULL|NULL"}));

  // A rolled-back transaction takes the triggers' work with it.
  c->begin();
  c->execute("INSERT INTO ACCT VALUES (3, 1, NULL)");
  c->rollback();
  c->executeBatch("BEGIN TRAN INSERT INTO ACCT VALUES (4, 1, NULL) ROLLBACK");
  EXPECT_EQ(audit(), (Lines{"ins|1|NULL|NULL"}));

  // TRY/CATCH sees the trigger's message.
  const auto result = c->executeBatch(
      "BEGIN TRY INSERT INTO ACCT VALUES (5, -1, NULL) END TRY "
      "BEGIN CATCH SELECT ERROR_MESSAGE(), ERROR_PROCEDURE() END CATCH");
  EXPECT_EQ(test_support::linesOf(result.resultSets.at(0)), (Lines{"negative balance|TR_CHECK"}));
}

TEST_F(ProceduralTrigger, NestedTriggersDisabledTriggersAndNoDirectRecursion) {
  c->execute("CREATE TABLE HIST (ID INT, N INT)");
  c->execute(
      "CREATE TRIGGER TR_A ON ACCT AFTER UPDATE AS "
      "INSERT INTO AUDIT (WHAT, ID) SELECT 'a', ID FROM inserted");
  c->execute(
      "CREATE TRIGGER TR_AUDIT ON AUDIT AFTER INSERT AS "
      "INSERT INTO HIST SELECT ID, @@NESTLEVEL FROM inserted");
  // Its own update of ACCT does not fire it again.
  c->execute(
      "CREATE TRIGGER TR_SELF ON ACCT AFTER INSERT AS "
      "UPDATE ACCT SET BAL = BAL * 2 WHERE ID IN (SELECT ID FROM inserted)");
  c->execute("INSERT INTO ACCT VALUES (1, 5, NULL)");
  EXPECT_EQ(rowsOf(*c, "SELECT BAL FROM ACCT"), (Lines{"10"}));
  EXPECT_EQ(rowsOf(*c, "SELECT ID, N FROM HIST"), (Lines{"1|3"}));

  c->execute("DISABLE TRIGGER TR_A ON ACCT");
  EXPECT_EQ(rowsOf(*c, "SELECT is_disabled FROM sys.triggers WHERE name = 'TR_A'"), (Lines{"1"}));
  c->execute("UPDATE ACCT SET BAL = 1");
  EXPECT_EQ(rowsOf(*c, "SELECT COUNT(*) FROM AUDIT"), (Lines{"1"}));
  c->execute("ALTER TABLE ACCT ENABLE TRIGGER ALL");
  c->execute("UPDATE ACCT SET BAL = 2");
  EXPECT_EQ(rowsOf(*c, "SELECT COUNT(*) FROM AUDIT"), (Lines{"2"}));
}

TEST_F(ProceduralTrigger, RollbackInATriggerAbortsAndTableChangesReachInsertedAndDeleted) {
  c->execute(
      "CREATE TRIGGER TR_GUARD ON ACCT AFTER INSERT AS "
      "IF EXISTS (SELECT 1 FROM inserted WHERE BAL < 0) BEGIN "
      "RAISERROR('refused', 10, 1) ROLLBACK TRANSACTION END");
  c->execute("INSERT INTO ACCT VALUES (1, 1, NULL)");
  const Error error = errorOf([&] {
    c->executeBatch(
        "BEGIN TRAN INSERT INTO ACCT VALUES (2, 1, NULL) "
        "INSERT INTO ACCT VALUES (3, -1, NULL) COMMIT");
  });
  EXPECT_NE(std::string(error.what()).find("The transaction ended in the trigger"),
            std::string::npos)
      << error.what();
  EXPECT_FALSE(c->inTransaction());
  EXPECT_EQ(rowsOf(*c, "SELECT ID FROM ACCT"), (Lines{"1"}));

  c->execute("ALTER TABLE ACCT ADD NOTE VARCHAR(10) NULL");
  c->execute(
      "CREATE TRIGGER TR_NOTE ON ACCT AFTER UPDATE AS "
      "INSERT INTO AUDIT (WHAT, ID) SELECT i.NOTE + '/' + d.NOTE, i.ID FROM inserted i "
      "JOIN deleted d ON d.ID = i.ID");
  c->execute("UPDATE ACCT SET NOTE = 'old'");
  c->execute("UPDATE ACCT SET NOTE = 'new'");
  EXPECT_EQ(rowsOf(*c, "SELECT WHAT FROM AUDIT WHERE WHAT IS NOT NULL"), (Lines{"new/old"}));
}

TEST_F(ProceduralTrigger, NestingPast32FailsAndUndoesEverything) {
  c->execute("CREATE TABLE PING (N INT)");
  c->execute("CREATE TABLE PONG (N INT)");
  c->execute(
      "CREATE TRIGGER TR_PING ON PING AFTER INSERT AS INSERT INTO PONG SELECT N + 1 FROM "
      "inserted");
  c->execute(
      "CREATE TRIGGER TR_PONG ON PONG AFTER INSERT AS INSERT INTO PING SELECT N + 1 FROM "
      "inserted");
  const Error error = errorOf([&] { c->execute("INSERT INTO PING VALUES (1)"); });
  EXPECT_NE(std::string(error.what()).find("limit 32"), std::string::npos) << error.what();
  EXPECT_EQ(rowsOf(*c, "SELECT (SELECT COUNT(*) FROM PING) + (SELECT COUNT(*) FROM PONG)"),
            (Lines{"0"}));
}

TEST_F(ProceduralTrigger, InsteadOfAndBodiesOutsideTheSubsetAreRefusedAtCreate) {
  EXPECT_EQ(
      kindOf([&] { c->execute("CREATE TRIGGER TR_X ON ACCT AFTER INSERT AS GOTO somewhere"); }),
      ErrorKind::Unsupported);
  EXPECT_EQ(rowsOf(*c, "SELECT COUNT(*) FROM sys.triggers"), (Lines{"0"}));
}

}  // namespace
}  // namespace db::embedded
