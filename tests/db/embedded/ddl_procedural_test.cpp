#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalog_test_support.h"
#include "db/core/error.h"

namespace db::embedded {
namespace {

using test_support::CatalogDb;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* kProcedure =
    "CREATE PROCEDURE NOVO_CODIGO (@P_CONTADOR VARCHAR(100), @P_SEQUENCIAL CHAR(20) OUTPUT, "
    "@P_QTDE INT = 1) AS BEGIN SET NOCOUNT ON; UPDATE NOVOCODIGO SET NRSEQUENCIAL = '1' END";
constexpr const char* kTrigger =
    "CREATE TRIGGER LOG_DEL ON COMANDAVEN FOR DELETE AS BEGIN INSERT INTO LOGCMD (TX) "
    "SELECT 'x' FROM DELETED END";

class DdlProcedural : public ::testing::Test {
 protected:
  void SetUp() override {
    db.exec(
        "CREATE TABLE COMANDAVEN (NRCOMANDA VARCHAR(10)); CREATE TABLE LOGCMD (TX VARCHAR(10))");
  }
  // The existence test the drop commands use: only the current user's objects count.
  std::string ownedCount(const std::string& name, const std::string& type) {
    return db.scalar(
        "SELECT count(*) FROM kivtab_sysobjects O, kivtab_sysusers U WHERE O.NAME = '" + name +
        "' AND TYPE = '" + type + "' AND U.UID = O.UID AND U.NAME = 'SA'");
  }
  CatalogDb db{"sa"};
};

TEST_F(DdlProcedural, ProceduresAreCataloguedWithTheirText) {
  db.ddl(kProcedure);
  EXPECT_EQ(ownedCount("NOVO_CODIGO", "P"), "1");
  EXPECT_EQ(db.scalar("SELECT CO.text FROM kivtab_syscomments CO, kivtab_sysobjects O WHERE "
                      "CO.id = O.id AND O.name = 'novo_codigo'"),
            kProcedure);
  EXPECT_EQ(db.scalar("SELECT type_desc FROM kivtab_sys_objects WHERE name = 'NOVO_CODIGO'"),
            "SQL_STORED_PROCEDURE");
  EXPECT_THAT(db.refusal(kProcedure), HasSubstr("already an object named"));
  db.ddl("ALTER PROC NOVO_CODIGO AS SELECT 1");
  EXPECT_EQ(db.scalar("SELECT count(*) FROM kivtab_syscomments WHERE text LIKE 'ALTER PROC%'"),
            "1");
  db.ddl("DROP PROCEDURE NOVO_CODIGO;");
  EXPECT_EQ(ownedCount("NOVO_CODIGO", "P"), "0");
  EXPECT_THAT(db.refusal("DROP PROCEDURE NOVO_CODIGO"), HasSubstr("Cannot drop the procedure"));
  db.ddl("DROP PROC IF EXISTS NOVO_CODIGO");
  EXPECT_THAT(db.refusal("ALTER PROCEDURE NOVO_CODIGO AS SELECT 1"),
              HasSubstr("Invalid object name"));
  db.ddl("CREATE OR ALTER PROCEDURE dbo.NOVO_CODIGO AS SELECT 2");
  db.ddl("CREATE OR ALTER PROCEDURE [NOVO_CODIGO] AS SELECT 3");
  EXPECT_EQ(db.scalar("SELECT count(*) FROM kivtab_sysobjects WHERE type = 'P'"), "1");
  // A name taken by a table cannot be a procedure's.
  EXPECT_THAT(db.refusal("CREATE PROCEDURE LOGCMD AS SELECT 1"),
              HasSubstr("already an object named 'LOGCMD'"));
}

TEST_F(DdlProcedural, TriggersAreListedEnabledDisabledAndNotFiredByWritesOutsideTheEngine) {
  db.ddl(kTrigger);
  EXPECT_EQ(ownedCount("LOG_DEL", "TR"), "1");
  EXPECT_THAT(db.rows("SELECT T.name, T.is_disabled, T.is_instead_of_trigger, O.name FROM "
                      "kivtab_sys_triggers T JOIN kivtab_sys_objects O ON O.object_id = "
                      "T.parent_id"),
              ElementsAre("LOG_DEL|0|0|COMANDAVEN"));
  db.exec("INSERT INTO COMANDAVEN VALUES ('1'); DELETE FROM COMANDAVEN");
  EXPECT_EQ(db.scalar("SELECT count(*) FROM LOGCMD"), "0");  // a bare SQLite write
  // Each form of the switch, in turn: the trigger's state after it.
  const std::pair<const char*, const char*> switches[] = {
      {"DISABLE TRIGGER LOG_DEL ON COMANDAVEN", "1"},
      {"ENABLE TRIGGER LOG_DEL ON comandaven", "0"},
      {"ALTER TABLE COMANDAVEN DISABLE TRIGGER ALL", "1"},
      {"ALTER TABLE COMANDAVEN ENABLE TRIGGER LOG_DEL", "0"}};
  for (const auto& [command, disabled] : switches) {
    db.ddl(command);
    EXPECT_EQ(db.scalar("SELECT is_disabled FROM kivtab_sys_triggers WHERE name = 'LOG_DEL'"),
              disabled)
        << command;
  }
  EXPECT_THAT(db.refusal("ENABLE TRIGGER LOG_DEL ON LOGCMD"), HasSubstr("LOG_DEL"));
  EXPECT_THAT(db.refusal("ENABLE TRIGGER NONE ON COMANDAVEN"), HasSubstr("NONE"));
  // Rebuilding the table keeps its triggers.
  db.ddl("ALTER TABLE COMANDAVEN ALTER COLUMN NRCOMANDA VARCHAR(20)");
  EXPECT_EQ(ownedCount("LOG_DEL", "TR"), "1");
  db.ddl("DROP TRIGGER LOG_DEL");
  EXPECT_EQ(ownedCount("LOG_DEL", "TR"), "0");
  EXPECT_THAT(db.refusal("DROP TRIGGER LOG_DEL"), HasSubstr("Cannot drop the trigger"));
}

TEST_F(DdlProcedural, TriggersGoWithTheirTable) {
  EXPECT_THAT(db.refusal("CREATE TRIGGER T1 ON NOSUCH AFTER INSERT AS SELECT 1"),
              HasSubstr("NOSUCH"));
  db.ddl("CREATE TRIGGER T1 ON LOGCMD AFTER INSERT, UPDATE AS SELECT 1");
  db.exec("DROP TABLE LOGCMD");
  EXPECT_EQ(db.scalar("SELECT count(*) FROM kivtab_sys_triggers"), "0");
  db.exec("CREATE TABLE LOGCMD (TX VARCHAR(10))");
  EXPECT_THAT(db.refusal("CREATE TRIGGER T1 ON LOGCMD INSTEAD OF DELETE AS SELECT 1"),
              HasSubstr("INSTEAD OF triggers"));
}

TEST_F(DdlProcedural, SnapshotSettingIsRecordedForTheDatabase) {
  const std::string query =
      "SELECT is_read_committed_snapshot_on AS CONFIG FROM kivtab_sys_databases WHERE name= ?1";
  // A private in-memory database is called "main".
  EXPECT_THAT(db.rows(query, {"MAIN"}), ElementsAre("0"));
  db.ddl("ALTER DATABASE [main] SET SINGLE_USER WITH ROLLBACK IMMEDIATE");
  db.ddl("ALTER DATABASE main SET READ_COMMITTED_SNAPSHOT ON");
  EXPECT_EQ(db.scalar("SELECT user_access_desc FROM kivtab_sys_databases WHERE database_id = 5"),
            "SINGLE_USER");
  db.ddl("ALTER DATABASE main SET MULTI_USER");
  EXPECT_THAT(db.rows(query, {"main"}), ElementsAre("1"));
  EXPECT_EQ(db.scalar("SELECT user_access_desc FROM kivtab_sys_databases WHERE database_id = 5"),
            "MULTI_USER");
  EXPECT_THAT(db.refusal("ALTER DATABASE OUTRA SET READ_COMMITTED_SNAPSHOT ON"),
              HasSubstr("'OUTRA' does not exist"));
  // A parameter is no database name.
  EXPECT_EQ(db.refused("ALTER DATABASE :P_BASE SET READ_COMMITTED_SNAPSHOT ON").kind(),
            ErrorKind::Unsupported);
  EXPECT_THROW(db.ddl("ALTER DATABASE main SET RECOVERY SIMPLE"), Error);
}

TEST(DdlProceduralFile, TheDatabaseIsNamedAfterItsFileAndKeepsItsObjects) {
  const std::string path = ::testing::TempDir() + "/LOJA01.db";
  std::remove(path.c_str());
  {
    CatalogDb db("sa", path);
    db.ddl("ALTER DATABASE LOJA01 SET READ_COMMITTED_SNAPSHOT ON");
    db.ddl("CREATE PROCEDURE P1 AS SELECT 1");
  }
  CatalogDb again("sa", path);
  EXPECT_EQ(again.scalar("SELECT is_read_committed_snapshot_on FROM kivtab_sys_databases "
                         "WHERE name = 'loja01'"),
            "1");
  EXPECT_EQ(again.scalar("SELECT count(*) FROM kivtab_sysobjects WHERE name = 'P1'"), "1");
  // The engine's own tables are not the user's.
  EXPECT_EQ(again.scalar("SELECT count(*) FROM kivtab_is_tables"), "0");
  std::remove(path.c_str());
}

TEST(DdlDispatch, OtherStatementsAreLeftToTheTranslator) {
  CatalogDb db;
  for (const char* sql :
       {"CREATE TABLE X (A INT)", "DROP TABLE X", "SELECT 1", "CREATE VIEW V AS SELECT 1 AS A",
        "DROP INDEX I ON X", "ALTER VIEW V AS SELECT 2 AS A"}) {
    const auto tokens = significant(tokenize(sql));
    EXPECT_FALSE(ddl::tryExecute(db.get(), tokens, sql)) << sql;
  }
  EXPECT_THROW(db.ddl("ALTER TABLE NOSUCH ADD X INT"), Error);
  db.exec("CREATE TABLE X (A INT)");
  const Error unique = db.refused("ALTER TABLE X ADD CONSTRAINT UQ_X UNIQUE (A)");
  EXPECT_EQ(unique.kind(), ErrorKind::Unsupported);
  EXPECT_THAT(unique.what(), HasSubstr("UNIQUE"));
  EXPECT_THROW(db.ddl("ALTER TABLE X ALTER COLUMN"), Error);
  EXPECT_THROW(db.ddl("ALTER TABLE X ADD"), Error);
  EXPECT_THROW(db.ddl("CREATE PROCEDURE"), Error);
  EXPECT_THROW(db.ddl("DISABLE INDEX"), Error);
}

}  // namespace
}  // namespace db::embedded
