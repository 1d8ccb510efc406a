#include <gtest/gtest.h>

#include "download/component_error.h"
#include "download/ledger/date_columns.h"
#include "download/ledger/date_sync.h"
#include "download/ledger/hygiene.h"
#include "download/ledger/update_ledger.h"
#include "ledger_fixture.h"

namespace download::testing {
namespace {

class Hygiene : public LedgerFixture {
 protected:
  LedgerHygiene hygiene{db, log.services};
};

TEST_F(Hygiene, RowsWithoutBirthDateAreDroppedButConsumerRowsAreStamped) {
  control("CONSUMIDOR", db::DateTime::fromParts(2026, 10, 1), db::Value());
  control("ITEMPRECO", db::DateTime::fromParts(2026, 10, 1), db::Value());
  control("ITMENUCONFTE", db::DateTime::fromParts(2026, 10, 1), db::Value(), "001");
  control("ITMENUCONFTE", db::DateTime::fromParts(2026, 10, 1), db::Value(), "002");
  control("PRODUTO", db::DateTime::fromParts(2026, 10, 1));
  db.execute("INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR) VALUES ('1', 'C1')");

  hygiene.checaCtrlBaixaTab("001", false, false);

  EXPECT_EQ(db.count("CTRLBAIXATAB WHERE NMTABELA = 'CONSUMIDOR' AND DTULTATU IS NOT NULL"), 1);
  EXPECT_EQ(db.count("CTRLBAIXATAB WHERE NMTABELA = 'ITEMPRECO'"), 0);
  EXPECT_EQ(db.scalar("SELECT CDCAIXA FROM CTRLBAIXATAB WHERE NMTABELA = 'ITMENUCONFTE'").asText(),
            "002");
  EXPECT_EQ(db.count("CTRLBAIXATAB WHERE NMTABELA = 'PRODUTO'"), 1);
  EXPECT_EQ(db.count("CONSUMIDOR"), 1);  // controlled, so kept
  EXPECT_TRUE(log.logged("Limpeza da tabela CTRLBAIXATAB para a tabela ITEMPRECO."));
  EXPECT_TRUE(log.logged("Fim da checagem"));
}

TEST_F(Hygiene, UncontrolledConsumerAndExtractTablesAreEmptiedUnlessSalesNameConsumers) {
  db.execute("INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR) VALUES ('1', 'C1')");
  db.execute("INSERT INTO EXTRATOCONS (NRSEQ) VALUES (1)");
  hygiene.checaCtrlBaixaTab("001", false, false);
  EXPECT_EQ(db.count("CONSUMIDOR"), 0);
  EXPECT_EQ(db.count("EXTRATOCONS"), 0);
  EXPECT_TRUE(
      log.logged("Limpeza da tabela CONSUMIDOR por não estar controlada pela CTRLBAIXATAB."));
  EXPECT_EQ(log.waits, 2);

  db.execute("INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR) VALUES ('1', 'C1')");
  db.execute("INSERT INTO VENDAREST (NRVENDA, CDCONSUMIDOR) VALUES (1, 'C1')");
  hygiene.checaCtrlBaixaTab("001", false, false);
  EXPECT_EQ(db.count("CONSUMIDOR"), 1);
  EXPECT_TRUE(log.logged("Existem registros relacionados. A tabela será atualizada em 90 dias."));
}

TEST_F(Hygiene, PendingExportsWithoutConsumerControlWarnAndEmptyNothing) {
  db.execute("INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR) VALUES ('1', 'C1')");
  db.execute("INSERT INTO EXTRATOCONS (NRSEQ) VALUES (1)");
  hygiene.checaCtrlBaixaTab("001", true, false);
  EXPECT_TRUE(log.logged("******* ATENÇÃO! ********"));
  EXPECT_TRUE(log.logged("PARA O ORACLE! (EXTRATOCONS OU VENDAS)"));
  EXPECT_EQ(db.count("CONSUMIDOR"), 1);
  EXPECT_EQ(db.count("EXTRATOCONS"), 1);
}

TEST_F(Hygiene, AFailingTableIsLoggedAndThePassGoesOn) {
  db.execute("DROP TABLE EXTRATOCONS");
  hygiene.checaCtrlBaixaTab("001", false, false);
  EXPECT_TRUE(log.loggedStarting("Exceção na checagem da CTRLBAIXATAB: "));
  EXPECT_TRUE(log.logged("Fim da checagem"));
}

class UpdateLedgerTest : public LedgerFixture {
 protected:
  void SetUp() override {
    LedgerFixture::SetUp();
    db.execute("CREATE TABLE TABEPRECGER (CDTABE VARCHAR(4))");
    db.execute("CREATE TABLE TABEVENDGER (CDTABE VARCHAR(4))");
    db.execute("DROP TABLE ITEMPRECOGER");
  }
  void row(const std::string& table, const std::string& key, db::DateTime d) {
    db.execute("INSERT INTO CTRLATUALTAB (NMTABELA, DSCHAVE, DTULTATU) VALUES (:A, :B, :C)",
               {{"A", table}, {"B", key}, {"C", d}});
  }
  UpdateLedger ledger{db, log.services};
};

TEST_F(UpdateLedgerTest, DateByKeyPatternHierarchyRowsOrTheWholeTable) {
  row("TABEPRECGER", "0001|A", db::DateTime::fromParts(2026, 1, 1));
  row("TABEPRECGER", "0002|B", db::DateTime::fromParts(2026, 3, 1));
  row("TABEPRECGER", "INSERIDO PELA HIERARQUIA", db::DateTime::fromParts(2026, 2, 1));
  EXPECT_EQ(ledger.dataCtrlAtualTab("TABEPRECGER", "").asDateTime(),
            db::DateTime::fromParts(2026, 3, 1));
  EXPECT_EQ(ledger.dataCtrlAtualTab("TABEPRECGER", "0001%").asDateTime(),
            db::DateTime::fromParts(2026, 2, 1));
  EXPECT_TRUE(ledger.dataCtrlAtualTab("OUTRA", "").isNull());
  EXPECT_TRUE(ledger.dataCtrlAtualTab("TABEPRECGER' OR '1'='1", "").isNull());
}

TEST_F(UpdateLedgerTest, MergesReceivedRowsAndPropagatesToExistingChildren) {
  row("FILITABGER", "K1", db::DateTime::fromParts(2025, 1, 1));
  row("TABEVENDGER", "other", db::DateTime::fromParts(2025, 1, 1));
  ReceivedRows received{{"NMTABELA", "DSCHAVE", "DTULTATU", "NRORG", "CENTRALONLY"},
                        {{"FILITABGER", "K1", db::DateTime::fromParts(2026, 5, 1), "7", 1},
                         {"FILITABGER", "K2", db::DateTime::fromParts(2026, 4, 1), "7", 2}}};
  ledger.gravaCtrlAtualTab("FILITABGER", "PRECO", received);

  EXPECT_EQ(db.count("CTRLATUALTAB WHERE NMTABELA = 'FILITABGER'"), 2);
  EXPECT_EQ(db.scalar("SELECT NRORG FROM CTRLATUALTAB WHERE DSCHAVE = 'K1'").asText(), "7");
  EXPECT_EQ(db.scalar("SELECT DTULTATU FROM CTRLATUALTAB WHERE DSCHAVE = 'K1'").asDateTime(),
            db::DateTime::fromParts(2026, 5, 1));
  // TABEPRECGER gets a hierarchy row; TABEVENDGER's existing rows all take the date; the
  // children that do not exist locally get nothing.
  EXPECT_EQ(db.scalar("SELECT DTULTATU FROM CTRLATUALTAB WHERE NMTABELA = 'TABEPRECGER' AND "
                      "DSCHAVE = 'INSERIDO PELA HIERARQUIA'")
                .asDateTime(),
            db::DateTime::fromParts(2026, 5, 1));
  EXPECT_EQ(
      db.scalar("SELECT DTULTATU FROM CTRLATUALTAB WHERE NMTABELA = 'TABEVENDGER'").asDateTime(),
      db::DateTime::fromParts(2026, 5, 1));
  EXPECT_EQ(db.count("CTRLATUALTAB WHERE NMTABELA = 'ITEMPRECOGER'"), 0);
  EXPECT_EQ(db.commits, 1);
}

TEST_F(UpdateLedgerTest, AFailedMergeRollsBackAndNamesItsComponent) {
  ReceivedRows received{{"NMTABELA", "DSCHAVE", "DTULTATU"},
                        {{"FILITABGER", "K1", db::DateTime::fromParts(2026, 5, 1)},
                         {"FILITABGER", "K2", "not a date"}}};
  try {
    ledger.gravaCtrlAtualTab("FILITABGER", "PRECO", received);
    FAIL() << "no error";
  } catch (const ComponentError& e) {
    EXPECT_EQ(e.component(), "adqCtrlAtualTab");
  }
  EXPECT_EQ(db.count("CTRLATUALTAB"), 0);
  EXPECT_FALSE(db.inTransaction());
}

TEST_F(UpdateLedgerTest, OldDatesAreTrimmedToTheNewestPerTable) {
  row("FILITABGER", "K1", db::DateTime::fromParts(2026, 1, 1));
  row("FILITABGER", "K2", db::DateTime::fromParts(2026, 2, 1));
  row("FILITABGER", "K3", db::DateTime::fromParts(2026, 2, 1));
  row("CONFTELA", "K1", db::DateTime::fromParts(2025, 2, 1));
  ledger.limpaDatasAntigas();
  EXPECT_EQ(db.count("CTRLATUALTAB"), 3);
  EXPECT_EQ(db.count("CTRLATUALTAB WHERE DSCHAVE = 'K1' AND NMTABELA = 'FILITABGER'"), 0);
  EXPECT_TRUE(log.logged("Limpeza realizada com sucesso!"));

  db.execute("DROP TABLE CTRLATUALTAB");
  ledger.limpaDatasAntigas();
  EXPECT_TRUE(log.loggedStarting("Exceção na limpeza de datas antigas! Exceção: "));
}

TEST_F(LedgerFixture, DateColumnsMoveForwardOnlyWhenOlder) {
  DateColumns columns(db);
  EXPECT_TRUE(columns.tabelaVazia("PRODUTO"));
  EXPECT_TRUE(columns.columnMax("PRODUTO", "DTULTATUPROD").isNull());
  db.execute("INSERT INTO PRODUTO (CDPRODUTO, DTULTATUPROD) VALUES ('1', '2026-01-01')");
  db.execute("INSERT INTO PRODUTO (CDPRODUTO, DTULTATUPROD) VALUES ('2', '2026-02-01')");
  EXPECT_FALSE(columns.tabelaVazia("PRODUTO"));

  columns.avancaDataTabela("PRODUTO", "DTULTATUPROD", db::DateTime::fromParts(2026, 1, 15));
  EXPECT_EQ(db.count("PRODUTO WHERE DTULTATUPROD = '2026-02-01'"), 1);
  columns.avancaDataTabela("PRODUTO", "DTULTATUPROD", db::DateTime::fromParts(2026, 3, 1));
  EXPECT_EQ(db.count("PRODUTO WHERE DTULTATUPROD = '2026-03-01'"), 2);

  db.execute("CREATE TABLE CACHEPRODUTO (DTULTATUCACH DATETIME)");
  db.execute("INSERT INTO CACHEPRODUTO (DTULTATUCACH) VALUES ('2026-04-01')");
  columns.avancaDataPelaCache("CACHEPRODUTO", "PRODUTO", "DTULTATUPROD");
  EXPECT_EQ(columns.columnMax("PRODUTO", "DTULTATUPROD").asDateTime(),
            db::DateTime::fromParts(2026, 4, 1));

  EXPECT_THROW(columns.tabelaVazia("PRODUTO; DROP TABLE PRODUTO"), std::invalid_argument);
}

// The anticipated CLIENFILIAL catch-up reads its newest date through columnMax: the text must
// stay the statement that catch-up has always sent.
TEST_F(LedgerFixture, ColumnMaxSendsTheClienFilialCatchUpStatement) {
  db.execute("CREATE TABLE CLIENFILIAL (DTULTATUCLIF DATETIME)");
  db.failOn = "CLIENFILIAL";
  try {
    DateColumns(db).columnMax("CLIENFILIAL", "DTULTATUCLIF");
    ADD_FAILURE() << "the statement was not refused";
  } catch (const db::Error& e) {
    EXPECT_EQ(e.statement(), "SELECT MAX(DTULTATUCLIF) AS DTULTATU FROM CLIENFILIAL");
  }
}

TEST_F(LedgerFixture, DateSyncLogsDifferencesAndSurvivesServerFailures) {
  db.execute("CREATE TABLE DESGRUPROMOCPR (DTULTATUDESPR DATETIME)");
  db.execute("INSERT INTO ITEMPRECO (CDPRODUTO, DTULTATUITPR) VALUES ('1', '2026-12-01 10:00:00')");
  db.execute("INSERT INTO ITEMPRECODIA (CDPRODUTO, DTULTATUITPD) VALUES ('1', '2026-12-01')");
  FakeAppServer server;
  server.handlers["getDtMaxItemPreco"] = [](auto& args) {
    EXPECT_EQ(args.at(0).asText(), "0001");
    return db::Value(db::DateTime::fromParts(2026, 12, 1, 10, 0, 0));
  };
  server.handlers["getDtMaxItemPrecoDia"] = [](auto&) {
    return db::Value(db::DateTime::fromParts(2026, 12, 2));
  };
  server.handlers["getDtMaxDESGRUPROMOCPR"] = [](auto& args) {
    EXPECT_TRUE(args.empty());
    return db::Value();
  };
  sincronizaDatas(db, server, log.services, "0001", "001");

  EXPECT_TRUE(log.logged("MSDE: 01/12/2026 10:00:00"));
  EXPECT_TRUE(log.logged("Oracle: 02/12/2026 00:00:00"));
  EXPECT_EQ(log.countStarting("****************** ATENCAO"), 1);
  EXPECT_TRUE(log.logged("Parâmetros getDtMaxItemPrecoDia: FILIAL->0001"));
  EXPECT_TRUE(log.loggedStarting("Exceção na sincronização de datas: "));  // ITMENUCONFTE
  EXPECT_EQ(log.countStarting("----------------------"), 5);
}

}  // namespace
}  // namespace download::testing
