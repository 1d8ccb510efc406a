#include "load/cleanup.h"

#include <gtest/gtest.h>

#include "postload_support.h"

namespace load::testing {
namespace {

class CleanupTest : public LocalFixture {
 protected:
  std::string branch = "0001";
  PostLoadCleanup cleanup{*db, services, branch};
};

TEST_F(CleanupTest, ExpiredRoutesLeaveAndRoutesEndingLaterStay) {
  run({"CREATE TABLE ROTFABRICA (CDPRODUTO VARCHAR(10), DTFINVGPRODROT DATETIME)",
       "CREATE TABLE ROTFABLOCAL (CDPRODUTO VARCHAR(10), DTFINVGPRODLOC DATETIME)",
       "INSERT INTO ROTFABRICA VALUES ('LATER', DATEADD(SECOND, 60, GETDATE()))",
       "INSERT INTO ROTFABRICA VALUES ('ENDED', DATEADD(SECOND, -1, GETDATE()))",
       "INSERT INTO ROTFABRICA VALUES ('OPEN', NULL)",
       "INSERT INTO ROTFABLOCAL VALUES ('ENDED', DATEADD(DAY, -3, GETDATE()))",
       "INSERT INTO ROTFABLOCAL VALUES ('LATER', DATEADD(DAY, 3, GETDATE()))"});
  cleanup.ApagaRotFabricaVencida();
  EXPECT_EQ(column("SELECT CDPRODUTO FROM ROTFABRICA ORDER BY CDPRODUTO"),
            (std::vector<std::string>{"LATER", "OPEN"}));
  EXPECT_EQ(column("SELECT CDPRODUTO FROM ROTFABLOCAL"), std::vector<std::string>{"LATER"});
}

TEST_F(CleanupTest, MissingRouteTableRaises) { EXPECT_ANY_THROW(cleanup.ApagaRotFabricaVencida()); }

TEST_F(CleanupTest, ExpiredPromotionGroupLeavesWithItsDiscounts) {
  run(
      {"CREATE TABLE GRUPROMOCPROD (CDPRODPROMOCAO VARCHAR(10), CDGRUPROMOC VARCHAR(4), "
       "NRSEQGRPROMO INT, DTFINVGGRPROMO DATETIME)",
       "CREATE TABLE DESGRUPROMOCPR (CDPRODPROMOCAO VARCHAR(10), CDGRUPROMOC VARCHAR(4), "
       "NRSEQGRPROMO INT, CDPRODUTO VARCHAR(10))",
       "CREATE TABLE GRUPROMOCPRFIL (CDFILIAL VARCHAR(4), CDPRODPROMOCAO VARCHAR(10), CDGRUPROMOC "
       "VARCHAR(4), NRSEQGRPROMOFIL INT, DTFINVGGRPROFIL DATETIME)",
       "CREATE TABLE DESGRUPROMPRFIL (CDFILIAL VARCHAR(4), CDPRODPROMOCAO VARCHAR(10), "
       "CDGRUPROMOC VARCHAR(4), NRSEQGRPROMOFIL INT, CDPRODUTO VARCHAR(10))",
       "INSERT INTO GRUPROMOCPROD VALUES ('P1', 'G1', 1, DATEADD(DAY, -1, GETDATE()))",
       "INSERT INTO GRUPROMOCPROD VALUES ('P1', 'G2', 1, DATEADD(DAY, 1, GETDATE()))",
       "INSERT INTO DESGRUPROMOCPR VALUES ('P1', 'G1', 1, 'A')",
       "INSERT INTO DESGRUPROMOCPR VALUES ('P1', 'G2', 1, 'B')",
       "INSERT INTO GRUPROMOCPRFIL VALUES ('0001', 'P1', 'G1', 1, DATEADD(DAY, -1, GETDATE()))",
       "INSERT INTO GRUPROMOCPRFIL VALUES ('0002', 'P1', 'G1', 1, DATEADD(DAY, 1, GETDATE()))",
       "INSERT INTO DESGRUPROMPRFIL VALUES ('0001', 'P1', 'G1', 1, 'A')",
       "INSERT INTO DESGRUPROMPRFIL VALUES ('0001', 'P1', 'G1', 1, 'C')",
       "INSERT INTO DESGRUPROMPRFIL VALUES ('0002', 'P1', 'G1', 1, 'D')"});
  cleanup.ApagaGruPromocVencido();
  EXPECT_EQ(column("SELECT CDGRUPROMOC FROM GRUPROMOCPROD"), std::vector<std::string>{"G2"});
  EXPECT_EQ(column("SELECT CDPRODUTO FROM DESGRUPROMOCPR"), std::vector<std::string>{"B"});
  EXPECT_EQ(column("SELECT CDFILIAL FROM GRUPROMOCPRFIL"), std::vector<std::string>{"0002"});
  EXPECT_EQ(column("SELECT CDPRODUTO FROM DESGRUPROMPRFIL"), std::vector<std::string>{"D"});
}

TEST_F(CleanupTest, OperatorsWithoutBranchBecomeInactiveAndStay) {
  run({"CREATE TABLE OPERADOR (CDOPERADOR VARCHAR(10), IDOPERATIVO CHAR(1))",
       "CREATE TABLE FILIOPER (CDFILIAL VARCHAR(4), CDOPERADOR VARCHAR(10))",
       "INSERT INTO OPERADOR VALUES ('LINKED', 'A')", "INSERT INTO OPERADOR VALUES ('ALONE', 'A')",
       "INSERT INTO OPERADOR VALUES ('GONE', 'I')", "INSERT INTO OPERADOR VALUES ('O''NEIL', 'A')",
       "INSERT INTO FILIOPER VALUES ('0001', 'LINKED')"});
  cleanup.InativaOperadores();
  EXPECT_EQ(column("SELECT CDOPERADOR + '=' + IDOPERATIVO FROM OPERADOR ORDER BY CDOPERADOR"),
            (std::vector<std::string>{"ALONE=I", "GONE=I", "LINKED=A", "O'NEIL=I"}));
}

class InactiveProductsTest : public CleanupTest {
 protected:
  void SetUp() override {
    run({"CREATE TABLE PRODFILI (CDPRODUTO VARCHAR(10))",
         "CREATE TABLE PRODUTO (CDPRODUTO VARCHAR(10) NOT NULL)",
         "CREATE TABLE ITCOMANDAVEN (NRITEM INT, CDPRODUTO VARCHAR(10), CDPRODPROMOCAO "
         "VARCHAR(10))",
         "INSERT INTO PRODUTO VALUES ('1')", "INSERT INTO PRODUTO VALUES ('2')",
         "INSERT INTO PRODUTO VALUES ('X''Y')", "INSERT INTO PRODUTO VALUES ('X')",
         "INSERT INTO ITCOMANDAVEN VALUES (1, '1', NULL)",
         "INSERT INTO ITCOMANDAVEN VALUES (2, '9', '1')",
         "INSERT INTO ITCOMANDAVEN VALUES (3, '2', NULL)", "INSERT INTO PRODFILI VALUES ('1')",
         "INSERT INTO PRODFILI VALUES ('X''Y')"});
  }
};

TEST_F(InactiveProductsTest, RemovesOnlyTheListedProductsAndTheirOrderItems) {
  cleanup.ApagaProdutosInativosFilial();
  EXPECT_EQ(column("SELECT CDPRODUTO FROM PRODUTO ORDER BY CDPRODUTO"),
            (std::vector<std::string>{"2", "X"}));
  EXPECT_EQ(column("SELECT NRITEM FROM ITCOMANDAVEN"), std::vector<std::string>{"3"});
  EXPECT_TRUE(logged("ApagaProdutosInativosFilial - PRODUTO: X'Y", "3"));
  EXPECT_FALSE(db->inTransaction());
}

TEST_F(InactiveProductsTest, FailureRollsBackEveryDelete) {
  // A product still referenced elsewhere cannot go: the second product's delete fails.
  run({"CREATE TABLE PRODLOJA (CDPRODUTO VARCHAR(10) NOT NULL)",
       "ALTER TABLE PRODUTO ADD CONSTRAINT PK_PRODUTO PRIMARY KEY (CDPRODUTO)",
       "ALTER TABLE PRODLOJA ADD CONSTRAINT FK_PRODLOJA FOREIGN KEY (CDPRODUTO) REFERENCES "
       "PRODUTO (CDPRODUTO)",
       "INSERT INTO PRODLOJA VALUES ('X''Y')"});
  EXPECT_ANY_THROW(cleanup.ApagaProdutosInativosFilial());
  EXPECT_FALSE(db->inTransaction());
  EXPECT_EQ(count("SELECT COUNT(*) FROM PRODUTO"), 4);
  EXPECT_EQ(count("SELECT COUNT(*) FROM ITCOMANDAVEN"), 3);
}

TEST_F(CleanupTest, GeneralPriceTablesUnlinkedFromTheBranchLeaveWithTheirRows) {
  run({"CREATE TABLE FILITABGER (CDFILIAL VARCHAR(4), CDTABEPREC VARCHAR(3))",
       "CREATE TABLE TABEPRECGER (CDTABEPREC VARCHAR(3))",
       "CREATE TABLE TABEVENDGER (CDTABEPREC VARCHAR(3))",
       "CREATE TABLE ITEMPRECOGER (CDTABEPREC VARCHAR(3))",
       "CREATE TABLE ITEMPRECODIAGER (CDTABEPREC VARCHAR(3))",
       "INSERT INTO FILITABGER VALUES ('0001', '001')",
       "INSERT INTO FILITABGER VALUES ('0002', '002')"});
  for (const char* table : {"TABEPRECGER", "TABEVENDGER", "ITEMPRECOGER", "ITEMPRECODIAGER"})
    for (const char* code : {"001", "002"})
      db->execute(std::string("INSERT INTO ") + table + " VALUES ('" + code + "')");
  cleanup.cleanGeneralPriceTables();
  for (const char* table : {"TABEPRECGER", "TABEVENDGER", "ITEMPRECOGER", "ITEMPRECODIAGER"})
    EXPECT_EQ(column(std::string("SELECT CDTABEPREC FROM ") + table),
              std::vector<std::string>{"001"})
        << table;
  EXPECT_TRUE(logged("Apagando dados antigos da tabela de preços geral 002.", "3"));
  EXPECT_TRUE(logged("Dados apagados!", "3"));
}

class ScreenConfigurationTest : public CleanupTest {
 protected:
  void SetUp() override {
    run(
        {"CREATE TABLE CONFTELA (CDFILIAL VARCHAR(4), NRCONFTELA VARCHAR(4), DTINIVIGENCIA "
         "DATETIME)",
         "CREATE TABLE ITMENUCONFTE (CDFILIAL VARCHAR(4), NRCONFTELA VARCHAR(4), DTINIVIGENCIA "
         "DATETIME, NRBUTTON INT)",
         "CREATE TABLE CONFTELACAIXA (CDFILIAL VARCHAR(4), NRCONFTELA VARCHAR(4), DTINIVIGENCIA "
         "DATETIME, CDFILICAIXA VARCHAR(4), CDCAIXA VARCHAR(3))"});
  }
  void conf(const char* number, const char* start, int buttons = 1) {
    db->execute("INSERT INTO CONFTELA VALUES ('0001', :N, :D)", {{"N", number}, {"D", start}});
    for (int b = 0; b < buttons; ++b)
      db->execute("INSERT INTO ITMENUCONFTE VALUES ('0001', :N, :D, :B)",
                  {{"N", number}, {"D", start}, {"B", b}});
  }
  void assign(const char* number, const char* start, const char* reg) {
    db->execute("INSERT INTO CONFTELACAIXA VALUES ('0001', :N, :D, '0001', :R)",
                {{"N", number}, {"D", start}, {"R", reg}});
  }
};

TEST_F(ScreenConfigurationTest, SupersededValidityLeavesUnlessStillNewestForAnotherRegister) {
  conf("10", "2026-01-01", 2);  // register 001 moved on to 11; register 002 still uses it
  conf("11", "2026-06-01");     // superseded on 001 by 21 as well
  conf("20", "2026-02-01", 3);  // register 001 moved on to 21; nobody else uses it
  conf("21", "2026-07-01");
  conf("30", "2027-01-01");  // a future validity is no one's past
  assign("10", "2026-01-01", "001");
  assign("11", "2026-06-01", "001");
  assign("10", "2026-01-01", "002");
  assign("20", "2026-02-01", "001");
  assign("21", "2026-07-01", "001");
  assign("30", "2027-01-01", "001");
  cleanup.cleanScreenConfigurations("0001", "001");
  EXPECT_EQ(column("SELECT NRCONFTELA FROM CONFTELA ORDER BY NRCONFTELA"),
            (std::vector<std::string>{"10", "21", "30"}));
  EXPECT_EQ(count("SELECT COUNT(*) FROM ITMENUCONFTE WHERE NRCONFTELA = '20'"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM ITMENUCONFTE WHERE NRCONFTELA = '10'"), 2);
  EXPECT_TRUE(logged("Limpando Configurações de Caixa de acordo com as vigências:", "2"));
  EXPECT_TRUE(logged("-Limpando Configurações de Caixa com vigências vencidas.", "2"));
  EXPECT_FALSE(loggedStarting("-Limpando Configurações de Caixa sem vigência"));
}

TEST_F(ScreenConfigurationTest, ConfigurationWithoutAnyAssignmentLeavesWithItsMenu) {
  conf("10", "2026-01-01", 2);
  conf("99", "2026-01-01", 4);
  assign("10", "2026-01-01", "001");
  cleanup.cleanScreenConfigurations("0001", "001");
  EXPECT_EQ(column("SELECT NRCONFTELA FROM CONFTELA"), std::vector<std::string>{"10"});
  EXPECT_EQ(column("SELECT DISTINCT NRCONFTELA FROM ITMENUCONFTE"), std::vector<std::string>{"10"});
  EXPECT_TRUE(logged("-Limpando Configurações de Caixa sem vigência cadastrada.", "2"));
  EXPECT_FALSE(loggedStarting("-Limpando Configurações de Caixa com vigências"));
}

}  // namespace
}  // namespace load::testing
