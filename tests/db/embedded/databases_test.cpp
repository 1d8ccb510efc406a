#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "embedded_test_support.h"
#include "support/temp_dir.h"

namespace db::embedded {
namespace {

namespace fs = std::filesystem;
using namespace test_support;

// A server folder inside a scratch directory, so that nothing may land beside it unseen.
class ServerFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder);
    loja = open({.path = folder.string(), .user = "dbo", .catalog = "LOJA"});
    loja->execute("CREATE TABLE VENDA (NRVENDA INT NOT NULL PRIMARY KEY, VRVENDA DECIMAL(17,3))");
  }
  std::vector<std::string> scratchFiles() const {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(scratch))
      if (e.is_regular_file() && e.path().extension() == ".db")
        out.push_back(fs::relative(e.path(), scratch).string());
    std::sort(out.begin(), out.end());
    return out;
  }

  testing_support::TempDir scratchDir;
  const fs::path scratch = scratchDir.path();
  const fs::path folder = scratch / "server";
  std::unique_ptr<Connection> loja;
};

TEST_F(ServerFolder, InitialCatalogOpensItsFileAndCreateDatabaseMakesASibling) {
  EXPECT_TRUE(fs::exists(folder / "LOJA.db"));
  EXPECT_EQ(scalar(*loja, "SELECT DB_NAME()").asText(), "LOJA");
  loja->execute("CREATE DATABASE CENTRAL");
  EXPECT_TRUE(fs::exists(folder / "CENTRAL.db"));
  EXPECT_THAT(rowsOf(*loja, "SELECT name, database_id FROM sys.databases ORDER BY database_id"),
              ElementsAre("master|1", "tempdb|2", "model|3", "msdb|4", "CENTRAL|5", "LOJA|6"));
  EXPECT_EQ(scalar(*loja, "SELECT DB_NAME(5)").asText(), "CENTRAL");

  // The name matches without regard to case, as a server's database names do.
  auto again = open({.path = folder.string(), .catalog = "loja"});
  EXPECT_EQ(scalar(*again, "SELECT COUNT(*) FROM VENDA").asInt(), 0);
  EXPECT_EQ(scalar(*again, "SELECT DB_NAME()").asText(), "LOJA");

  // A file named in Data Source is a database of its folder, named after the file.
  auto byFile = open({.path = (folder / "CENTRAL.db").string()});
  EXPECT_EQ(scalar(*byFile, "SELECT DB_NAME()").asText(), "CENTRAL");
  EXPECT_EQ(scalar(*byFile, "SELECT COUNT(*) FROM LOJA.dbo.VENDA").asInt(), 0);
}

TEST_F(ServerFolder, CreateDatabaseRefusesWhatTheServerRefuses) {
  loja->execute("CREATE DATABASE CENTRAL");
  try {
    loja->execute("CREATE DATABASE central");
    ADD_FAILURE() << "created twice";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("already exists"));
  }
  loja->begin();
  EXPECT_THROW(loja->execute("CREATE DATABASE OUTRA"), Error);
  loja->rollback();
  EXPECT_FALSE(fs::exists(folder / "OUTRA.db"));
  auto memory = test_support::openMemory();
  EXPECT_THROW(memory->execute("CREATE DATABASE OUTRA"), Error);
}

TEST_F(ServerFolder, ThreePartNamesJoinTheCallersTransaction) {
  loja->execute("CREATE DATABASE CENTRAL");
  loja->execute(
      "CREATE TABLE CENTRAL.dbo.VENDA (NRVENDA INT NOT NULL PRIMARY KEY, DTVENDA DATETIME)");
  loja->begin();
  loja->execute("INSERT INTO VENDA (NRVENDA, VRVENDA) VALUES (1, 10)");
  loja->execute("INSERT INTO CENTRAL.dbo.VENDA (NRVENDA, DTVENDA) VALUES (1, '2026-12-08')");
  loja->execute("INSERT INTO CENTRAL..VENDA SELECT NRVENDA + 1, '2026-12-09' FROM VENDA");
  EXPECT_EQ(scalar(*loja, "SELECT COUNT(*) FROM CENTRAL..VENDA").asInt(), 2);
  loja->rollback();
  EXPECT_EQ(scalar(*loja, "SELECT COUNT(*) FROM VENDA").asInt(), 0);
  EXPECT_EQ(scalar(*loja, "SELECT COUNT(*) FROM CENTRAL.dbo.VENDA").asInt(), 0);

  loja->begin();
  loja->execute("INSERT INTO VENDA (NRVENDA, VRVENDA) VALUES (1, 10)");
  loja->execute("INSERT INTO CENTRAL.dbo.VENDA (NRVENDA, DTVENDA) VALUES (1, '2026-12-08')");
  loja->execute("UPDATE CENTRAL.dbo.VENDA SET DTVENDA = '2026-12-10' WHERE NRVENDA = 1");
  loja->commit();
  // Texts meet the other database's date columns as they meet this one's.
  EXPECT_EQ(scalar(*loja, "SELECT DTVENDA FROM CENTRAL.dbo.VENDA").asDateTime(),
            DateTime::fromParts(2026, 12, 10));
  EXPECT_THAT(rowsOf(*loja,
                     "SELECT V.NRVENDA, C.NRVENDA FROM VENDA V JOIN CENTRAL.dbo.VENDA C "
                     "ON C.NRVENDA = V.NRVENDA"),
              ElementsAre("1|1"));
  loja->execute("DELETE FROM CENTRAL.dbo.VENDA");
  EXPECT_EQ(scalar(*loja, "SELECT COUNT(*) FROM CENTRAL.dbo.VENDA").asInt(), 0);

  auto central = open({.path = folder.string(), .catalog = "CENTRAL"});
  EXPECT_EQ(scalar(*central, "SELECT COUNT(*) FROM VENDA").asInt(), 0);
  EXPECT_EQ(scalar(*central, "SELECT COUNT(*) FROM LOJA.dbo.VENDA").asInt(), 1);
}

TEST_F(ServerFolder, CatalogueNamesAnswerForTheDatabaseTheyName) {
  loja->execute("CREATE DATABASE CENTRAL");
  {
    auto central = open({.path = folder.string(), .catalog = "CENTRAL"});
    central->execute("CREATE TABLE MOVICLIE (CDCLIENTE VARCHAR(21) NOT NULL PRIMARY KEY)");
    central->execute("CREATE TRIGGER MOVICLIE_LOG ON MOVICLIE FOR INSERT AS SELECT 1");
    central->execute("DISABLE TRIGGER MOVICLIE_LOG ON MOVICLIE");
  }
  EXPECT_THAT(rowsOf(*loja, "SELECT name, xtype FROM CENTRAL.dbo.sysobjects ORDER BY name"),
              ElementsAre("MOVICLIE|U", "MOVICLIE_LOG|TR", "PK__MOVICLIE|PK"));
  EXPECT_THAT(rowsOf(*loja, "SELECT name, is_disabled FROM CENTRAL.sys.triggers"),
              ElementsAre("MOVICLIE_LOG|1"));
  EXPECT_THAT(rowsOf(*loja,
                     "SELECT TABLE_CATALOG, TABLE_NAME FROM CENTRAL.INFORMATION_SCHEMA."
                     "TABLES"),
              ElementsAre("CENTRAL|MOVICLIE"));
  EXPECT_THAT(rowsOf(*loja,
                     "SELECT C.name FROM CENTRAL..syscolumns C JOIN CENTRAL..sysobjects O "
                     "ON O.id = C.id WHERE O.name = 'MOVICLIE'"),
              ElementsAre("CDCLIENTE"));
  // This database's catalogue is unchanged, also when named by its own name.
  EXPECT_THAT(rowsOf(*loja, "SELECT name FROM LOJA.dbo.sysobjects WHERE xtype = 'U'"),
              ElementsAre("VENDA"));
  EXPECT_EQ(scalar(*loja, "SELECT COUNT(*) FROM sys.triggers").asInt(), 0);
  EXPECT_EQ(scalar(*loja, "SELECT OBJECT_ID('CENTRAL.dbo.MOVICLIE')").isNull(), false);
  EXPECT_TRUE(scalar(*loja, "SELECT OBJECT_ID('MOVICLIE')").isNull());
}

TEST_F(ServerFolder, ANameThatWouldLeaveTheFolderIsRefusedEverywhere) {
  const auto before = scratchFiles();
  const std::string absolute = (scratch / "abs").string();
  for (const std::string& name :
       std::vector<std::string>{"../x", "a/b", "a\\b", "..", "", absolute}) {
    const std::string bracketed = "[" + name + "]";
    EXPECT_THROW(loja->execute("CREATE DATABASE " + bracketed), Error) << name;
    EXPECT_THROW(loja->query("SELECT * FROM " + bracketed + ".dbo.VENDA"), Error) << name;
    EXPECT_THROW(loja->execute("INSERT INTO " + bracketed + "..VENDA (NRVENDA) VALUES (1)"), Error)
        << name;
    EXPECT_THROW(open({.path = folder.string(), .catalog = name}), Error) << name;
  }
  EXPECT_EQ(scratchFiles(), before);
  try {
    loja->query("SELECT * FROM NENHUMA.dbo.VENDA");
    ADD_FAILURE() << "a missing database was reached";
  } catch (const Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("Database 'NENHUMA' does not exist"));
    EXPECT_EQ(e.statement(), "SELECT * FROM NENHUMA.dbo.VENDA");
  }
  EXPECT_FALSE(fs::exists(folder / "NENHUMA.db"));
}

}  // namespace
}  // namespace db::embedded
