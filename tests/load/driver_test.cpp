#include <fstream>

#include "load/load_driver.h"
#include "load/staging.h"
#include "load_fixture.h"
#include "support/recording_stages.h"

namespace load::testing {
namespace {

class DriverTest : public LoadTest {
 protected:
  DriverTest() { state.vectors.vIndicadores = std::vector<std::string>(9, "N"); }

  bool runLoad(const std::string& mode = "TABELAS", bool validate = false) {
    LoadDriver driver(conn, state, env,
                      LoadParts{keepAlive, server, files, mirror, cleanup, deleteCache});
    const bool result = driver.ChamaInsereMSDE({"0001", "001", mode, validate, "145"}, sales);
    lastError = driver.lastError();
    return result;
  }
  void writeWipeOrder(const std::string& firstLine) {
    std::ofstream(stagingDirectory(dir) / "P_DTDELETECACHE.cds") << firstLine << "\n";
  }

  FakeFiles files;
  CentralMirror mirror;
  testing_support::RecordingCleanup cleanup;
  testing_support::RecordingDeleteCache deleteCache;
  std::vector<db::Value> sales = std::vector<db::Value>(9);
  std::string lastError;
};

TEST_F(DriverTest, LoadsTheSequenceThroughStagingAndRunsTheStagesAfterIt) {
  downloadTable("cdsSala", "SALA", {{{"CDFILIAL", "0001"}, {"CDSALA", "01"}, {"DSSALA", "Salão"}}});
  downloadTable("cdsCampanha", "CAMPANHA", {{{"CDCAMPANHA", "K1"}}});
  localRow("CAMPANHA", {{"CDCAMPANHA", "OLD"}});
  localRow("PARAMGERAL", {{"CDPARGERAL", "1"}, {"IDATUPRODATIVFI", "N"}});
  localRow("PRODFILI", {{"CDFILIAL", "0001"}, {"CDPRODUTO", "P1"}});
  downloadTable("cdsProdFili", "PRODFILI", {{{"CDFILIAL", "0001"}, {"CDPRODUTO", "P2"}}});
  localRow("PRODBLOQVNDTAA", {{"CDFILIAL", "0001"}, {"CDPRODUTO", "LOCAL"}});
  downloadTable("cdsPRODBLOQVNDTAA", "PRODBLOQVNDTAA",
                {{{"CDFILIAL", "0001"}, {"CDPRODUTO", "BAIXADO"}}});
  localRow("TOTALDIACAIXA", {{"CDFILIAL", "0001"},
                             {"CDCAIXA", "001"},
                             {"DTMOVTOTDIA", db::DateTime::fromParts(2026, 1, 1)},
                             {"IDIMPTOTDIACAIXA", "N"}});
  localRow("TOTALDIACAIXA", {{"CDFILIAL", "0001"},
                             {"CDCAIXA", "001"},
                             {"DTMOVTOTDIA", db::DateTime::fromParts(2026, 1, 2)},
                             {"IDIMPTOTDIACAIXA", "S"}});

  EXPECT_TRUE(runLoad());
  EXPECT_EQ(textOf("SELECT DSSALA FROM SALA"), "Salão");
  EXPECT_EQ(textOf("SELECT CDCAMPANHA FROM CAMPANHA"), "K1");
  EXPECT_EQ(conn.count("PRODFILI"), 0);  // IDATUPRODATIVFI 'N': emptied, not merged
  EXPECT_EQ(textOf("SELECT CDPRODUTO FROM PRODBLOQVNDTAA"), "LOCAL");
  EXPECT_EQ(conn.count("TOTALDIACAIXA"), 1);
  EXPECT_EQ(deleteCache.calls, std::vector<std::string>{"runDeleteCache 0001 001 process"});
  EXPECT_EQ(cleanup.calls,
            (std::vector<std::string>{"ApagaRotFabricaVencida", "ApagaGruPromocVencido",
                                      "InativaOperadores"}));
  EXPECT_TRUE(std::filesystem::is_empty(dir / "Dados" / "Tabelas_Kiv"));
  EXPECT_LT(logIndex("Inserindo dados da Importação na Tabela: SALA"), logIndex("FIM DELETE"));
  EXPECT_TRUE(logged("Inserindo dados da Importação na Tabela: TABEPRE"));
  EXPECT_FALSE(runFailed);
  EXPECT_TRUE(errors.empty());
}

TEST_F(DriverTest, FailedMergeNamesTheComponentKeepsEarlierTablesAndSkipsTheRest) {
  downloadTable("cdsSala", "SALA", {{{"CDFILIAL", "0001"}, {"CDSALA", "01"}}});
  download("cdsTabePrec", {text("CDFILIAL"), text("CDTABEPREC")}, {{"0001", "T1"}});
  downloadTable("cdsCampanha", "CAMPANHA", {{{"CDCAMPANHA", "K1"}}});

  EXPECT_FALSE(runLoad());
  EXPECT_EQ(conn.count("SALA"), 1);
  EXPECT_EQ(conn.count("TABEPREC"), 0);
  EXPECT_EQ(conn.count("CAMPANHA"), 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind("Componente :adqCliTabePrec - Erro : ", 0), 0u) << errors[0];
  EXPECT_EQ(lastError, errors[0]);
  EXPECT_TRUE(logged("Exception ChamaInsereMSDE: " + errors[0]));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], errors[0]);
  EXPECT_TRUE(runFailed);
  EXPECT_TRUE(cleanup.calls.empty());
  EXPECT_TRUE(deleteCache.calls.empty());
}

TEST_F(DriverTest, DatabaseLostMidLoadFailsTheRunAndKeepsWhatWasCommitted) {
  downloadTable("cdsAliqImpFis", "ALIQIMPFIS",
                {{{"CDFILIAL", "0001"}, {"CDPRODUTO", "P1"}, {"CDIMPOSTO", "01"}}});
  downloadTable("cdsSala", "SALA", {{{"CDFILIAL", "0001"}, {"CDSALA", "01"}}});
  int merges = 0;
  env.processMessages = [&] {
    if (++merges == 3) conn.lost = true;  // while CLIENFILIAL, the third table, starts
  };
  EXPECT_FALSE(runLoad());
  conn.lost = false;
  EXPECT_EQ(conn.count("ALIQIMPFIS"), 1);
  EXPECT_EQ(conn.count("SALA"), 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("connection lost"), std::string::npos) << errors[0];
  EXPECT_TRUE(runFailed);
}

// A replace whose new rows fail leaves the table as it was, not empty.
TEST_F(DriverTest, AReplacedTableKeepsItsRowsWhenItsNewRowsFail) {
  localRow("CAMPANHA", {{"CDCAMPANHA", "K1"}, {"NMCAMPANHA", "Local"}});
  download("cdsCampanha", {text("CDCAMPANHA")}, {{"K2"}});  // a column short
  EXPECT_FALSE(runLoad());
  EXPECT_EQ(textOf("SELECT NMCAMPANHA FROM CAMPANHA"), "Local");
  EXPECT_FALSE(conn.inTransaction());
}

TEST_F(DriverTest, WithoutLocalDatabaseNothingIsWritten) {
  conn.close();
  EXPECT_FALSE(runLoad());
  EXPECT_EQ(errors, std::vector<std::string>{"Caixa sem string de conexão."});
  EXPECT_EQ(lastError, "Caixa sem string de conexão.");
  EXPECT_TRUE(runFailed);
  // The load's section still closes with its line of asterisks.
  EXPECT_EQ(std::count_if(logs.begin(), logs.end(),
                          [](const LogLine& l) { return l.text == std::string(126, '*'); }),
            2);
}

TEST_F(DriverTest, TheKeepAliveSentAtTheStartOfALoadRestartsTheCount) {
  for (int i = 0; i < 9999; ++i) keepAlive.mantemConexao(false);
  EXPECT_TRUE(runLoad());
  EXPECT_EQ(server.keepAlives, 1);
  EXPECT_LT(keepAlive.counter(), 9999);
}

TEST_F(DriverTest, AReplacedTableGettingAnEmptyDownloadEndsEmpty) {
  localRow("CAMPANHA", {{"CDCAMPANHA", "OLD"}});
  downloadTable("cdsCampanha", "CAMPANHA", {});
  EXPECT_TRUE(runLoad());
  EXPECT_EQ(conn.count("CAMPANHA"), 0);
}

// PRODCAMPANHA only gains rows; PRODBLOQVNDTAA is filled while it is empty locally.
TEST_F(DriverTest, AppendedAndFillOnceTablesKeepWhatIsAlreadyThere) {
  localRow("PRODCAMPANHA", {{"CDCAMPANHA", "K1"}, {"CDPRODUTO", "P1"}, {"DSPRODCAMPAN", "Local"}});
  downloadTable("cdsProdCampanha", "PRODCAMPANHA",
                {{{"CDCAMPANHA", "K1"}, {"CDPRODUTO", "P1"}, {"DSPRODCAMPAN", "Baixado"}},
                 {{"CDCAMPANHA", "K1"}, {"CDPRODUTO", "P2"}, {"DSPRODCAMPAN", "Novo"}}});
  downloadTable(
      "cdsPRODBLOQVNDTAA", "PRODBLOQVNDTAA",
      {{{"CDFILIAL", "0001"}, {"CDPRODUTO", "B1"}}, {{"CDFILIAL", "0001"}, {"CDPRODUTO", "B2"}}});

  EXPECT_TRUE(runLoad());
  EXPECT_EQ(conn.count("PRODCAMPANHA"), 2);
  EXPECT_EQ(textOf("SELECT DSPRODCAMPAN FROM PRODCAMPANHA WHERE CDPRODUTO = 'P1'"), "Local");
  EXPECT_EQ(textOf("SELECT DSPRODCAMPAN FROM PRODCAMPANHA WHERE CDPRODUTO = 'P2'"), "Novo");
  EXPECT_EQ(conn.count("PRODBLOQVNDTAA"), 2);
  EXPECT_TRUE(logged("Inserindo dados da Importação na Tabela: PRODBLOQVNDTAA"));

  // A second load finds PRODBLOQVNDTAA filled and leaves it, banner and all.
  logs.clear();
  downloadTable("cdsPRODBLOQVNDTAA", "PRODBLOQVNDTAA",
                {{{"CDFILIAL", "0001"}, {"CDPRODUTO", "B3"}}});
  EXPECT_TRUE(runLoad());
  EXPECT_EQ(conn.count("PRODBLOQVNDTAA"), 2);
  EXPECT_FALSE(logged("Inserindo dados da Importação na Tabela: PRODBLOQVNDTAA"));
}

TEST_F(DriverTest, StatementModeSkipsTheSequenceAndTheDeleteCacheButLoadsConsumers) {
  downloadTable("cdsSala", "SALA", {{{"CDFILIAL", "0001"}, {"CDSALA", "01"}}});
  EXPECT_TRUE(runLoad("EXTRATOCONS"));
  EXPECT_EQ(conn.count("SALA"), 0);
  EXPECT_TRUE(deleteCache.calls.empty());
  EXPECT_EQ(server.keepAlives, 0);
  EXPECT_TRUE(logged("Inicio do InsereDados(cdsSALDOCONS)"));
  EXPECT_EQ(cleanup.calls.size(), 3u);
}

TEST_F(DriverTest, CancelledRunEndsTheLoad) {
  env.cancelled = [] { return true; };
  downloadTable("cdsSala", "SALA", {{{"CDFILIAL", "0001"}, {"CDSALA", "01"}}});
  EXPECT_FALSE(runLoad());
  EXPECT_EQ(errors, std::vector<std::string>{"O processo de exportação foi cancelado."});
  EXPECT_EQ(conn.count("SALA"), 0);
}

TEST_F(DriverTest, FullReloadOrderWipesTheTablesButKeepsTablesInUse) {
  writeWipeOrder("2026-12-01 08:00:00");
  localRow("PRODUTO", {{"CDPRODUTO", "P1"}, {"IDPRODATIVPR", "S"}});
  localRow("MESA", {{"CDFILIAL", "0001"}, {"CDLOJA", "01"}, {"NRMESA", "1"}, {"IDSTMESAAUX", "O"}});
  localRow("MESA", {{"CDFILIAL", "0001"}, {"CDLOJA", "01"}, {"NRMESA", "2"}, {"IDSTMESAAUX", "D"}});
  downloadTable("cdsCorPedido", "CORPEDIDO", {{{"CDFILIAL", "0001"}}});
  EXPECT_TRUE(runLoad());
  EXPECT_EQ(conn.count("PRODUTO"), 0);
  EXPECT_EQ(textOf("SELECT NRMESA FROM MESA"), "1");
  EXPECT_EQ(deleteCache.emptied.size(), 78u);
  EXPECT_EQ(fullWipeStatements().size(), 78u);
  EXPECT_FALSE(std::filesystem::exists(dir / "Dados" / "Tabelas_Kiv" / "P_DTDELETECACHE.cds"));
  EXPECT_EQ(conn.count("CORPEDIDO"), 0);  // the wipe empties that download too
}

// Wiped after the request dates, the tables would get back only the rows changed since.
TEST_F(DriverTest, FullReloadOrderWipesBeforeTheRequestDatesAreRead) {
  writeWipeOrder("2026-12-01 08:00:00");
  localRow("ITEMPRECODIA", {{"CDFILIAL", "0001"},
                            {"CDTABEPREC", "T"},
                            {"DTINIVGPREC", now},
                            {"CDPRODUTO", "P1"},
                            {"CDPRPAITABPR", "0"},
                            {"NRDIASEMANPR", "1"},
                            {"HRINIPRECDIA", "0800"},
                            {"CDTIPOCONSPD", "1"},
                            {"DTULTATUITPD", now}});
  LoadDriver driver(conn, state, env,
                    LoadParts{keepAlive, server, files, mirror, cleanup, deleteCache});
  driver.BuscaDtUltAtuTabelas(state.vectors);
  EXPECT_EQ(conn.count("ITEMPRECODIA"), 0);
  EXPECT_FALSE(std::filesystem::exists(stagingDirectory(dir) / "P_DTDELETECACHE.cds"));
}

TEST_F(DriverTest, UnreadableReloadOrderFailsTheRunWithoutComponent) {
  writeWipeOrder("amanhã");
  localRow("PRODUTO", {{"CDPRODUTO", "P1"}, {"IDPRODATIVPR", "S"}});
  EXPECT_FALSE(runLoad());
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].find("Componente"), std::string::npos);
  EXPECT_TRUE(logged("Exception InsereMSDE: " + errors[0]));
  EXPECT_EQ(conn.count("PRODUTO"), 1);
  EXPECT_TRUE(std::filesystem::exists(dir / "Dados" / "Tabelas_Kiv" / "P_DTDELETECACHE.cds"));
  EXPECT_TRUE(runFailed);
}

TEST_F(DriverTest, InactiveProductsOnOpenOrdersAreListedAndTheLoadGoesOn) {
  localRow(
      "PRODUTO",
      {{"CDPRODUTO", "P1"}, {"CDARVPROD", "A1"}, {"NMPRODUTO", "Pastel"}, {"IDPRODATIVPR", "N"}});
  localRow("ITCOMANDAVEN", {{"CDFILIAL", "0001"},
                            {"NRVENDAREST", "V1"},
                            {"NRCOMANDA", "C1"},
                            {"NRPRODCOMVEN", "1"},
                            {"CDPRODUTO", "P1"}});
  downloadTable("cdsLINHAPROD", "LINHAPROD", {{{"CDFILIAL", "0001"}, {"CDLINHAPROD", "L1"}}});
  conn.failOn = "DELETE FROM PRODUTO WHERE";
  EXPECT_TRUE(runLoad());
  EXPECT_TRUE(logged("Exceção ao excluir produtos inativos!"));
  EXPECT_TRUE(logged("Código: A1 Nome: Pastel"));
  EXPECT_EQ(conn.count("PRODUTO"), 1);
  EXPECT_EQ(conn.count("LINHAPROD"), 1);  // a later step still ran
}

TEST_F(DriverTest, StockModeWritesOnlyStockAndStillCleansUp) {
  localRow("POSESTATU", {{"CDFILIAL", "0001"},
                         {"CDPRODUTO", "OLD"},
                         {"CDALMOXARIFE", "A"},
                         {"CDLOCALESTOQ", "L"},
                         {"NRLOTEESTQ", "1"},
                         {"NRSUBLOTE", "1"}});
  downloadTable("cdsPOSESTATU", "POSESTATU",
                {{{"CDFILIAL", "0001"},
                  {"CDPRODUTO", "NEW"},
                  {"CDALMOXARIFE", "A"},
                  {"CDLOCALESTOQ", "L"},
                  {"NRLOTEESTQ", " "},
                  {"NRSUBLOTE", " "}}});
  downloadTable("cdsSala", "SALA", {{{"CDFILIAL", "0001"}, {"CDSALA", "01"}}});
  EXPECT_TRUE(runLoad("ESTOQUE"));
  EXPECT_EQ(textOf("SELECT CDPRODUTO FROM POSESTATU"), "NEW");
  EXPECT_EQ(conn.count("SALA"), 0);
  EXPECT_TRUE(deleteCache.calls.empty());
  EXPECT_EQ(cleanup.calls.size(), 3u);
}

TEST_F(DriverTest, StagingRoundTripKeepsEveryDatasetAndSkipsWorkSets) {
  downloadTable("cdsSala", "SALA", {{{"CDFILIAL", "0001"}, {"CDSALA", "01"}}});
  downloadTable("cdsVenda", "VENDA", {{{"CDFILIAL", "0001"}}});
  state.dataset("cdsNuncaAberto");
  stageDatasets(state, stagingDirectory(dir));
  EXPECT_EQ(state.dataset("cdsSala").recordCount(), 1u);
  EXPECT_EQ(state.dataset("cdsVenda").recordCount(), 1u);
  EXPECT_TRUE(std::filesystem::is_empty(dir / "Dados" / "Tabelas_Kiv"));

  // A staging file that cannot be written fails the load without touching the database.
  std::filesystem::remove_all(dir / "Dados" / "Tabelas_Kiv");
  std::ofstream(dir / "Dados" / "Tabelas_Kiv") << "not a folder";
  EXPECT_FALSE(runLoad());
  EXPECT_EQ(conn.count("SALA"), 0);
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_TRUE(runFailed);
}

db::Value packetOf(db::DataSet& rows) { return db::Value(rows.data()); }

TEST_F(DriverTest, ReturnedMovementsAreReimportedWithNewSaleNumbers) {
  localRow("VENDA", {{"CDFILIAL", "0001"}, {"CDCAIXA", "001"}, {"NRSEQVENDA", "100"}});
  db::DataSet shifts, salesRows, items;
  const db::DateTime opened = db::DateTime::fromParts(2026, 12, 6, 8, 0, 0);
  auto fill = [&](db::DataSet& target, const std::string& table, const std::vector<Cells>& rows) {
    target = std::move(downloadTable("cdsScratch" + table, table, rows));
  };
  fill(shifts, "TURCAIXA", {{{"CDFILIAL", "0001"}, {"CDCAIXA", "001"}, {"DTABERCAIX", opened}}});
  fill(salesRows, "VENDA", {{{"CDFILIAL", "0001"}, {"CDCAIXA", "001"}, {"NRSEQVENDA", "5"}}});
  fill(items, "ITEMVENDA",
       {{{"CDFILIAL", "0001"}, {"CDCAIXA", "001"}, {"NRSEQVENDA", "5"}, {"NRSEQUITVEND", "1"}}});
  localRow("EXTRATOCONS", {{"CDCLIENTE", "C1"},
                           {"CDCONSUMIDOR", "1"},
                           {"CDFAMILISALD", "F"},
                           {"DTMOVEXTCONS", opened},
                           {"NRSEQMOVEXT", "2"},
                           {"DTULTATUEXT", opened}});
  db::DataSet statement;
  auto movement = [&](const char* seq) {
    return Cells{{"CDCLIENTE", "C1"},      {"CDCONSUMIDOR", "1"}, {"CDFAMILISALD", "F"},
                 {"DTMOVEXTCONS", opened}, {"NRSEQMOVEXT", seq},  {"CDFILIAL", "0001"},
                 {"CDCAIXA", "001"},       {"NRSEQVENDA", "5"},   {"IDIMPEXTRATO", "N"},
                 {"DTULTATUEXT", now}};
  };
  fill(statement, "EXTRATOCONS", {movement("1"), movement("2")});
  sales[6] = packetOf(statement);
  sales[0] = packetOf(shifts);
  sales[1] = packetOf(salesRows);
  sales[2] = packetOf(items);
  EXPECT_TRUE(runLoad("ESTOQUE", true));
  EXPECT_EQ(textOf("SELECT IDIMPTCAIXA FROM TURCAIXA"), "S");
  EXPECT_EQ(textOf("SELECT NRSEQVENDA FROM ITEMVENDA"), "101");
  EXPECT_TRUE(logged("InsereDados ITEMVENDA"));
  EXPECT_EQ(textOf("SELECT NRSEQVENDA FROM EXTRATOCONS WHERE NRSEQMOVEXT = '1'"), "101");
  EXPECT_EQ(textOf("SELECT IDIMPEXTRATO FROM EXTRATOCONS WHERE NRSEQMOVEXT = '1'"), "S");
  // An existing statement row keeps its update time.
  EXPECT_EQ(conn.scalar("SELECT DTULTATUEXT FROM EXTRATOCONS WHERE NRSEQMOVEXT = '2'").asDateTime(),
            opened);
  EXPECT_TRUE(logged("Validacao de Dados Msde"));
}

// Shifts written without their sales would tell the next request that the sales are here.
TEST_F(DriverTest, ReimportedShiftsAreNotKeptWithoutTheirSales) {
  db::DataSet shifts, items;
  const db::DateTime opened = db::DateTime::fromParts(2026, 12, 6, 8, 0, 0);
  shifts = std::move(
      downloadTable("cdsScratchTURCAIXA", "TURCAIXA",
                    {{{"CDFILIAL", "0001"}, {"CDCAIXA", "001"}, {"DTABERCAIX", opened}}}));
  items = std::move(download("cdsScratchITEMVENDA", {text("CDFILIAL")}, {{"0001"}}));
  sales[0] = packetOf(shifts);
  sales[2] = packetOf(items);
  EXPECT_TRUE(runLoad("ESTOQUE", true));
  EXPECT_EQ(conn.count("TURCAIXA"), 0);
  EXPECT_TRUE(logged("InsereDados TURCAIXA"));
  EXPECT_FALSE(conn.inTransaction());
}

}  // namespace
}  // namespace load::testing
