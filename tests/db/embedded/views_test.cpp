#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "embedded_test_support.h"
#include "support/temp_dir.h"

namespace db::embedded {
namespace {

namespace fs = std::filesystem;
using namespace test_support;

class Views : public ::testing::Test {
 protected:
  void SetUp() override {
    db = connect("LOJA");
    db->execute(
        "CREATE TABLE CLIENTE (CDCLIENTE VARCHAR(4) NOT NULL PRIMARY KEY, "
        "NMCLIENTE VARCHAR(20))");
    db->execute(
        "CREATE TABLE VENDA (NRVENDA INT NOT NULL PRIMARY KEY, CDCLIENTE VARCHAR(4), "
        "VRVENDA DECIMAL(17,3))");
    db->execute("INSERT INTO CLIENTE VALUES ('1', 'Ana'), ('2', 'Rui'), ('3', 'Eva')");
    db->execute("INSERT INTO VENDA VALUES (1, '1', 10), (2, '1', 5), (3, '2', 7)");
  }
  std::unique_ptr<Connection> connect(const std::string& catalog) {
    return open({.path = folder.string(), .catalog = catalog});
  }

  testing_support::TempDir scratch;
  const fs::path folder = scratch.path();
  std::unique_ptr<Connection> db;
};

TEST_F(Views, JoinsAggregatesCaseAndSubqueriesAreListedInTheCatalogue) {
  db->execute(
      "CREATE VIEW dbo.TOTAL_CLIENTE (CLIENTE, QTVENDAS, TOTAL, FAIXA) AS "
      "SELECT C.NMCLIENTE, COUNT(V.NRVENDA), ISNULL(SUM(V.VRVENDA), 0), "
      "CASE WHEN SUM(V.VRVENDA) >= 10 THEN 'A' ELSE 'B' END "
      "FROM CLIENTE C LEFT JOIN VENDA V ON V.CDCLIENTE = C.CDCLIENTE GROUP BY C.NMCLIENTE");
  EXPECT_THAT(rowsOf(*db, "SELECT * FROM TOTAL_CLIENTE ORDER BY CLIENTE"),
              ElementsAre("Ana|2|15|A", "Eva|0|0|B", "Rui|1|7|B"));
  db->execute(
      "CREATE VIEW COM_VENDA AS SELECT NMCLIENTE FROM CLIENTE C WHERE EXISTS "
      "(SELECT 1 FROM VENDA V WHERE V.CDCLIENTE = C.CDCLIENTE)");
  EXPECT_THAT(rowsOf(*db, "SELECT NMCLIENTE FROM COM_VENDA ORDER BY 1"), ElementsAre("Ana", "Rui"));
  EXPECT_THAT(rowsOf(*db, "SELECT name FROM sysobjects WHERE xtype = 'V' ORDER BY name"),
              ElementsAre("COM_VENDA", "TOTAL_CLIENTE"));
  EXPECT_THAT(rowsOf(*db, "SELECT type_desc FROM sys.objects WHERE name = 'TOTAL_CLIENTE'"),
              ElementsAre("VIEW"));
  EXPECT_THAT(rowsOf(*db,
                     "SELECT TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = "
                     "'COM_VENDA'"),
              ElementsAre("VIEW"));
}

TEST_F(Views, AlterReplacesTheDefinitionAndAFailedAlterKeepsTheOldOne) {
  db->execute("CREATE VIEW V_CLI AS SELECT NMCLIENTE FROM CLIENTE");
  db->execute("ALTER VIEW V_CLI AS SELECT CDCLIENTE FROM CLIENTE WHERE CDCLIENTE = '2'");
  EXPECT_THAT(rowsOf(*db, "SELECT * FROM V_CLI"), ElementsAre("2"));
  EXPECT_THROW(db->execute("ALTER VIEW V_CLI AS SELECT X FROM NENHUMA"), Error);
  EXPECT_THAT(rowsOf(*db, "SELECT * FROM V_CLI"), ElementsAre("2"));
  db->execute("CREATE OR ALTER VIEW V_CLI AS SELECT COUNT(*) AS N FROM CLIENTE");
  db->execute("CREATE OR ALTER VIEW V_NOVA AS SELECT 1 AS UM");
  EXPECT_EQ(scalar(*db, "SELECT N FROM V_CLI").asInt(), 3);
  EXPECT_EQ(scalar(*db, "SELECT UM FROM V_NOVA").asInt(), 1);
  db->execute("DROP VIEW V_CLI");
  db->execute("DROP VIEW IF EXISTS V_CLI");
  EXPECT_TRUE(scalar(*db, "SELECT OBJECT_ID('V_CLI')").isNull());
}

TEST_F(Views, AViewOverAnotherDatabaseLastsAcrossConnections) {
  db->execute("CREATE DATABASE CENTRAL");
  db->execute(
      "CREATE TABLE CENTRAL.dbo.SALDO (CDCLIENTE VARCHAR(4) NOT NULL PRIMARY KEY, "
      "VRSALDO DECIMAL(17,3))");
  db->execute("INSERT INTO CENTRAL..SALDO VALUES ('1', 3), ('2', 9)");
  db->execute(
      "CREATE VIEW SALDO_CLIENTE AS SELECT C.NMCLIENTE, S.VRSALDO FROM CLIENTE C "
      "JOIN CENTRAL.dbo.SALDO S ON S.CDCLIENTE = C.CDCLIENTE");
  EXPECT_THAT(rowsOf(*db, "SELECT * FROM SALDO_CLIENTE ORDER BY NMCLIENTE"),
              ElementsAre("Ana|3", "Rui|9"));
  db.reset();
  db = connect("LOJA");
  EXPECT_THAT(rowsOf(*db, "SELECT NMCLIENTE FROM SALDO_CLIENTE WHERE VRSALDO > 5"),
              ElementsAre("Rui"));
  EXPECT_THAT(rowsOf(*db, "SELECT xtype FROM sysobjects WHERE name = 'SALDO_CLIENTE'"),
              ElementsAre("V"));
  EXPECT_THAT(rowsOf(*db,
                     "SELECT TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = "
                     "'SALDO_CLIENTE'"),
              ElementsAre("VIEW"));
  db->execute("ALTER VIEW SALDO_CLIENTE AS SELECT S.VRSALDO FROM CENTRAL..SALDO S");
  EXPECT_EQ(scalar(*db, "SELECT COUNT(*) FROM SALDO_CLIENTE").asInt(), 2);
  db->execute("DROP VIEW SALDO_CLIENTE");
  db.reset();
  db = connect("LOJA");
  EXPECT_TRUE(scalar(*db, "SELECT OBJECT_ID('SALDO_CLIENTE')").isNull());
  EXPECT_THROW(db->query("SELECT * FROM SALDO_CLIENTE"), Error);
}

}  // namespace
}  // namespace db::embedded
