// The download orchestrator against local tables made from the central model and a fake server.
#include "db/core/text.h"
#include "orchestrator_fixture.h"

namespace download::testing {
namespace {

const std::string kStart = "Início da Importação da Tabela: ";
const std::string kEnd = "    Fim da Importação da Tabela: ";

db::Value::Kind kindOf(const db::Value& v) { return v.kind(); }

TEST_F(OrchestratorFixture, TabelasSendsTheFourteenArgumentsInOrderAndHandsOverEveryPosition) {
  control("EXTRATOCONS");
  control("CONSUMIDOR");
  db->execute(
      "INSERT INTO TURCAIXA (CDFILIAL, CDCAIXA, DTABERCAIX) VALUES ('0001', '001', "
      "'2026-12-06 08:00')");
  reply[33] = textPacket({"CDPRODUTO"}, {{"P1"}, {"P2"}, {"P3"}});
  for (size_t p = 190; p < 198; ++p) reply[p] = textPacket({"V" + std::to_string(p)});
  reply[198] = db::Value("");

  ASSERT_TRUE(run("TABELAS")) << last();

  const auto& args = request();
  ASSERT_EQ(args.size(), 14u);
  using K = db::Value::Kind;
  const std::vector<K> kinds{K::Text, K::Text, K::Text, K::Array, K::Array, K::Bool,  K::Bool,
                             K::Text, K::Text, K::Text, K::Bytes, K::Bytes, K::Bytes, K::Array};
  for (size_t i = 0; i < kinds.size(); ++i)
    EXPECT_EQ(kindOf(args[i]), kinds[i]) << "argument " << i + 1;
  EXPECT_EQ(args[0].getText(), "0001");
  EXPECT_EQ(args[1].getText(), "001");
  EXPECT_EQ(args[2].getText(), "L01");
  EXPECT_EQ(args[3].getArray().size(), 119u);
  EXPECT_EQ(args[4].getArray().size(), 119u);
  EXPECT_FALSE(args[5].getBool());  // EXTRATOCONS has its control row
  EXPECT_TRUE(args[6].getBool());   // MOVICLIE is empty
  EXPECT_EQ(args[7].getText(), "00000000000000000000");
  EXPECT_EQ(args[8].getText(), "");
  EXPECT_EQ(args[9].getText(), "TABELAS");
  db::DataSet shifts;
  shifts.setData(args[10].getBytes());
  EXPECT_EQ(shifts.recordCount(), 1u);
  ASSERT_EQ(args[13].getArray().size(), 9u);
  for (const auto& indicator : args[13].getArray()) {
    ASSERT_EQ(indicator.kind(), K::Text);
    EXPECT_TRUE(indicator.getText() == "S" || indicator.getText() == "N");
  }
  EXPECT_TRUE(logged("Busca dados da Turcaixa para serem baixados"));
  EXPECT_TRUE(logged("Busca dados da Turcaixa dos ultimos 60 dias para a tabela ExtratoCons"));

  // Every position but CACHEPRODSEG's starts and ends with its lines; counts are level "2".
  EXPECT_EQ(linesStarting(kStart).size(), handOverFor("TABELAS").positions.size() - 1);
  EXPECT_EQ(linesStarting(kEnd).size(), handOverFor("TABELAS").positions.size() - 1);
  EXPECT_TRUE(logged(kEnd + "ITEMPRECO - Nr.Registros: 3"));
  EXPECT_TRUE(logged(kEnd + "EXTRATOCONS - Nr.Registros: 0"));
  EXPECT_TRUE(logged(kEnd + "CONSUMIDOR - Nr.Registros: 1"));
  EXPECT_TRUE(logged("Tabela CACHEPRODSEG será baixada via Download posteriormente..."));
  EXPECT_FALSE(logged(kStart + "CACHEPRODSEG"));
  EXPECT_EQ(lines[lineIndex(kEnd + "ITEMPRECO - Nr.Registros: 3")].level, "2");
  EXPECT_EQ(state.findDataset("cdsItemPreco")->recordCount(), 3u);
  EXPECT_NE(state.findDataset("cdsOrigemVendaKiv"), nullptr);

  // The general price-table cleanup comes between positions 269 and 270.
  const size_t cleanAt = stageLog.logSizeAt[stageLog.indexOf("cleanGeneralPriceTables")];
  EXPECT_GT(cleanAt, lineIndex(kEnd + "CacheITEMPRECODIAGER - Nr.Registros: 0"));
  EXPECT_LE(cleanAt, lineIndex(kStart + "BRCAMPCOMPGANHE"));

  // The load gets the five values and positions 190 to 198.
  EXPECT_EQ(load.values.tableCount, "145");
  EXPECT_TRUE(load.values.flag);
  EXPECT_EQ(load.values.mode, "TABELAS");
  ASSERT_EQ(load.sales.size(), 9u);
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(load.sales[i], reply[190 + i]) << i;

  // Order of the stages around the request.
  const std::vector<std::string> expected{"confTela 0001 001",
                                          "hierarquia PRECO 0001 ",
                                          "hierarquia LEIAUTE 0001 001",
                                          "BuscaDtUltAtuTabelas",
                                          "consDT 0001",
                                          "consCF 0001"};
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(stageLog.events.at(i), expected[i]);
  EXPECT_EQ(stageLog.events.back(), "ChamaInsereMSDE");
}

TEST_F(OrchestratorFixture, NewBranchEmptiesTheFirstLoadTablesBeforeTheAnticipations) {
  db->execute("DELETE FROM FILIAL");
  db->execute("INSERT INTO PRODUTO (CDPRODUTO) VALUES ('P1')");
  db->execute("INSERT INTO PARAMEMPRESA (CDPARAMEMPRE) VALUES ('E1')");
  size_t productsSeen = 99;
  anticipation.onConfTela = [&] { productsSeen = count("PRODUTO"); };
  ASSERT_TRUE(run("TABELAS")) << last();
  EXPECT_EQ(productsSeen, 0u);
  EXPECT_EQ(count("PARAMEMPRESA"), 0u);
}

TEST_F(OrchestratorFixture, KnownBranchKeepsItsTablesEvenWhenItsCodeHoldsAQuote) {
  db->execute("INSERT INTO FILIAL (CDFILIAL) VALUES ('0''1')");
  db->execute("INSERT INTO CAIXA (CDFILIAL, CDCAIXA, CDLOJA) VALUES ('0''1', '001', 'L9')");
  db->execute("INSERT INTO PRODUTO (CDPRODUTO) VALUES ('P1')");
  ASSERT_TRUE(run("TABELAS", "0'1")) << last();
  EXPECT_EQ(count("PRODUTO"), 1u);
  EXPECT_EQ(request()[2].getText(), "L9");
}

TEST_F(OrchestratorFixture, EstoqueSendsOnlyTheMarkerAndTheEveryModeIndicators) {
  reply[144] = textPacket({"CDPOSESTATU"}, {{"1"}, {"2"}});
  ASSERT_TRUE(run("ESTOQUE")) << last();
  const auto& args = request();
  const auto& control = args[3].getArray();
  EXPECT_EQ(control[0], db::Value("@EXTRATOCONS"));
  for (size_t i = 1; i < control.size(); ++i) EXPECT_TRUE(control[i].isNull()) << i;
  for (const auto& v : args[4].getArray()) EXPECT_TRUE(v.isNull());
  const auto& indicators = args[13].getArray();
  for (size_t i : {0u, 1u, 3u, 4u, 5u}) EXPECT_TRUE(indicators[i].isNull()) << i;
  for (size_t i : {2u, 6u, 7u, 8u}) EXPECT_EQ(indicators[i], db::Value("S")) << i;
  EXPECT_FALSE(logged("Função preparaMSDEExtCons"));

  EXPECT_EQ(linesStarting(kStart), std::vector<std::string>{kStart + "POSESTATU"});
  EXPECT_TRUE(logged(kEnd + "POSESTATU - Nr.Registros: 2"));
  EXPECT_EQ(load.values.tableCount, "1");
  EXPECT_EQ(stageLog.events, std::vector<std::string>{"ChamaInsereMSDE"});
}

TEST_F(OrchestratorFixture, ExtratoConsReadsDatesButSkipsFirstLoadAndAnticipations) {
  db->execute("DELETE FROM FILIAL");
  db->execute("INSERT INTO PRODUTO (CDPRODUTO) VALUES ('P1')");
  ASSERT_TRUE(run("EXTRATOCONS")) << last();
  EXPECT_EQ(count("PRODUTO"), 1u);
  // The request-date reading replaces the marker with the ITEMPRECO date.
  EXPECT_EQ(request()[3].getArray()[0].kind(), db::Value::Kind::DateTime);
  EXPECT_EQ(linesStarting(kStart),
            (std::vector<std::string>{kStart + "CONSUMIDOR", kStart + "EXTRATOCONS",
                                      kStart + "CacheCONS", kStart + "MOVICLIE",
                                      kStart + "CONSMOVICLIE", kStart + "EXTRATOCONSCRED"}));
  // Only a TABELAS run reads the server's totals and defers the extract's count.
  EXPECT_TRUE(request()[5].getBool());
  EXPECT_TRUE(logged(kEnd + "CONSUMIDOR - Nr.Registros: 1"));
  EXPECT_TRUE(logged(kEnd + "EXTRATOCONS - Nr.Registros: 0"));
  EXPECT_EQ(load.values.tableCount, "6");
  EXPECT_EQ(stageLog.indexOf("BuscaDtUltAtuTabelas"), stageLog.events.size());
  EXPECT_EQ(stageLog.indexOf("confTela 0001 001"), stageLog.events.size());
}

// The anticipation ledger is trimmed only before a TABELAS request, which reads it afterwards.
TEST_F(OrchestratorFixture, OnlyTabelasTrimsTheAnticipationLedger) {
  for (const auto& [key, day] : {std::pair{"K1", 1}, std::pair{"K2", 2}})
    db->execute(
        "INSERT INTO CTRLATUALTAB (NMTABELA, DSCHAVE, DTULTATU) VALUES ('FILITABGER', :P_K, :P_D)",
        {{"P_K", std::string(key)}, {"P_D", db::DateTime::fromParts(2026, 12, day)}});
  ASSERT_TRUE(run("EXTRATOCONS")) << last();
  EXPECT_EQ(count("CTRLATUALTAB"), 2u);
  EXPECT_FALSE(logged("Realizando limpeza da tabela de antecipação de dados..."));

  ASSERT_TRUE(run("TABELAS")) << last();
  EXPECT_EQ(count("CTRLATUALTAB"), 1u);
  EXPECT_TRUE(logged("Limpeza da tabela FILITABGER realizada."));
}

// The load reports its own failure; the date comparison and the trigger check still follow.
TEST_F(OrchestratorFixture, AFailedLoadIsStillFollowedByTheDateComparisonAndTriggerCheck) {
  load.succeeds = false;
  triggers = textPacket({"NMTRIGGER"}, {{"TR_A"}});
  EXPECT_TRUE(run("TABELAS")) << last();
  const size_t loaded = stageLog.logSizeAt[stageLog.indexOf("ChamaInsereMSDE")];
  EXPECT_GE(lineIndex("Sincronização de datas (Oracle / SQL): "), loaded);
  EXPECT_EQ(server.callsTo("getDtMaxDESGRUPROMOCPR"), 1u);
  EXPECT_LT(lineIndex("Sincronização de datas (Oracle / SQL): "), lineIndex("-> TR_A"));
  EXPECT_EQ(lines.back().text, "----------------------");
}

// Without its own CAIXA row the register sends no shifts, only the list of registers.
TEST_F(OrchestratorFixture, ARegisterWithoutItsRowSendsNoShifts) {
  db->execute("DELETE FROM CAIXA");
  db->execute("INSERT INTO CAIXA (CDFILIAL, CDCAIXA) VALUES ('0001', '002')");
  db->execute(
      "INSERT INTO TURCAIXA (CDFILIAL, CDCAIXA, DTABERCAIX, DTFECHCAIX) VALUES ('0001', '001', "
      "'2026-12-06 08:00', '2026-12-06 18:00')");
  ASSERT_TRUE(run("TABELAS")) << last();
  const auto& args = request();
  EXPECT_EQ(args[2].getText(), "");
  EXPECT_TRUE(args[10].isNull());
  EXPECT_TRUE(args[11].isNull());
  db::DataSet registers;
  registers.setData(args[12].getBytes());
  EXPECT_EQ(registers.recordCount(), 1u);
  EXPECT_FALSE(logged("Busca dados da Turcaixa para serem baixados"));
  EXPECT_FALSE(logged("Busca dados da Turcaixa dos ultimos 60 dias para a tabela ExtratoCons"));
}

TEST_F(OrchestratorFixture, OtherModesHandNothingOverAndPassAnEmptyCount) {
  ASSERT_TRUE(run("ESTRUTURA")) << last();
  EXPECT_TRUE(linesStarting(kStart).empty());
  EXPECT_EQ(load.values.tableCount, "");
  EXPECT_EQ(load.values.mode, "ESTRUTURA");
}

TEST_F(OrchestratorFixture, SalesPositionsMayBeEmptyOnlyInModesThatDoNotUseThem) {
  for (size_t p = 190; p <= 198; ++p) reply[p] = db::Value();
  reply[191] = db::Value("");
  reply[144] = textPacket({"CDPOSESTATU"}, {{"1"}});
  EXPECT_TRUE(run("ESTOQUE")) << last();
  EXPECT_TRUE(load.sales[0].isNull());
  EXPECT_TRUE(run("ESTRUTURA")) << last();
  EXPECT_FALSE(run("EXTRATOCONS"));
  EXPECT_EQ(lines.back().text,
            "Except: getTabelas: a posição 190 (vendas) trouxe null em vez de um pacote de dados");
}

TEST_F(OrchestratorFixture, ServerTotalsReplaceTheCountsOfFirstLoads) {
  reply[28] = countPacket("QTDCONSUMIDOR", 12345);
  reply[182] = countPacket("QTDMOVBENEFICIOCTR", 678);
  ASSERT_TRUE(run("TABELAS")) << last();
  ASSERT_EQ(request()[13].getArray()[0], db::Value("S"));
  ASSERT_EQ(request()[13].getArray()[1], db::Value("S"));
  EXPECT_TRUE(logged(kEnd + "CONSUMIDOR - Nr.Registros: 12345"));
  EXPECT_TRUE(logged(kEnd + "MOVBENEFICIOCTR - Nr.Registros: 678"));
  // No EXTRATOCONS control row: the extract comes later by file, without a count line.
  EXPECT_TRUE(request()[5].getBool());
  EXPECT_TRUE(logged("EXTRATOCONS terá seu conteúdo baixado posteriormente."));
  EXPECT_FALSE(logged(kStart + "EXTRATOCONS"));
  EXPECT_TRUE(linesStarting(kEnd + "EXTRATOCONS -").empty());
  EXPECT_NE(state.findDataset("cdsEXTRATOCONS"), nullptr);
  // A whole base is loaded by file: no consumer catch-up.
  EXPECT_EQ(stageLog.indexOf("consDT 0001"), stageLog.events.size());
}

TEST_F(OrchestratorFixture, HighestExtractSequenceIsSentAsText) {
  control("EXTRATOCONS");
  db->execute(
      "INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, "
      "NRSEQMOVEXT, NRSEQREGCREDVND, IDIMPEXTRATO) VALUES ('C', 'K', 'F', '2026-12-01', '1', "
      "'00000000000000000042', 'S')");
  ASSERT_TRUE(run("TABELAS")) << last();
  EXPECT_EQ(request()[7].getText(), "00000000000000000042");
}

TEST_F(OrchestratorFixture, MoviclieIsSetAsideOnceAndKeptOnLaterRuns) {
  db->execute("INSERT INTO MOVICLIE (CDCLIENTE, NRSEQMOVCLI) VALUES ('C1', '1')");
  ASSERT_TRUE(run("TABELAS")) << last();
  EXPECT_EQ(count("BACKUP_MOVICLIE_TEMP"), 1u);
  EXPECT_EQ(count("MOVICLIE"), 0u);

  db->execute("INSERT INTO MOVICLIE (CDCLIENTE, NRSEQMOVCLI) VALUES ('C2', '2')");
  server.calls.clear();
  ASSERT_TRUE(run("TABELAS")) << last();
  EXPECT_EQ(count("MOVICLIE"), 1u);
  EXPECT_EQ(count("BACKUP_MOVICLIE_TEMP"), 1u);
  EXPECT_FALSE(request()[6].getBool());
}

TEST_F(OrchestratorFixture, ExtractRowsThatCanNeverBeExportedAreMarkedDone) {
  db->execute(
      "INSERT INTO VENDA (CDFILIAL, CDCAIXA, NRSEQVENDA, IDIMPVENDA, DTABERTUR) VALUES ('0001', "
      "'001', '7', 'S', '2026-12-06'), ('0001', '001', '8', 'N', '1899-12-30')");
  db->execute(
      "INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, "
      "NRSEQMOVEXT, CDFILIAL, CDCAIXA, NRSEQVENDA, IDIMPEXTRATO, DTABERCAIX) VALUES "
      "('C', 'K', 'F', '2026-12-01', '1', '0001', '001', '7', 'N', '2026-12-01'), "
      "('C', 'K', 'F', '2026-12-01', '2', '0001', '001', '9', 'N', '2026-12-01')");
  ASSERT_TRUE(run("TABELAS")) << last();
  auto mark = [this](const char* seq) {
    auto rows = db->query("SELECT IDIMPEXTRATO FROM EXTRATOCONS WHERE NRSEQMOVEXT = :P_N",
                          {{"P_N", std::string(seq)}});
    rows->next();
    return rows->at(0).asText();
  };
  EXPECT_EQ(mark("1"), "N");  // its sale is there: still to be exported
  EXPECT_EQ(mark("2"), "S");  // its sale is gone
  EXPECT_TRUE(logged("Executa acmUpdExtConsIMPEXTRATO 1"));
  EXPECT_FALSE(logged("Executa acmUpdExtConsIMPEXTRATO 2"));
  auto rows = db->query("SELECT IDIMPVENDA FROM VENDA WHERE NRSEQVENDA = '8'");
  rows->next();
  EXPECT_EQ(rows->at(0).asText(), "S");
  EXPECT_LT(lineIndex("Função preparaMSDEExtCons"), lineIndex("Executa acmUpdMovCaixaSemTurCaixa"));
  EXPECT_TRUE(state.existeExtratoPendente);
  EXPECT_FALSE(state.existeVendaPendente);
}

TEST_F(OrchestratorFixture, UnappliedTriggersAreListed) {
  triggers = textPacket({"NMTRIGGER"}, {{"TR_A"}, {"TR_B"}});
  ASSERT_TRUE(run("ESTOQUE")) << last();
  const size_t header = lineIndex("* AS TRIGGERS LISTADAS ABAIXO NÃO ESTÃO APLICADAS! *");
  ASSERT_LT(header, lines.size());
  EXPECT_EQ(lines[header - 1].text, "************************ ERRO **********************");
  EXPECT_EQ(lines[header + 1].text, "-> TR_A");
  EXPECT_EQ(lines[header + 2].text, "-> TR_B");
  EXPECT_EQ(lines[header + 3].text, "----------------------");
}

// A reply that cannot be handed over whole fails the download before any table is touched.
TEST_F(OrchestratorFixture, BadRepliesFailWithAClearLineAndHandNothingOver) {
  struct Case {
    std::string name;
    std::function<db::Value()> answer;
    std::string expected;
  };
  // The full reply with an integer where position `at` should hold something else.
  const auto integerAt = [this](size_t at) {
    return [this, at] {
      db::ValueArray bad = reply;
      bad[at] = db::Value(int64_t{1});
      return db::Value(bad);
    };
  };
  const std::vector<Case> cases{
      {"server error", []() -> db::Value { throw outside::ServerError("banco indisponível"); },
       "Except: banco indisponível"},
      {"error text", [] { return db::Value("Erro ORA-00942"); },
       "Except: getTabelas: Erro ORA-00942"},
      {"not an array", [] { return db::Value(int64_t{5}); },
       "Except: getTabelas devolveu integer em vez da lista de tabelas"},
      {"too short",
       [this] { return db::Value(db::ValueArray(reply.begin(), reply.begin() + 100)); },
       "Except: getTabelas devolveu 100 posições; são esperadas 303"},
      {"wrong kind", integerAt(302),
       "Except: getTabelas: a posição 302 (ORIGEMVENDAKIV) trouxe integer em vez de um pacote de "
       "dados"},
      {"sales return", integerAt(198),
       "Except: getTabelas: a posição 198 (retorno das vendas) trouxe integer em vez de um texto"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    lines.clear();
    stageLog.events.clear();
    state.datasets().clear();
    server.handlers["getTabelas"] = [&c](std::vector<db::Value>&) { return c.answer(); };
    EXPECT_FALSE(run("TABELAS"));
    EXPECT_EQ(lines.back().text, c.expected);
    EXPECT_EQ(lines.back().level, "3");
    EXPECT_TRUE(linesStarting(kStart).empty());
    EXPECT_TRUE(state.datasets().empty());
    EXPECT_EQ(stageLog.indexOf("ChamaInsereMSDE"), stageLog.events.size());
  }
  EXPECT_TRUE(dialogs.empty());  // the register opens itself: nobody to show it to
}

TEST_F(OrchestratorFixture, CorruptPacketStopsTheHandOverNamingThePosition) {
  reply[31] = db::Value(db::Bytes{1, 2, 3});
  db->execute("UPDATE CAIXA SET IDUTILABERAUTO = 'N'");
  EXPECT_FALSE(run("TABELAS"));
  EXPECT_TRUE(lines.back().text.starts_with("Except: ")) << lines.back().text;
  EXPECT_NE(lines.back().text.find("posição 31, PRODUTO"), std::string::npos) << lines.back().text;
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ("Except: " + dialogs[0], lines.back().text);
  EXPECT_EQ(stageLog.indexOf("ChamaInsereMSDE"), stageLog.events.size());
}

TEST_F(OrchestratorFixture, MissingLocalTableFailsTheDownloadBeforeTheRequest) {
  db->execute("DROP TABLE TURCAIXA");
  EXPECT_FALSE(run("TABELAS"));
  EXPECT_TRUE(lines.back().text.starts_with("Except: "));
  EXPECT_EQ(server.callsTo("getTabelas"), 0u);
}

// The lists are kept apart from the server's model; both must name the same positions.
TEST(HandOverLists, ModesMatchExactlyAsTheControllerAndTheLoadCompareThem) {
  EXPECT_EQ(handOverFor("TABELAS").tableCount, "145");
  for (const char* mode : {"tabelas", "Extratocons", "estoque"}) {
    EXPECT_TRUE(handOverFor(mode).positions.empty()) << mode;
    EXPECT_EQ(handOverFor(mode).tableCount, "") << mode;
  }
}

TEST(HandOverLists, AgreeWithTheCentralModelsPositions) {
  const auto& positions = central::centralModel().positions();
  for (const char* mode : {"TABELAS", "EXTRATOCONS", "ESTOQUE"}) {
    for (const HandOver& h : handOverFor(mode).positions) {
      const auto& p = positions.at(static_cast<size_t>(h.position));
      // EXTRATOCONS logs CACHECONS as "CacheCONS".
      EXPECT_TRUE(db::iequals(p.name, h.table)) << mode << " " << h.position << " " << h.table;
      EXPECT_EQ(p.dataset, h.dataset) << mode << " " << h.position;
    }
  }
  EXPECT_EQ(handOverFor("TABELAS").positions.size(), 291u);
  EXPECT_TRUE(handOverFor("ESTRUTURA").positions.empty());
  EXPECT_EQ(firstLoadTables().size(), 13u);
}

}  // namespace
}  // namespace download::testing
