#include <gtest/gtest.h>

#include "anticipation_fixture.h"

namespace download::anticipation_testing {
namespace {

const db::DateTime kAsked = db::DateTime::fromParts(2026, 11, 1);

class ConsumerCatchUpTest : public AnticipationFixture {
 protected:
  ConsumerCatchUpTest() {
    // CONSUMIDOR with the columns the temporary tables copy.
    std::string ddl = "CREATE TABLE CONSUMIDOR (";
    std::string columns = consumerTempColumns();
    size_t start = 0;
    bool first = true;
    while (start < columns.size()) {
      size_t end = columns.find(", ", start);
      if (end == std::string::npos) end = columns.size();
      const std::string column = columns.substr(start, end - start);
      ddl +=
          (first ? "" : ", ") + column + (column.starts_with("DT") ? " DATETIME" : " VARCHAR(40)");
      first = false;
      start = end + 2;
    }
    db.execute(ddl + ")");
    db.execute(
        "CREATE TABLE CLIENFILIAL (CDFILIAL VARCHAR(4), CDCLIENTE VARCHAR(40), "
        "DTULTATUCLIF DATETIME)");
    db.execute("INSERT INTO CLIENFILIAL VALUES ('0001', '1', '2026-10-01')");
    db.execute(
        "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR, DTULTATUCSUM) "
        "VALUES ('1', 'OLD', 'antes', '2026-01-01')");
    state.vectors.vDatasBase[4] = kAsked;
    state.vectors.vDatasControle[4] = kAsked;
    state.vectors.vDatasBase[8] = kAsked;
    state.vectors.vDatasControle[8] = kAsked;
  }

  void consumersAnnounced(int64_t dt, int64_t cf) {
    server.handlers["getTotalConsDT"] = [dt](auto&) { return db::Value(dt); };
    server.handlers["getTotalConsCF"] = [cf](auto&) { return db::Value(cf); };
  }
  static std::string consumerInsert(std::string_view table, const std::string& code, int day = 1) {
    return "INSERT INTO " + std::string(table) +
           " (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR, DTULTATUCSUM) VALUES ('1', '" + code +
           "', 'novo', '2026-12-0" + std::to_string(day) + "')\r\n";
  }
  void fileOf(std::string_view table, const std::vector<std::string>& codes) {
    std::string text;
    for (const auto& code : codes) text += consumerInsert(table, code, codes.size() % 9 + 1);
    fetcher.entries = {{"insert.sql", text}};
  }
  const FakeAppServer::Call& firstCallTo(std::string_view method) const {
    for (const auto& c : server.calls)
      if (c.method == method) return c;
    throw std::logic_error("no call to " + std::string(method));
  }
  std::vector<std::pair<int64_t, int64_t>> requestedRanges() const {
    std::vector<std::pair<int64_t, int64_t>> out;
    for (const auto& c : server.calls)
      if (c.method == "setGeraArquivo")
        out.emplace_back(c.args.at(6).asInt(), c.args.at(7).asInt());
    return out;
  }
};

TEST_F(ConsumerCatchUpTest, UpToTheThresholdConsumersTravelWithTheMainRequest) {
  consumersAnnounced(9999, 9999);
  anticipation.catchUpConsumersByChangeDate("0001");
  anticipation.catchUpConsumersByClienFilial("0001");
  EXPECT_EQ(server.callsTo("setGeraArquivo"), 0u);
  EXPECT_EQ(fetcher.fetches, 0);
  EXPECT_EQ(state.vectors.vDatasBase[4], db::Value(kAsked));
  // The count was asked with the branch and the request date of each table.
  EXPECT_EQ(server.calls.at(0).args.at(1), db::Value(kAsked));
}

TEST_F(ConsumerCatchUpTest, ChangeDateRouteInsertsNewConsumersAndMergesExistingOnes) {
  consumersAnnounced(10000, 0);
  fileOf("CONSDT_TEMP", {"OLD", "NEW1", "NEW2"});
  anticipation.catchUpConsumersByChangeDate("0001");

  EXPECT_EQ(requestedRanges(), (std::vector<std::pair<int64_t, int64_t>>{{0, 0}}));
  const auto& gera = firstCallTo("setGeraArquivo");
  EXPECT_EQ(gera.args.at(0).asText(), "insertConsumidorDTULTATU.sql");
  EXPECT_EQ(gera.args.at(1).asText(), "CONSDT_TEMP");
  EXPECT_EQ(gera.args.at(5).getArray().at(0), db::Value(kAsked));
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM CONSUMIDOR").asInt(), 3);
  // The existing consumer goes to the consumer merge, not the insert.
  ASSERT_EQ(merges.tables(), std::vector<std::string>{"CONSUMIDOR"});
  EXPECT_EQ(merges.merges[0].rows, 1u);
  EXPECT_TRUE(state.dataset("cdsConsumidor").isEmpty());
  EXPECT_EQ(db.scalar("SELECT NMCONSUMIDOR FROM CONSUMIDOR WHERE CDCONSUMIDOR = 'OLD'").asText(),
            "antes");
  // Request dates and the ledger move to the newest consumer now present.
  const db::DateTime newest = db::DateTime::fromParts(2026, 12, 4);
  EXPECT_EQ(state.vectors.vDatasBase[4], db::Value(newest));
  EXPECT_EQ(state.vectors.vDatasControle[4], db::Value(newest));
  EXPECT_EQ(
      db.scalar("SELECT DTULTATUTAB FROM CTRLBAIXATAB WHERE NMTABELA = 'CONSUMIDOR'").asDateTime(),
      newest);
  EXPECT_TRUE(logged("2", "Antecipando a baixa de consumidores (DTULTATU)... Total: 10000"));
  EXPECT_TRUE(logged("2", "Consumidores inseridos. Total: 3"));
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM CONSDT_TEMP").asInt(), 0);
  EXPECT_FALSE(db.inTransaction());
}

TEST_F(ConsumerCatchUpTest, ClienFilialRouteFetchesInRangesAndRecreatesTheTableEachTime) {
  consumersAnnounced(0, 150000);
  fileOf("CONSCLIENFIL_TMP", {"OLD", "NEW1"});
  server.handlers["getClienFilialAtual"] = [](auto&) {
    return packet({"CDFILIAL", "CDCLIENTE", "DTULTATUCLIF"},
                  {{"0001", "2", db::DateTime::fromParts(2026, 12, 5)}});
  };
  anticipation.catchUpConsumersByClienFilial("0001");

  EXPECT_EQ(requestedRanges(),
            (std::vector<std::pair<int64_t, int64_t>>{{1, 100000}, {100001, 150000}}));
  EXPECT_EQ(fetcher.fetches, 2);
  EXPECT_EQ(db.countExecuted("DROP TABLE CONSCLIENFIL_TMP"), 3u + 2u);  // + one per file end
  EXPECT_EQ(firstCallTo("setGeraArquivo").args.at(5).getArray().size(), 3u);
  // Only new consumers are inserted on this route; the existing one is left alone.
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM CONSUMIDOR").asInt(), 2);
  EXPECT_EQ(merges.tables(), std::vector<std::string>{"CLIENFILIAL"});
  EXPECT_TRUE(
      logged("2", "Fim da Importação da Tabela: CLIENFILIAL (Antecipado) - Nr.Registros: 1"));
  EXPECT_TRUE(logged("2", "CLIENFILIAL atualizada!"));
  // The fake merge wrote nothing, so the newest local CLIENFILIAL date moves the slot.
  EXPECT_EQ(state.vectors.vDatasBase[8], db::Value(db::DateTime::fromParts(2026, 10, 1)));
}

TEST_F(ConsumerCatchUpTest, FailingFileEndsQuietlyWithTheRequestDatesUnmoved) {
  consumersAnnounced(20000, 20000);
  fetcher.fail = true;
  EXPECT_NO_THROW(anticipation.catchUpConsumersByChangeDate("0001"));
  EXPECT_NO_THROW(anticipation.catchUpConsumersByClienFilial("0001"));
  EXPECT_EQ(state.vectors.vDatasBase[4], db::Value(kAsked));
  EXPECT_EQ(state.vectors.vDatasBase[8], db::Value(kAsked));
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM CTRLBAIXATAB").asInt(), 0);
  EXPECT_TRUE(merges.merges.empty());
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM CONSUMIDOR").asInt(), 1);
  EXPECT_FALSE(db.inTransaction());
}

TEST_F(ConsumerCatchUpTest, AFailingCountEndsQuietlyAndTheDownloadGoesOn) {
  for (const char* method : {"getTotalConsDT", "getTotalConsCF"})
    server.handlers[method] = [](auto&) -> db::Value { throw outside::ServerError("busy"); };
  EXPECT_NO_THROW(anticipation.catchUpConsumersByChangeDate("0001"));
  EXPECT_NO_THROW(anticipation.catchUpConsumersByClienFilial("0001"));
  consumersAnnounced(0, 0);
  server.handlers["getTotalConsDT"] = [](auto&) { return db::Value("ERRO: no database"); };
  EXPECT_NO_THROW(anticipation.catchUpConsumersByChangeDate("0001"));
  EXPECT_EQ(state.vectors.vDatasBase[4], db::Value(kAsked));
  EXPECT_EQ(server.callsTo("setGeraArquivo"), 0u);
}

TEST_F(ConsumerCatchUpTest, EachStatementFileCountsItsOwnConsumers) {
  consumersAnnounced(0, 20000);
  fetcher.entries = {{"a.sql", consumerInsert("CONSCLIENFIL_TMP", "A1") +
                                   consumerInsert("CONSCLIENFIL_TMP", "A2")},
                     {"b.sql", consumerInsert("CONSCLIENFIL_TMP", "B1") +
                                   consumerInsert("CONSCLIENFIL_TMP", "B2") +
                                   consumerInsert("CONSCLIENFIL_TMP", "B3")}};
  anticipation.catchUpConsumersByClienFilial("0001");
  EXPECT_TRUE(logged("2", "Consumidores inseridos. Total: 2"));
  EXPECT_TRUE(logged("2", "Consumidores inseridos. Total: 3"));
  EXPECT_FALSE(logged("2", "Consumidores inseridos. Total: 5"));
}

}  // namespace
}  // namespace download::anticipation_testing
