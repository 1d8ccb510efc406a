#include <gtest/gtest.h>

#include "delete_cache_fixture.h"

namespace load::testing {
namespace {

TEST_F(DeleteCacheFixture, RowsDeletedCentrallyAfterTheirLastUpdateLeave) {
  product("DELETED", at(2026, 3, 1));
  product("RECREATED", at(2026, 5, 1));
  product("UNTOUCHED", at(2026, 1, 1));
  cache("cdsCacheProd", {{"CDPRODUTO=DELETED;", at(2026, 4, 1)},
                         {"CDPRODUTO=RECREATED;", at(2026, 4, 2)},
                         {"CDPRODUTO=NEVERHERE;", at(2026, 4, 3, 9, 30)}});

  deleteCache.runDeleteCache("0001", "001", true);

  EXPECT_EQ(column("SELECT CDPRODUTO FROM PRODUTO ORDER BY CDPRODUTO"),
            (std::vector<std::string>{"RECREATED", "UNTOUCHED"}));
  // The row missing locally still counts: the newest deletion time stamps the table when the
  // table's own newest date is older, and the ledger records it.
  EXPECT_EQ(scalar("SELECT MAX(DTULTATUPROD) FROM PRODUTO").asDateTime(), at(2026, 5, 1));
  EXPECT_EQ(ledgerDate("PRODUTO"), db::Value(at(2026, 4, 3, 9, 30)));
  EXPECT_TRUE(logged("INICIO DELETE CACHE", "1"));
  EXPECT_TRUE(logged("FIM DELETE CACHE PRODUTO", "1"));
  EXPECT_TRUE(logged("FIM DELETE CACHE", "1"));
  EXPECT_TRUE(state.dataset("cdsCacheProd").isEmpty());
}

TEST_F(DeleteCacheFixture, StampMovesEveryRowWhenTheTableIsOlderThanTheNewestDeletion) {
  product("A", at(2026, 1, 1));
  product("B", at(2026, 2, 1));
  cache("cdsCacheCli", {{"CDCLIENTE=GONE;", at(2026, 6, 1)}});
  run({"INSERT INTO CLIENTE VALUES ('C1', '2026-01-01')",
       "INSERT INTO CLIENTE VALUES ('C2', '2026-02-01')"});
  deleteCache.runDeleteCache("0001", "001", true);
  EXPECT_EQ(count("SELECT COUNT(*) FROM CLIENTE WHERE DTULTATUCLIE = '2026-06-01'"), 2);
  // CLIENTE has a stamp but no ledger mark.
  EXPECT_TRUE(ledgerDate("CLIENTE").isNull());
}

TEST_F(DeleteCacheFixture, KeyHoldingAQuoteDeletesThatRowAndNothingElse) {
  product("A'B", at(2026, 1, 1));
  product("A", at(2026, 1, 1));
  product("B", at(2026, 1, 1));
  product("X' OR '1'='1", at(2026, 1, 1));
  cache("cdsCacheProd",
        {{"CDPRODUTO=A'B;", at(2026, 2, 1)}, {"CDPRODUTO=' OR '1'='1;", at(2026, 2, 1)}});
  deleteCache.runDeleteCache("0001", "001", true);
  EXPECT_EQ(column("SELECT CDPRODUTO FROM PRODUTO ORDER BY CDPRODUTO"),
            (std::vector<std::string>{"A", "B", "X' OR '1'='1"}));
}

TEST_F(DeleteCacheFixture, DateKeysMatchInEachComparedForm) {
  run({"INSERT INTO TABEVEND VALUES ('0001', '001', '2026-01-05 00:00:00', '2026-01-01')",
       "INSERT INTO TABEVEND VALUES ('0001', '001', '2026-02-05 00:00:00', '2026-01-01')",
       "INSERT INTO ITEMPRECO VALUES ('0001', '001', '2026-01-05', 'P1', 'P1', '2026-01-01')",
       "INSERT INTO ITEMPRECO VALUES ('0001', '001', '2026-02-05', 'P1', 'P1', '2026-01-01')",
       "INSERT INTO ITEMPRECODIA VALUES ('0001', '001', '2026-01-05 10:00:00', 'P1', 'P1', 2, "
       "'10:00', '01', '2026-01-01')",
       "INSERT INTO ITEMPRECODIA VALUES ('0001', '001', '2026-01-05 11:00:00', 'P1', 'P1', 2, "
       "'10:00', '01', '2026-01-01')"});
  // TABEVEND through style 120 with a compact key, ITEMPRECO through style 103 with a day-first
  // key, ITEMPRECODIA directly against the date column with a compact key.
  cache("cdsCacheTABEVEND",
        {{"CDFILIAL=0001;CDTABEPREC=001;DTINIVGPREC=20260105000000;", at(2026, 3, 1)}});
  cache("cdsCacheItPrec", {{"CDFILIAL=0001;CDTABEPREC=001;DTINIVGPREC=05/01/2026;CDPRODUTO=P1;"
                            "CDPRPAITABPR=P1;",
                            at(2026, 3, 1)}});
  cache("cdsCacheITEMPRECODIA",
        {{"CDFILIAL=0001;CDTABEPREC=001;DTINIVGPREC=20260105100000;CDPRODUTO=P1;CDPRPAITABPR=P1;"
          "NRDIASEMANPR=2;HRINIPRECDIA=10:00;CDTIPOCONSPD=01;",
          at(2026, 3, 1)}});
  deleteCache.runDeleteCache("0001", "001", true);
  EXPECT_EQ(column("SELECT CONVERT(VARCHAR, DTINIVGPREC, 103) FROM TABEVEND"),
            std::vector<std::string>{"05/02/2026"});
  EXPECT_EQ(column("SELECT CONVERT(VARCHAR, DTINIVGPREC, 103) FROM ITEMPRECO"),
            std::vector<std::string>{"05/02/2026"});
  EXPECT_EQ(column("SELECT CONVERT(VARCHAR, DTINIVGPREC, 108) FROM ITEMPRECODIA"),
            std::vector<std::string>{"11:00:00"});
  EXPECT_EQ(ledgerDate("ITEMPRECODIA"), db::Value(at(2026, 3, 1)));
  EXPECT_FALSE(loggedStarting("ERRO Except"));
}

TEST_F(DeleteCacheFixture, ScreenMenuLedgerIsRecordedForTheRegister) {
  screenButtonDeletedCentrally();
  deleteCache.runDeleteCache("0001", "007", true);
  EXPECT_EQ(count("SELECT COUNT(*) FROM ITMENUCONFTE"), 0);
  EXPECT_EQ(ledgerDate("ITMENUCONFTE", "007"), db::Value(at(2026, 2, 1)));
}

TEST_F(DeleteCacheFixture, EmptyCacheOrEmptyTableChangesNothing) {
  product("A", at(2026, 1, 1));
  cache("cdsCacheProd", {});
  cache("cdsCacheCli", {{"CDCLIENTE=C1;", at(2026, 2, 1)}});  // CLIENTE is empty
  deleteCache.runDeleteCache("0001", "001", true);
  EXPECT_EQ(scalar("SELECT DTULTATUPROD FROM PRODUTO").asDateTime(), at(2026, 1, 1));
  EXPECT_TRUE(ledgerDate("PRODUTO").isNull());
  EXPECT_EQ(count("SELECT COUNT(*) FROM CTRLBAIXATAB"), 0);
  EXPECT_TRUE(logged("FIM DELETE CACHE CLIENTE", "1"));
}

TEST_F(DeleteCacheFixture, TableEmptiedMidwayStopsItsPass) {
  product("A", at(2026, 1, 1));
  cache("cdsCacheProd", {{"CDPRODUTO=A;", at(2026, 2, 1)}, {"CDPRODUTO=B;", at(2026, 9, 1)}});
  deleteCache.runDeleteCache("0001", "001", true);
  EXPECT_EQ(count("SELECT COUNT(*) FROM PRODUTO"), 0);
  // The row after the emptying was never looked at.
  EXPECT_EQ(ledgerDate("PRODUTO"), db::Value(at(2026, 2, 1)));
}

TEST_F(DeleteCacheFixture, MalformedKeysSkipTheirRowAndBadTablesStopOnlyThemselves) {
  product("A", at(2026, 1, 1));
  product("B", at(2026, 1, 1));
  run({"INSERT INTO CLIENTE VALUES ('C1', '2026-01-01')",
       "INSERT INTO CLIENTE VALUES ('C2', '2026-01-01')",
       "INSERT INTO ITEMPRECODIA VALUES ('0001', '001', '2026-01-05', 'P1', 'P1', 2, '10:00', "
       "'01', '2026-01-01')"});
  // PRODUTO: the malformed second row is skipped; the rows around it are applied.
  cache("cdsCacheProd", {{"CDPRODUTO=A;", at(2026, 2, 1)},
                         {"CDPRODUTO=B", at(2026, 2, 1)},
                         {"CDPRODUTO=B;", at(2026, 2, 1)}});
  // CLIENTE: a key naming another column.
  cache("cdsCacheCli", {{"CDPRODUTO=C1;", at(2026, 2, 1)}});
  // ITEMPRECODIA: a date key that is no date fails the statement, and so the table's pass.
  cache("cdsCacheITEMPRECODIA",
        {{"CDFILIAL=0001;CDTABEPREC=001;DTINIVGPREC=2026-99-99;CDPRODUTO=P1;CDPRPAITABPR=P1;"
          "NRDIASEMANPR=2;HRINIPRECDIA=10:00;CDTIPOCONSPD=01;",
          at(2026, 3, 1)}});
  // TABEVEND: no deletion time at all.
  run({"INSERT INTO TABEVEND VALUES ('0001', '001', '2026-01-05', '2026-01-01')"});
  cache("cdsCacheTABEVEND", {{"CDFILIAL=0001;CDTABEPREC=001;DTINIVGPREC=20260105000000;", {}}},
        false);
  // A good table after all of them is still processed.
  screenButtonDeletedCentrally();

  deleteCache.runDeleteCache("0001", "001", true);

  EXPECT_EQ(count("SELECT COUNT(*) FROM PRODUTO"), 0);
  EXPECT_TRUE(logged("FIM DELETE CACHE PRODUTO", "1"));
  EXPECT_EQ(count("SELECT COUNT(*) FROM CLIENTE"), 2);
  EXPECT_EQ(count("SELECT COUNT(*) FROM ITEMPRECODIA"), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM TABEVEND"), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM ITMENUCONFTE"), 0);
  // A failed pass applies no stamp and records no ledger date; a skipped row moves nothing.
  EXPECT_EQ(
      count("SELECT COUNT(*) FROM CTRLBAIXATAB WHERE NMTABELA IN ('ITEMPRECODIA', 'TABEVEND')"), 0);
  EXPECT_EQ(scalar("SELECT MAX(DTULTATUCLIE) FROM CLIENTE").asDateTime(), at(2026, 1, 1));
  size_t errors = 0, skipped = 0;
  for (const auto& line : lines) {
    errors += line.text.starts_with("ERRO Except: ") && line.level == "2";
    skipped += line.text.find(" - linha ignorada: chave da cache inválida") != std::string::npos &&
               line.level == "2";
  }
  EXPECT_EQ(errors, 2u);
  EXPECT_EQ(skipped, 2u);
  EXPECT_TRUE(loggedStarting("DELETE CACHE PRODUTO - linha ignorada: "));
  EXPECT_TRUE(loggedStarting("DELETE CACHE CLIENTE - linha ignorada: "));
  EXPECT_TRUE(logged("FIM DELETE CACHE ITMENUCONFTE", "1"));
  EXPECT_TRUE(logged("FIM DELETE CACHE", "1"));
  EXPECT_FALSE(db->inTransaction());
  EXPECT_TRUE(state.dataset("cdsCacheProd").isEmpty());
}

TEST_F(DeleteCacheFixture, DeletesExecutedBeforeAnErrorStayWhenTheEngineRollsBack) {
  run(
      {"INSERT INTO ITEMPRECODIA VALUES ('0001', '001', '2026-01-05', 'P1', 'P1', 2, '10:00', "
       "'01', '2026-01-01')",
       "INSERT INTO ITEMPRECODIA VALUES ('0001', '001', '2026-01-05', 'P2', 'P2', 2, '10:00', "
       "'01', '2026-01-01')"});
  const std::string tail = ";NRDIASEMANPR=2;HRINIPRECDIA=10:00;CDTIPOCONSPD=01;";
  cache("cdsCacheITEMPRECODIA",
        {{"CDFILIAL=0001;CDTABEPREC=001;DTINIVGPREC=20260105000000;CDPRODUTO=P1;CDPRPAITABPR=P1" +
              tail,
          at(2026, 3, 1)},
         {"CDFILIAL=0001;CDTABEPREC=001;DTINIVGPREC=2026-99-99;CDPRODUTO=P2;CDPRPAITABPR=P2" + tail,
          at(2026, 3, 1)}});
  BatchAbortingConnection sqlServerLike(*db);
  DeleteCache onSqlServer(sqlServerLike, services, state, [] {});

  onSqlServer.runDeleteCache("0001", "001", true);

  EXPECT_EQ(sqlServerLike.aborts, 1);
  EXPECT_TRUE(loggedStarting("ERRO Except: "));
  EXPECT_EQ(column("SELECT CDPRODUTO FROM ITEMPRECODIA"), std::vector<std::string>{"P2"});
  EXPECT_FALSE(db->inTransaction());
}

TEST_F(DeleteCacheFixture, WithoutProcessingOnlyTheConsumerCacheIsEmptied) {
  product("A", at(2026, 1, 1));
  cache("cdsCacheProd", {{"CDPRODUTO=A;", at(2026, 2, 1)}});
  cache("cdsCacheCons", {{"CDCLIENTE=1;CDCONSUMIDOR=2;", at(2026, 2, 1)}});
  deleteCache.runDeleteCache("0001", "001", false);
  EXPECT_EQ(count("SELECT COUNT(*) FROM PRODUTO"), 1);
  EXPECT_EQ(state.dataset("cdsCacheProd").recordCount(), 1u);
  EXPECT_TRUE(state.dataset("cdsCacheCons").isEmpty());
  EXPECT_TRUE(logged("FIM DELETE CACHE", "1"));
  EXPECT_FALSE(logged("DELETE CACHE PRODUTOSEG (Download)...", "3"));
}

TEST_F(DeleteCacheFixture, BranchWithoutMarketSegmentSkipsProdutoSeg) {
  deleteCache.runDeleteCache("0001", "001", true);
  EXPECT_EQ(imageLoads, 0);
  EXPECT_TRUE(logged("DELETE CACHE PRODUTOSEG (Download)...", "3"));
  EXPECT_TRUE(
      logged("Filial não usa segmento de mercado, DELETECACHE da PRODUTOSEG ignorada...", "3"));
  EXPECT_FALSE(logged("FIM DELETE CACHE PRODUTOSEG", "1"));
}

TEST_F(DeleteCacheFixture, BranchWithMarketSegmentLoadsTheImageAndStampsProdutoSeg) {
  run({"UPDATE FILIAL SET CDSEGMER = '01'",
       "CREATE TABLE PRODUTOSEG (CDSEGMER VARCHAR(4), CDPRODUTO VARCHAR(20), DTULTATUPSEG "
       "DATETIME)",
       "INSERT INTO PRODUTOSEG VALUES ('01', 'A', '2026-01-01')",
       "CREATE TABLE DELCACHEPRODUTOSEG (CDSEGMER VARCHAR(4), CDPRODUTO VARCHAR(20), "
       "DTULTATUPSEG DATETIME, DTULTATUCACH DATETIME)",
       "INSERT INTO DELCACHEPRODUTOSEG VALUES ('01', 'Z', NULL, '2026-04-01')"});
  deleteCache.runDeleteCache("0001", "001", true);
  EXPECT_EQ(imageLoads, 1);
  EXPECT_EQ(scalar("SELECT DTULTATUPSEG FROM PRODUTOSEG").asDateTime(), at(2026, 4, 1));
  EXPECT_TRUE(logged("FIM DELETE CACHE PRODUTOSEG", "1"));
}

TEST_F(DeleteCacheFixture, FullWipeEmptiesTheCachesOfTheWipedTables) {
  cache("cdsCacheProd", {{"CDPRODUTO=A;", at(2026, 2, 1)}});
  cache("cdsCacheCli", {{"CDCLIENTE=A;", at(2026, 2, 1)}});
  deleteCache.emptyCacheImagesOf({"PRODUTO", "NOSUCHTABLE"});
  EXPECT_TRUE(state.dataset("cdsCacheProd").isEmpty());
  EXPECT_EQ(state.dataset("cdsCacheCli").recordCount(), 1u);
}

}  // namespace
}  // namespace load::testing
