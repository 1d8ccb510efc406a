#include "download/component_error.h"
#include "load/consumer_block.h"
#include "load_fixture.h"

namespace load::testing {
namespace {

class ConsumerTest : public LoadTest {
 protected:
  ConsumerTest() { state.vectors.vIndicadores = std::vector<std::string>(9, "N"); }

  ConsumerBlock block() {
    return ConsumerBlock(ctx, merge, writer, nextCode, server, files, mirror);
  }
  Cells consumer(const std::string& client, const std::string& id, const std::string& name) {
    return {{"CDCLIENTE", client}, {"CDCONSUMIDOR", id},    {"NMCONSUMIDOR", name},
            {"IDATUCONSUMI", "S"}, {"CDSENHACONS", "nova"}, {"DTULTATUCSUM", day(4)}};
  }
  db::DateTime day(int d) { return db::DateTime::fromParts(2026, 11, d, 10, 0, 0); }
  // When the account movement the register already holds was made.
  const db::DateTime moved = db::DateTime::fromParts(2026, 12, 1, 9, 15, 30, 400);
  // An account movement of client C1, of 12.50, that the register already holds.
  void heldMovement(Cells cells) {
    cells.insert({{"CDCLIENTE", "C1"}, {"DTMOVCLI", moved}, {"VRMOVCLI", 12.5}});
    localRow("MOVICLIE", cells);
  }
  // One benefit movement of campaign K for a consumer of client C1.
  Cells movement(const std::string& consumerId, int updatedDay) {
    return {{"CDCLIENTE", "C1"},    {"CDCONSUMIDOR", consumerId}, {"CDCAMPANHA", "K"},
            {"NRSEQPRODCAMP", "1"}, {"NRSEQBENEFICIO", "1"},      {"DTULTATU", day(updatedDay)}};
  }
  // A first benefit load (indicator 1 "S") of campaign K, whose server announces two movements.
  void firstBenefitLoadOfTwoMovements() {
    state.vectors.vIndicadores[1] = "S";
    localRow("CAMPANHA", {{"CDCAMPANHA", "K"}, {"IDCAMPANHA", "C"}});
    localRow("FILICAMPANHA", {{"CDCAMPANHA", "K"}, {"CDFILIAL", "0001"}});
    localRow("BENEFICIOCAMP",
             {{"CDCAMPANHA", "K"}, {"NRSEQPRODCAMP", "1"}, {"NRSEQBENEFICIO", "1"}});
    download("cdsMovBeneficioCtr", {text("QTDMOVBENEFICIOCTR")}, {{"2"}});
  }

  outside::KivProxCodigo nextCode{conn};
  KeyedMerge merge{ctx};
  BulkWriter writer{ctx, nextCode};
  FakeFiles files;
  CentralMirror mirror;
};

TEST_F(ConsumerTest, DuplicateConsumerInAnEmptyBaseIsCountedAndSkipped) {
  downloadTable(
      "cdsConsumidor", "CONSUMIDOR",
      {consumer("C1", "1", "Ana"), consumer("C1", "1", "Ana de novo"), consumer("C1", "2", "Bia")});
  ConsumerMerge merge(ctx, mirror);
  merge.run();
  EXPECT_EQ(merge.duplicates(), 1u);
  EXPECT_EQ(conn.count("CONSUMIDOR"), 2);
  EXPECT_TRUE(logged("Inserido 2 de 3"));
}

TEST_F(ConsumerTest, ExistingConsumerKeepsItsFlagAndTakesThePasswordOnlyWhenAllowed) {
  localRow("CONSUMIDOR", {{"CDCLIENTE", "C1"},
                          {"CDCONSUMIDOR", "1"},
                          {"IDATUCONSUMI", "N"},
                          {"CDSENHACONS", "velha"}});
  localRow("CONSUMIDOR", {{"CDCLIENTE", "C1"},
                          {"CDCONSUMIDOR", "2"},
                          {"IDATUCONSUMI", "S"},
                          {"CDSENHACONS", "velha"}});
  auto downloaded = consumer("C1", "1", "Ana");
  downloaded["IDATUCONSUMI"] = "X";
  downloadTable("cdsConsumidor", "CONSUMIDOR", {downloaded, consumer("C1", "2", "Bia")});
  ConsumerMerge(ctx, mirror).run();
  EXPECT_EQ(textOf("SELECT NMCONSUMIDOR FROM CONSUMIDOR WHERE CDCONSUMIDOR = '1'"), "Ana");
  EXPECT_EQ(textOf("SELECT IDATUCONSUMI FROM CONSUMIDOR WHERE CDCONSUMIDOR = '1'"), "N");
  EXPECT_EQ(textOf("SELECT CDSENHACONS FROM CONSUMIDOR WHERE CDCONSUMIDOR = '1'"), "velha");
  EXPECT_EQ(textOf("SELECT CDSENHACONS FROM CONSUMIDOR WHERE CDCONSUMIDOR = '2'"), "nova");
}

TEST_F(ConsumerTest, ConsumersCommitEvery1500RowsAndAFailureKeepsCommittedBatches) {
  std::vector<Cells> rows;
  for (int i = 0; i < 1600; ++i) rows.push_back(consumer("C1", std::to_string(i), "N"));
  rows[1550]["CDCONSUMIDOR"] = db::Value();  // refused by the key: not a duplicate
  downloadTable("cdsConsumidor", "CONSUMIDOR", rows);
  EXPECT_THROW(ConsumerMerge(ctx, mirror).run(), download::ComponentError);
  EXPECT_EQ(conn.count("CONSUMIDOR"), 1500);
  EXPECT_EQ(conn.commits, 1);
}

TEST_F(ConsumerTest, WholeConsumerBaseComesFromFilesInRangesAndRecordsTheLedger) {
  state.vectors.vIndicadores[0] = "S";
  download("cdsConsumidor", {text("QTDCONSUMIDOR")}, {{"250000"}});
  block().consumers();
  ASSERT_EQ(files.requests.size(), 3u);
  EXPECT_EQ(files.requests[0].linhaIni, 1);
  EXPECT_EQ(files.requests[0].linhaFin, 100000);
  EXPECT_EQ(files.requests[2].linhaIni, 200001);
  EXPECT_EQ(files.requests[2].linhaFin, 250000);
  EXPECT_EQ(files.requests[0].nmArquivo, "insertConsumidor.sql");
  EXPECT_EQ(conn.count("CTRLBAIXATAB", "NMTABELA = 'CONSUMIDOR'"), 1);
  EXPECT_EQ(server.reconnects, 1);

  conn.inner().execute("DELETE FROM CTRLBAIXATAB");
  files.failLoads = true;
  block().consumers();
  EXPECT_EQ(conn.count("CTRLBAIXATAB"), 0);  // the next run asks for the same rows again
}

TEST_F(ConsumerTest, OldStatementMovementIsDroppedButAnExistingOneIsUpdated) {
  state.extractPresent = true;
  const db::DateTime old = now.addDays(-90);
  localRow("EXTRATOCONS", {{"CDCLIENTE", "C1"},
                           {"CDCONSUMIDOR", "1"},
                           {"CDFAMILISALD", "F"},
                           {"DTMOVEXTCONS", old},
                           {"NRSEQMOVEXT", "1"},
                           {"NRSEQVENDA", "77"},
                           {"DSOPEEXTCONS", "antes"}});
  auto movement = [&](const char* seq, db::DateTime when) {
    return Cells{{"CDCLIENTE", "C1"},        {"CDCONSUMIDOR", "1"}, {"CDFAMILISALD", "F"},
                 {"DTMOVEXTCONS", when},     {"NRSEQMOVEXT", seq},  {"NRSEQVENDA", "5"},
                 {"DSOPEEXTCONS", "depois"}, {"IDIMPEXTRATO", "N"}, {"DTULTATUEXT", now}};
  };
  downloadTable("cdsEXTRATOCONS", "EXTRATOCONS",
                {movement("1", old), movement("2", old), movement("3", now.addDays(-10))});
  StatementMerge(ctx, writer).AplicaExtratoCons("cdsEXTRATOCONS");
  EXPECT_EQ(conn.count("EXTRATOCONS"), 2);
  EXPECT_EQ(textOf("SELECT DSOPEEXTCONS FROM EXTRATOCONS WHERE NRSEQMOVEXT = '1'"), "depois");
  EXPECT_EQ(textOf("SELECT NRSEQVENDA FROM EXTRATOCONS WHERE NRSEQMOVEXT = '1'"), "77");
  EXPECT_EQ(textOf("SELECT IDIMPEXTRATO FROM EXTRATOCONS WHERE NRSEQMOVEXT = '3'"), "S");
  EXPECT_EQ(conn.count("CTRLBAIXATAB", "NMTABELA = 'EXTRATOCONS'"), 1);
  EXPECT_TRUE(state.dataset("cdsEXTRATOCONS").isEmpty());
}

TEST_F(ConsumerTest, AccountMovementAlreadyHeldOrMarkedXIsNotInsertedAgain) {
  heldMovement({{"NRSEQMOVCLI", "1"}, {"CDCONSUMIDOR", "1"}, {"IDTIPMOCVLI", "X"}});
  auto movement = [&](const char* type, double value, const char* consumerCode) {
    return Cells{{"CDCLIENTE", "C1"},
                 {"NRSEQMOVCLI", "900"},
                 {"CDCONSUMIDOR", consumerCode},
                 {"DTMOVCLI", moved.addMs(200)},
                 {"IDTIPMOCVLI", type},
                 {"VRMOVCLI", value},
                 {"DTULTATUMCLI", day(3)}};
  };
  downloadTable("cdsMoviClie", "MOVICLIE",
                {movement("D", 12.5, "1"), movement("D", 13.0, "1"), movement("C", 12.5, "")});
  AccountMovements(ctx, nextCode).run();
  EXPECT_EQ(conn.count("MOVICLIE"), 3);
  EXPECT_EQ(conn.count("MOVICLIE", "NRSEQMOVCLI = '900'"), 0);  // numbers are given locally
  EXPECT_EQ(conn.count("CTRLBAIXATAB", "NMTABELA = 'MOVICLIE'"), 1);
}

// What counts as the same movement: each downloaded row against one held movement of client C1.
TEST_F(ConsumerTest, AccountMovementIsTheSameToTheSecondTheThousandthAndWithoutCase) {
  const db::DateTime when = moved;
  const db::DateTime opened = db::DateTime::fromParts(2026, 12, 1, 8, 0, 0, 0);
  heldMovement({{"NRSEQMOVCLI", "7"},
                {"CDCONSUMIDOR", "abc"},
                {"IDTIPMOCVLI", "D"},
                {"DTABERCAIX", opened}});
  struct Case {
    const char* client;
    const char* consumer;
    db::Value moved;
    const char* type;
    double value;
    db::Value opening;
    bool held;
  };
  const db::DateTime second = when.addMs(-400), same = when.addMs(599);
  const std::vector<Case> cases = {
      {"C1", "abc", second, "D", 12.5, opened, true},
      {"c1", "ABC", same, "d", 12.5004, opened.addMs(999), true},
      {"C1", "abc", when.addMs(600), "D", 12.5, opened, false},   // the next second
      {"C1", "abc", second.addMs(-1), "D", 12.5, opened, false},  // the second before
      {"C1", "abc", when, "D", 12.5006, opened, false},
      {"C1", "abc", when, "C", 12.5, opened, false},
      {"C1", "", when, "D", 12.5, opened, false},  // no consumer is NULL, not "abc"
      {"C1", "abc ", when, "D", 12.5, opened, false},
      {"C1", "abc", when, "D", 12.5, db::Value(), false},  // the held one has an opening
      {"C1", "abc", db::Value(), "D", 12.5, opened, false},
      {"C2", "abc", when, "D", 12.5, opened, false},
  };
  std::vector<Cells> rows;
  for (const Case& c : cases)
    rows.push_back({{"CDCLIENTE", c.client},
                    {"CDCONSUMIDOR", c.consumer},
                    {"DTMOVCLI", c.moved},
                    {"IDTIPMOCVLI", c.type},
                    {"VRMOVCLI", c.value},
                    {"DTABERCAIX", c.opening},
                    {"DSHISTMOV", std::to_string(rows.size())}});
  // A second copy of a new movement finds the first, inserted a moment before.
  rows.push_back(rows.back());
  downloadTable("cdsMoviClie", "MOVICLIE", rows);
  AccountMovements(ctx, nextCode).run();
  for (size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(conn.count("MOVICLIE", "DSHISTMOV = '" + std::to_string(i) + "'"),
              cases[i].held ? 0 : 1)
        << "case " << i;
  EXPECT_EQ(conn.count("MOVICLIE"), 1 + 9);
}

TEST_F(ConsumerTest, AccountMovementsLastBatchAndTheirLedgerRowCommitTogether) {
  const auto fields = columnsOf("MOVICLIE");
  std::vector<std::vector<db::Value>> rows;
  for (int i = 1; i <= 3; ++i) {
    std::vector<db::Value> row(fields.size());
    for (size_t f = 0; f < fields.size(); ++f) {
      if (fields[f].name == "CDCLIENTE") row[f] = "C1";
      if (fields[f].name == "DTMOVCLI") row[f] = day(i);
      if (fields[f].name == "DTULTATUMCLI") row[f] = day(i);
    }
    rows.push_back(row);
  }
  download("cdsMoviClie", fields, rows);
  conn.failOn = "CTRLBAIXATAB";
  EXPECT_THROW(AccountMovements(ctx, nextCode).run(), download::ComponentError);
  EXPECT_EQ(conn.count("MOVICLIE"), 0);
  EXPECT_FALSE(conn.inTransaction());

  conn.failOn.clear();
  conn.commits = 0;
  AccountMovements(ctx, nextCode).run();
  EXPECT_EQ(conn.commits, 1);
  EXPECT_EQ(conn.count("MOVICLIE"), 3);
  EXPECT_EQ(conn.count("CTRLBAIXATAB", "NMTABELA = 'MOVICLIE'"), 1);
}

TEST_F(ConsumerTest, FirstBenefitLoadFetchesPagesUntilTheAnnouncedTotal) {
  firstBenefitLoadOfTwoMovements();
  db::DataSet page;
  {
    auto& rows = downloadTable("cdsPage", "MOVBENEFICIOCTR", {movement("1", 2), movement("2", 3)});
    server.pages.push_back(db::Value(rows.data()));
  }
  block().benefits();
  ASSERT_EQ(server.pageRequests.size(), 1u);
  EXPECT_EQ(server.pageRequests[0][1].asText(), "0");
  EXPECT_EQ(server.pageRequests[0][2].asText(), "30000");
  EXPECT_EQ(conn.count("MOVBENEFICIOCTR"), 2);
  EXPECT_TRUE(logged("Fim InsertCliMOVBENEFICIOCTR - Inserido 2 de 2"));
  EXPECT_EQ(conn.scalar("SELECT DTULTATUTAB FROM CTRLBAIXATAB WHERE NMTABELA = 'MOVBENEFICIOCTR'")
                .asDateTime(),
            day(3));
}

// Pages come in key order: the newest date of a first page must not stand for the pages that a
// stopped or failed load never brought.
TEST_F(ConsumerTest, AFirstBenefitLoadCutShortRecordsNoDate) {
  firstBenefitLoadOfTwoMovements();
  auto& rows = downloadTable("cdsPage", "MOVBENEFICIOCTR", {movement("1", 3)});
  server.pages.push_back(db::Value(rows.data()));
  server.pages.push_back(db::Value("not a packet"));
  EXPECT_ANY_THROW(block().benefits());
  EXPECT_EQ(conn.count("MOVBENEFICIOCTR"), 1);
  EXPECT_EQ(conn.count("CTRLBAIXATAB", "NMTABELA = 'MOVBENEFICIOCTR'"), 0);
}

TEST_F(ConsumerTest, BalancesAreWrittenOnlyIntoAnEmptyTable) {
  auto balance = Cells{{"CDCLIENTE", "C1"}, {"CDCONSUMIDOR", "1"}, {"CDFAMILISALD", "F"}};
  downloadTable("cdsSALDOCONS", "SALDOCONS", {balance});
  block().balances();
  EXPECT_EQ(conn.count("SALDOCONS"), 1);
  balance["CDFAMILISALD"] = "G";
  downloadTable("cdsSALDOCONS", "SALDOCONS", {balance});
  block().balances();
  EXPECT_EQ(conn.count("SALDOCONS"), 1);
}

// The balances packet waits in the staging folder: it is read only when the local table is empty.
TEST_F(ConsumerTest, SpooledBalancesAreReadOnlyForAnEmptyTable) {
  const auto packet = dir / "cdsSALDOCONS.cds";
  downloadTable("cdsSALDOCONS", "SALDOCONS",
                {{{"CDCLIENTE", "C1"}, {"CDCONSUMIDOR", "1"}, {"CDFAMILISALD", "F"}}})
      .saveToFile(packet, db::PacketFormat::Binary);
  state.spool("cdsSALDOCONS", {packet, std::nullopt, ""});
  block().balances();
  EXPECT_EQ(conn.count("SALDOCONS"), 1);
  EXPECT_EQ(state.findDataset("cdsSALDOCONS")->recordCount(), 0u);

  std::filesystem::path unreadable = dir / "unreadable.cds";
  testing_support::writeFile(unreadable, "not a packet");
  state.spool("cdsSALDOCONS", {unreadable, std::nullopt, ""});
  EXPECT_NO_THROW(block().balances());
  EXPECT_EQ(conn.count("SALDOCONS"), 1);
  EXPECT_TRUE(logged("Final do InsereDados(cdsSALDOCONS)"));
}

}  // namespace
}  // namespace load::testing
