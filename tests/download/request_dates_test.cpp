#include "download/ledger/request_dates.h"

#include <gtest/gtest.h>

#include <optional>

#include "download/ledger/control_ledger.h"
#include "ledger_fixture.h"

namespace download::testing {
namespace {

const db::DateTime kNow = db::DateTime::fromParts(2026, 12, 7, 6, 30, 0);

TEST(DataPedido, KindsAndSentinels) {
  EXPECT_EQ(dataPedido(0, 1, db::DateTime::fromParts(2026, 5, 1), kNow), kNow.addDays(1));
  EXPECT_EQ(dataPedido(1, 1, db::Value(), kNow), baseDate());
  EXPECT_EQ(dataPedido(1, 1, db::DateTime(), kNow), baseDate());
  EXPECT_EQ(dataPedido(0, 2, db::Value(), kNow), baseDate());
  EXPECT_EQ(dataPedido(0, 2, db::DateTime::fromParts(2026, 5, 1), kNow),
            db::DateTime::fromParts(2026, 5, 1));
  // Date arithmetic of the engine comes back as days since the zero date.
  EXPECT_EQ(dataPedido(1, 1, db::Value(int64_t{46027}), kNow), db::DateTime::fromParts(2026, 1, 5));
  EXPECT_THROW(dataPedido(1, 3, db::Value(), kNow), std::invalid_argument);

  EXPECT_EQ(pisoSessentaDias(baseDate(), kNow), kNow.addDays(-60));
  EXPECT_EQ(pisoSessentaDias(db::DateTime::fromParts(1980, 1, 1), kNow), kNow.addDays(-60));
  EXPECT_EQ(pisoSessentaDias(baseDate().addMs(1), kNow), baseDate().addMs(1));
}

class GravaCtrlBaixaTab : public LedgerFixture {};

TEST_F(GravaCtrlBaixaTab, InsertsThenMovesTheDateEitherWayKeepingTheBirthDate) {
  const auto first = db::DateTime::fromParts(2026, 3, 1, 10, 0, 0);
  const auto older = db::DateTime::fromParts(2025, 1, 1);
  gravaCtrlBaixaTab(db, "0001", "PRODUTO", "", first);
  const db::Value born = db.scalar("SELECT DTULTATU FROM CTRLBAIXATAB");
  ASSERT_FALSE(born.isNull());
  gravaCtrlBaixaTab(db, "0001", "PRODUTO", "", older);
  EXPECT_EQ(db.count("CTRLBAIXATAB"), 1);
  EXPECT_EQ(db.scalar("SELECT DTULTATUTAB FROM CTRLBAIXATAB").asDateTime(), older);
  EXPECT_EQ(db.scalar("SELECT DTULTATU FROM CTRLBAIXATAB"), born);
}

TEST_F(GravaCtrlBaixaTab, ScreenMenuRowsArePerRegisterOthersPerBranch) {
  const auto d = db::DateTime::fromParts(2026, 3, 1);
  gravaCtrlBaixaTab(db, "0001", "ITMENUCONFTE", "001", d);
  gravaCtrlBaixaTab(db, "0001", "ITMENUCONFTE", "002", d.addDays(1));
  gravaCtrlBaixaTab(db, "0001", "ITEMPRECO", "", d);
  gravaCtrlBaixaTab(db, "0001", "ITEMPRECO", "002", d.addDays(2));
  gravaCtrlBaixaTab(db, "0002", "ITEMPRECO", "", d);
  EXPECT_EQ(db.count("CTRLBAIXATAB WHERE NMTABELA = 'ITMENUCONFTE'"), 2);
  EXPECT_EQ(db.count("CTRLBAIXATAB WHERE NMTABELA = 'ITEMPRECO'"), 2);
  EXPECT_EQ(db.scalar("SELECT DTULTATUTAB FROM CTRLBAIXATAB WHERE CDCAIXA = '001'").asDateTime(),
            d);
  EXPECT_EQ(db.scalar("SELECT DTULTATUTAB FROM CTRLBAIXATAB WHERE NMTABELA = 'ITEMPRECO' AND "
                      "CDFILIAL = '0001'")
                .asDateTime(),
            d.addDays(2));
}

TEST_F(GravaCtrlBaixaTab, CodesHoldingQuotesAreStoredNotExecuted) {
  gravaCtrlBaixaTab(db, "0'1", "PRODUTO", "", db::DateTime::fromParts(2026, 3, 1));
  EXPECT_EQ(db.scalar("SELECT CDFILIAL FROM CTRLBAIXATAB").asText(), "0'1");
}

TEST_F(GravaCtrlBaixaTab, FileLoadDatesAreTheNewestOfTheBranch) {
  EXPECT_TRUE(extractLoadedDate(db).isNull());
  db.execute("CREATE TABLE CLIENFILIAL (CDCLIENTE VARCHAR(10), CDFILIAL VARCHAR(4))");
  db.execute("INSERT INTO CLIENFILIAL (CDCLIENTE, CDFILIAL) VALUES ('1', '0001'), ('2', '0002')");
  db.execute(
      "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, DTULTATUCSUM) VALUES ('1', 'A', "
      "'2026-05-01'), ('2', 'B', '2026-06-01')");
  db.execute("INSERT INTO EXTRATOCONS (NRSEQ, DTULTATUEXT) VALUES (1, '2026-07-01 08:00:00')");
  EXPECT_EQ(consumerLoadedDate(db, "0001").asDateTime(), db::DateTime::fromParts(2026, 5, 1));
  EXPECT_TRUE(consumerLoadedDate(db, "0001' OR '1'='1").isNull());
  EXPECT_EQ(extractLoadedDate(db).asDateTime(), db::DateTime::fromParts(2026, 7, 1, 8, 0, 0));
}

class RequestDates : public LedgerFixture {
 protected:
  // The screen items' emptiness is the table's own unless the preparation recorded otherwise.
  RequestVectors read(const std::string& mode = "TABELAS", bool pendingSales = false,
                      std::optional<bool> menuItemsWereEmpty = std::nullopt) {
    RequestVectors v;
    RequestRun run{"0001",       "001", mode,
                   pendingSales, false, menuItemsWereEmpty.value_or(db.count("ITMENUCONFTE") == 0)};
    readRequestDates(db, run, v, now);
    return v;
  }
  void fillAllTables() {
    for (const char* t : {"ITEMPRECO", "PRODUTO", "ROTFABLOCAL", "ROTFABRICA", "ITEMPRECODIA",
                          "ITEMPRECOGER", "ITEMPRECODIAGER"})
      db.execute(std::string("INSERT INTO ") + t + " (" +
                 (std::string(t).starts_with("ROT") ? "CDROT" : "CDPRODUTO") + ") VALUES ('1')");
    db.execute("INSERT INTO EXTRATOCONS (NRSEQ) VALUES (1)");
  }
  db::DateTime now = db::DateTime::now();
};

TEST_F(RequestDates, UncontrolledOrEmptyTablesAskFromTomorrowAndTheBaseDate) {
  control("ITEMPRECO", db::DateTime::fromParts(2026, 11, 1));  // row, but the table is empty
  auto v = read();
  EXPECT_EQ(v.vDatasControle[0].asDateTime(), now.addDays(1));
  EXPECT_EQ(v.vDatasBase[0].asDateTime(), baseDate());
  EXPECT_EQ(v.vDatasControle[5].asDateTime(), now.addDays(1));
  EXPECT_EQ(v.vDatasBase[109].asDateTime(), baseDate());
  // No control rows: the indicators ask for the whole tables.
  EXPECT_EQ(v.vIndicadores[1], "S");
  EXPECT_EQ(v.vIndicadores[4], "S");
  EXPECT_EQ(v.vIndicadores[5], "S");
}

TEST_F(RequestDates, ControlledTablesUseTheirRecordedDateAndNullMeansTheBaseDate) {
  fillAllTables();
  const auto recorded = db::DateTime::fromParts(2026, 11, 1, 8, 0, 0);
  control("ITEMPRECO", recorded);
  control("PRODUTO", db::Value());
  control("ROTFABRICA", recorded);
  control("MOVBENEFICIOCTR", recorded);
  auto v = read();
  EXPECT_EQ(v.vDatasControle[0].asDateTime(), recorded);
  EXPECT_EQ(v.vDatasBase[0].asDateTime(), recorded);
  EXPECT_EQ(v.vDatasControle[5].asDateTime(), baseDate());
  EXPECT_EQ(v.vDatasBase[5].asDateTime(), baseDate());
  EXPECT_EQ(v.vDatasControle[51].asDateTime(), recorded);
  EXPECT_EQ(v.vIndicadores[4], "N");
  EXPECT_EQ(v.vIndicadores[1], "N");
  EXPECT_EQ(v.vIndicadores[5], "S");
}

TEST_F(RequestDates, ExtractIsAskedFiveDaysEarlierWithASixtyDayFloor) {
  fillAllTables();
  const auto recorded = now.addDays(-20);
  control("EXTRATOCONS", recorded);
  auto v = read();
  EXPECT_EQ(v.vDatasControle[11].asDateTime(), recorded.addDays(-5));
  EXPECT_EQ(v.vDatasBase[11].asDateTime(), recorded.addDays(-5));

  db.execute("DELETE FROM CTRLBAIXATAB");
  v = read();
  EXPECT_EQ(v.vDatasControle[11].asDateTime(), now.addDays(1));
  EXPECT_EQ(v.vDatasBase[11].asDateTime(), now.addDays(-60));

  control("EXTRATOCONS", db::Value());
  v = read();
  EXPECT_EQ(v.vDatasControle[11].asDateTime(), now.addDays(-60));
  EXPECT_EQ(v.vDatasBase[11].asDateTime(), now.addDays(-60));
}

TEST_F(RequestDates, CustomerMovementLooksFurtherBackOnlyForRecentDates) {
  db.execute("INSERT INTO PARAVEND (CDFILIAL, NRDIASVERMOVCLI) VALUES ('0001', 30)");
  control("MOVICLIE", now.addDays(-10));
  auto v = read();
  EXPECT_EQ(v.vDatasBase[12].asDateTime(), now.addDays(-40));
  EXPECT_EQ(v.vDatasControle[12].asDateTime(), now.addDays(-10));

  db.execute("UPDATE CTRLBAIXATAB SET DTULTATUTAB = :P_D", {{"P_D", now.addDays(-200)}});
  v = read();
  EXPECT_EQ(v.vDatasBase[12].asDateTime(), now.addDays(-200));

  // Without a PARAVEND row the floor alone applies.
  db.execute("DELETE FROM PARAVEND");
  db.execute("DELETE FROM CTRLBAIXATAB");
  v = read();
  EXPECT_EQ(v.vDatasBase[12].asDateTime(), now.addDays(-60));
}

TEST_F(RequestDates, ScreenMenuIsPerRegisterAndZeroWhenEmptyInTablesMode) {
  auto v = read("TABELAS");
  EXPECT_EQ(v.vDatasControle[1], db::Value(int64_t{0}));
  EXPECT_EQ(v.vDatasBase[1], db::Value(int64_t{0}));

  const auto mine = db::DateTime::fromParts(2026, 11, 20);
  db.execute("INSERT INTO ITMENUCONFTE (NRCONFTELA, DTULTATUITCT) VALUES ('10', :P_D)",
             {{"P_D", db::DateTime::fromParts(2026, 12, 1)}});
  db.execute("INSERT INTO CAIXA (CDFILIAL, CDCAIXA, DSCAIXATAB) VALUES ('0001', '001', '003')");
  db.execute("INSERT INTO CONFTELACAIXA (NRCONFTELA, CDCAIXA) VALUES ('10', '003')");
  control("ITMENUCONFTE", mine, db::DateTime::fromParts(2026, 1, 1), "001");
  control("ITMENUCONFTE", db::DateTime::fromParts(2020, 1, 1), db::DateTime::fromParts(2026, 1, 1),
          "002");
  v = read("TABELAS");
  EXPECT_EQ(v.vDatasControle[1].asDateTime(), mine);
  EXPECT_EQ(v.vDatasBase[1].asDateTime(), mine);

  // An associated register whose screen items are older pulls the request back.
  db.execute("UPDATE ITMENUCONFTE SET DTULTATUITCT = :P_D",
             {{"P_D", db::DateTime::fromParts(2026, 11, 2)}});
  v = read("EXTRATOCONS");
  EXPECT_EQ(v.vDatasControle[1].asDateTime(), db::DateTime::fromParts(2026, 11, 2));

  // Items the anticipation brought in after the preparation found the table empty do not count:
  // the whole menu is still asked for.
  v = read("TABELAS", false, true);
  EXPECT_EQ(v.vDatasControle[1], db::Value(int64_t{0}));
  EXPECT_EQ(v.vDatasBase[1], db::Value(int64_t{0}));
}

TEST_F(RequestDates, UncontrolledConsumersLoadWholeUnlessSalesNameThem) {
  auto v = read();
  EXPECT_EQ(v.vIndicadores[0], "S");
  EXPECT_EQ(v.vDatasControle[4].asDateTime(), now.addDays(1));

  db.execute("INSERT INTO VENDAREST (NRVENDA, CDCONSUMIDOR) VALUES (1, 'C1')");
  v = read();
  EXPECT_EQ(v.vIndicadores[0], "N");
  EXPECT_EQ(v.vDatasControle[4].asDateTime(), now.date().addDays(-90));
  EXPECT_EQ(v.vDatasBase[4].asDateTime(), now.date().addDays(-90));

  // Pending sales leave the slot as read.
  v = read("TABELAS", true);
  EXPECT_EQ(v.vIndicadores[0], "N");
  EXPECT_EQ(v.vDatasControle[4].asDateTime(), now.addDays(1));

  control("CONSUMIDOR", db::DateTime::fromParts(2026, 10, 1));
  db.execute("DELETE FROM VENDAREST");
  v = read();
  EXPECT_EQ(v.vIndicadores[0], "N");
  EXPECT_EQ(v.vDatasBase[4].asDateTime(), db::DateTime::fromParts(2026, 10, 1));
}

TEST_F(RequestDates, ShortVectorsAreRefused) {
  RequestVectors v;
  v.vDatasBase.resize(10);
  EXPECT_THROW(readRequestDates(db, RequestRun{"0001", "001", "TABELAS"}, v, now),
               std::invalid_argument);
}

}  // namespace
}  // namespace download::testing
