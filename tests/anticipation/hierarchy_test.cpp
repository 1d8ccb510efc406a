#include <gtest/gtest.h>

#include "anticipation_fixture.h"

namespace download::anticipation_testing {
namespace {

const db::DateTime kChanged = db::DateTime::fromParts(2026, 12, 1, 8, 0, 0);

class HierarchyTest : public AnticipationFixture {
 protected:
  HierarchyTest() {
    server.handlers["getBanco"] = [](auto&) { return db::Value("ORACLE"); };
    server.handlers["getDtCtrlAtualTab"] = [this](auto& args) {
      const std::string table = args.at(0).asText();
      auto it = ledger.find(table);
      if (it == ledger.end()) return packet({"NMTABELA", "DSCHAVE", "DTULTATU"}, {});
      return packet({"NMTABELA", "DSCHAVE", "DTULTATU"}, {{table, it->second, kChanged}});
    };
    server.handlers["getDadosTabCtrl"] = [](auto& args) {
      db::ValueArray packets{db::Value()};
      for (int64_t i = 0; i < args.at(2).asInt(); ++i)
        packets.push_back(packet({"CDTABEPREC"}, std::vector<std::vector<db::Value>>(
                                                     static_cast<size_t>(i + 1), {"002"})));
      return db::Value(packets);
    };
  }
  // Central ledger rows changed per level table: table -> DSCHAVE.
  std::map<std::string, std::string> ledger;

  std::vector<std::string> askedLedgerTables() const {
    std::vector<std::string> out;
    for (const auto& c : server.calls)
      if (c.method == "getDtCtrlAtualTab") out.push_back(c.args.at(0).asText());
    return out;
  }
};

TEST_F(HierarchyTest, NonOracleCentralRunsNoAnticipation) {
  server.handlers["getBanco"] = [](auto&) { return db::Value("SQLSERVER"); };
  ledger["FILITABGER"] = "0010001";
  anticipation.antecipaPorHierarquia("0001", "", "PRECO");
  anticipation.antecipaPorHierarquia("0001", "001", "LEIAUTE");
  EXPECT_EQ(server.callsTo("getDtCtrlAtualTab"), 0u);
  EXPECT_EQ(server.callsTo("getDadosTabCtrl"), 0u);
  EXPECT_TRUE(merges.merges.empty());
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM CTRLATUALTAB").asInt(), 0);
}

TEST_F(HierarchyTest, ChangeAtTabeVendGerRunsOnlyThatLevelWithItsFivePackets) {
  ledger["TABEVENDGER"] = "002|0001|2026-01-01";
  anticipation.antecipaPorHierarquia("0001", "", "PRECO");

  EXPECT_EQ(askedLedgerTables(),
            (std::vector<std::string>{"FILITABGER", "TABEPRECGER", "TABEVENDGER"}));
  // The top level narrows by "%" + branch, the others by the branch as fourth text.
  EXPECT_EQ(server.calls[1].args.at(1).asText(), "%0001");
  EXPECT_EQ(server.calls[1].args.at(3).asText(), "");
  EXPECT_EQ(server.calls[2].args.at(3).asText(), "0001");

  ASSERT_EQ(server.callsTo("getDadosTabCtrl"), 1u);
  const auto& call = server.calls.back();
  EXPECT_EQ(call.args.at(0).asText(), "TABEVENDGER");
  EXPECT_EQ(call.args.at(1).asText(), "002|0001|2026-01-01");
  EXPECT_EQ(call.args.at(2).asInt(), 5);
  EXPECT_EQ(call.args.at(6).asText(), "PRECO");

  EXPECT_EQ(merges.tables(),
            (std::vector<std::string>{"TABEVENDGER", "ITEMPRECOGER", "ITEMPRECODIAGER", "PRODUTO",
                                      "PRODUTOSEG"}));
  // Packets go in position order: position n holds n rows here.
  for (size_t i = 0; i < merges.merges.size(); ++i) EXPECT_EQ(merges.merges[i].rows, i + 1);
  EXPECT_TRUE(merges.merges[0].settings.recordLedger);
  EXPECT_FALSE(merges.merges[1].settings.recordLedger);
  EXPECT_FALSE(merges.merges[2].settings.recordLedger);
  EXPECT_FALSE(merges.merges[3].settings.recordLedger);
  EXPECT_TRUE(merges.merges[4].settings.recordLedger);
  EXPECT_TRUE(logged("3", "TABEVEND baixada antecipadamente. Reg. Antecipados: 1"));
  EXPECT_TRUE(logged("3", "PRODUTOSEG baixada antecipadamente. Reg. Antecipados: 5"));
  EXPECT_TRUE(
      logged("3", "Antecipação dos dados referentes à tabela TABEVENDGER realizada com sucesso!"));

  // The central ledger row is merged locally for TABEVENDGER.
  auto rows = db.query(
      "SELECT NMTABELA, DSCHAVE, DTULTATU FROM CTRLATUALTAB WHERE DSCHAVE = "
      "'002|0001|2026-01-01'");
  ASSERT_TRUE(rows->next());
  EXPECT_EQ(rows->at(0).asText(), "TABEVENDGER");
  EXPECT_EQ(rows->at(2).asDateTime(), kChanged);
}

TEST_F(HierarchyTest, NoChangeAtAnyLevelRunsNothing) {
  anticipation.antecipaPorHierarquia("0001", "", "PRECO");
  EXPECT_EQ(askedLedgerTables().size(), 5u);
  EXPECT_EQ(server.callsTo("getDadosTabCtrl"), 0u);
}

class PriceTableKeyTest : public HierarchyTest {
 protected:
  PriceTableKeyTest() {
    for (const char* table :
         {"FILITABGER", "TABEPRECGER", "TABEVENDGER", "ITEMPRECOGER", "ITEMPRECODIAGER"}) {
      db.execute(std::string("CREATE TABLE ") + table + " (CDTABEPREC VARCHAR(3))");
      for (const char* code : {"001", "002", "003"})
        db.execute(std::string("INSERT INTO ") + table + " VALUES ('" + code + "')");
    }
  }
};

TEST_F(PriceTableKeyTest, TopLevelKeyLeavesOnlyItsPriceTable) {
  ledger["FILITABGER"] = "0020001";
  anticipation.antecipaPorHierarquia("0001", "", "PRECO");
  EXPECT_EQ(merges.merges.size(), 7u);
  for (const char* table :
       {"FILITABGER", "TABEPRECGER", "TABEVENDGER", "ITEMPRECOGER", "ITEMPRECODIAGER"}) {
    auto rows = db.query(std::string("SELECT CDTABEPREC FROM ") + table);
    std::vector<std::string> codes;
    while (rows->next()) codes.push_back(rows->at(0).asText());
    EXPECT_EQ(codes, std::vector<std::string>{"002"}) << table;
  }
}

TEST_F(PriceTableKeyTest, KeyTooShortToNameAPriceTableDeletesNothing) {
  ledger["FILITABGER"] = "0'";
  anticipation.antecipaPorHierarquia("0001", "", "PRECO");
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM TABEPRECGER").asInt(), 3);
  EXPECT_EQ(db.countExecuted("DELETE"), 0u);
}

TEST_F(HierarchyTest, LayoutLevelSendsTheLedgerPacketAndMergesTheRegistersMenu) {
  ledger["CONFTELA"] = "0001_005|10";
  anticipation.antecipaPorHierarquia("0001", "005", "LEIAUTE");
  EXPECT_EQ(askedLedgerTables(), std::vector<std::string>{"CONFTELA"});
  EXPECT_EQ(server.calls[1].args.at(3).asText(), "0001_005");
  EXPECT_EQ(server.calls[1].args.at(4).asText(), "LEIAUTE");
  const auto& call = server.calls.back();
  EXPECT_EQ(call.method, "getDadosTabCtrl");
  EXPECT_EQ(call.args.at(1).asText(), "");
  EXPECT_EQ(call.args.at(2).asInt(), 4);
  EXPECT_EQ(call.args.at(3).kind(), db::Value::Kind::Bytes);
  EXPECT_EQ(call.args.at(5).asText(), "005");
  EXPECT_EQ(merges.tables(),
            (std::vector<std::string>{"CONFTELA", "ITMENUCONFTE", "PRODUTO", "PRODUTOSEG"}));
  EXPECT_EQ(merges.merges[1].settings.cashRegister, "005");
  EXPECT_FALSE(merges.merges[1].settings.recordLedger);
  EXPECT_EQ(db.scalar("SELECT NMTABELA FROM CTRLATUALTAB WHERE DSCHAVE = '0001_005|10'").asText(),
            "CONFTELA");
}

TEST_F(HierarchyTest, ServerErrorsReachTheCaller) {
  ledger["FILITABGER"] = "0020001";
  server.handlers["getDadosTabCtrl"] = [](auto&) {
    return db::Value("ORA-00942: tabela nao existe");
  };
  EXPECT_THROW(anticipation.antecipaPorHierarquia("0001", "", "PRECO"), outside::ServerError);
  server.handlers["getDadosTabCtrl"] = [](auto&) {
    return db::Value(db::ValueArray{db::Value(), db::Value()});
  };
  EXPECT_THROW(anticipation.antecipaPorHierarquia("0001", "", "PRECO"), outside::ServerError);
  EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM CTRLATUALTAB").asInt(), 0);
}

TEST_F(AnticipationFixture, ScreenConfigurationsAreMergedThenCleaned) {
  server.handlers["getConfTelaCaixa"] = [](auto&) {
    return packet({"CDFILIAL", "NRCONFTELA"}, {{"0001", "10"}, {"0001", "11"}});
  };
  anticipation.anticipateConfTelaCaixa("0001", "005");
  EXPECT_EQ(server.calls.at(0).args.at(0).asText(), "0001");
  ASSERT_EQ(merges.tables(), std::vector<std::string>{"CONFTELACAIXA"});
  EXPECT_EQ(merges.merges[0].rows, 2u);
  EXPECT_EQ(cleanup.calls, std::vector<std::string>{"cleanScreenConfigurations 0001/005"});
  EXPECT_TRUE(logged("3", "Antecipando CONFTELACAIXA."));
  EXPECT_TRUE(logged("2", "    Fim da Importação da Tabela: CONFTELACAIXA (Antecipado)"));
  EXPECT_TRUE(logged("3", "Registros: 2"));
  EXPECT_TRUE(logged("2", "Inserindo dados da Importação na Tabela: CONFTELACAIXA"));

  server.handlers["getConfTelaCaixa"] = [](auto&) { return db::Value("Erro no servidor"); };
  EXPECT_THROW(anticipation.anticipateConfTelaCaixa("0001", "005"), outside::ServerError);
  EXPECT_EQ(cleanup.calls.size(), 1u);
}

}  // namespace
}  // namespace download::anticipation_testing
