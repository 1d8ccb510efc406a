#include <gtest/gtest.h>

#include <fstream>

#include "download/statement_files/line_ranges.h"
#include "download/statement_files/server_file_transfer.h"
#include "test_support.h"

namespace download::testing {
namespace {

namespace fs = std::filesystem;

// Writes the zip it was given into the local path, as the HTTP fetch would.
class FakeFetcher : public FileFetcher {
 public:
  std::vector<ZipEntry> entries;
  std::string password{kZipPassword};
  std::string rawContent;  // when set, written instead of a zip
  bool fail = false;
  std::vector<std::string> serverPaths;

  void getInsertFile(const fs::path& localFile, std::string_view serverPath,
                     std::string_view) override {
    serverPaths.emplace_back(serverPath);
    if (fail || serverPath.empty() || serverPath.ends_with('/'))
      throw outside::ServerError("fetch failed");
    if (!rawContent.empty()) {
      std::ofstream(localFile, std::ios::binary) << rawContent;
      return;
    }
    writeZip(localFile, entries, password);
  }
};

class CountingHooks : public FileKindHooks {
 public:
  int clienFil = 0, consDt = 0;
  void afterConsClienFil(int64_t) override { ++clienFil; }
  void afterConsDt(int64_t) override { ++consDt; }
};

std::string consumerLine(int i) {
  return "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, DTULTATUCSUM) VALUES ('1', 'C" +
         std::to_string(i) + "', '2026-01-01 10:00:00')";
}

std::string consumerFile(int from, int to) {
  std::string text;
  for (int i = from; i <= to; ++i) text += consumerLine(i) + "\r\n";
  return text;
}

class ServerFile : public ::testing::Test {
 protected:
  void SetUp() override {
    db.execute(
        "CREATE TABLE CONSUMIDOR (CDCLIENTE VARCHAR(10), CDCONSUMIDOR VARCHAR(10) PRIMARY KEY, "
        "DTULTATUCSUM DATETIME)");
    db.execute("CREATE TABLE EXTRATOCONS (NRSEQ INT)");
    server.handlers["getNRORG"] = [](auto&) { return db::Value("7"); };
    server.handlers["setGeraArquivo"] = [](auto&) { return db::Value("/files/gen/"); };
    server.handlers["getAcessoArquivo"] = [](auto& args) {
      const std::string file = args.at(0).asText();
      return db::Value("access-line\r\n" + file + ".zip");
    };
    server.handlers["setApagaArquivo"] = [](auto&) { return db::Value("Arquivo apagado"); };
    server.handlers["setKeepAlive"] = [](auto&) { return db::Value(); };
  }

  ServerFileRequest request(std::string kind = "CONS", std::string file = "insertConsumidor.sql",
                            int64_t ini = 0, int64_t fin = 0) {
    ServerFileRequest r;
    r.nmArquivo = std::move(file);
    r.tipoArquivo = std::move(kind);
    r.linhaIni = ini;
    r.linhaFin = fin;
    r.cdFilial = "0001";
    r.cdCaixa = "001";
    return r;
  }

  std::vector<std::string> filesInDir() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path()))
      if (e.is_regular_file()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::vector<std::string> batchLines() const {
    std::vector<std::string> out;
    for (const auto& l : log.lines)
      if (l.starts_with("Registros da tabela")) out.push_back(l);
    return out;
  }

  testing_support::ObservedConnection db;
  Recorder log;
  FakeAppServer server;
  FakeFetcher fetcher;
  TempDir dir;
  CountingHooks hooks;
  ServerFileTransfer transfer{db, server, fetcher, dir.path(), log.services, &hooks};
};

TEST_F(ServerFile, TwelveThousandLinesCommitThreeTimesAndLogTwoBatches) {
  fetcher.entries = {{"insertConsumidor.sql", consumerFile(1, 12000)}};
  transfer.baixaArquivoServidor(request());

  EXPECT_EQ(db.count("CONSUMIDOR"), 12000);
  EXPECT_EQ(db.commits, 3);
  EXPECT_EQ(batchLines(),
            (std::vector<std::string>{"Registros da tabela Consumidor inseridos: 5000",
                                      "Registros da tabela Consumidor inseridos: 10000"}));
  EXPECT_EQ(transfer.totalStatements(), 12000);
  EXPECT_TRUE(transfer.consumerLoadOk);
  EXPECT_EQ(server.callsTo("setKeepAlive"), 1u);
  EXPECT_TRUE(log.logged("Início da inserção da tabela Consumidor..."));
  // The server's file was fetched from the directory it named, then deleted there.
  EXPECT_EQ(fetcher.serverPaths, std::vector<std::string>{"/files/gen/insertConsumidor.sql.zip"});
  const auto deleted = std::find_if(server.calls.begin(), server.calls.end(),
                                    [](const auto& c) { return c.method == "setApagaArquivo"; });
  ASSERT_NE(deleted, server.calls.end());
  EXPECT_EQ(deleted->args.at(0).asText(), "/files/gen/insertConsumidor.sql.zip");
  EXPECT_EQ(deleted->args.at(1).asText(), "0001");
  // Only the time-stamped copy stays behind.
  EXPECT_EQ(filesInDir(),
            std::vector<std::string>{"insertConsumidor_BKP07.12.2026.063000.sql.zip"});
}

TEST_F(ServerFile, AFailingLineKeepsEarlierBatchesUndoesItsOwnAndClearsTheFlags) {
  std::string text =
      consumerFile(1, 7000) + "INSERT INTO NADA (X) VALUES (1)\n" + consumerFile(7002, 8000);
  fetcher.entries = {{"insertConsumidor.sql", text}};
  transfer.baixaArquivoServidor(request());

  EXPECT_EQ(db.count("CONSUMIDOR"), 5000);
  EXPECT_FALSE(transfer.consumerLoadOk);
  EXPECT_FALSE(transfer.extractLoadOk);
  EXPECT_EQ(db.rollbacks, 1);
  EXPECT_EQ(transfer.totalStatements(), 7000);
  const auto error = std::find_if(log.lines.begin(), log.lines.end(), [](const auto& l) {
    return l.starts_with("Erro no insert da tabela Consumidor -> ");
  });
  ASSERT_NE(error, log.lines.end());
  EXPECT_TRUE(error->ends_with(" -> linha 7001")) << *error;
  EXPECT_FALSE(db.inTransaction());
}

TEST_F(ServerFile, LinesOtherThanInsertsIntoTheKindsTableAreRefusedAndChangeNothing) {
  db.execute("CREATE TABLE OPERADOR (CDOPERADOR VARCHAR(10), NMOPERADOR VARCHAR(40))");
  db.execute("INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR) VALUES ('1', 'Ana')");
  const std::vector<std::string> refused = {
      "DELETE FROM OPERADOR",
      "UPDATE OPERADOR SET NMOPERADOR = 'x'",
      "INSERT INTO OPERADOR (CDOPERADOR) VALUES ('2')",
      "INSERT INTO LOJA.dbo.CONSUMIDOR (CDCLIENTE) VALUES ('1')",
      "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR) VALUES ('1', 'C9'); DELETE FROM OPERADOR",
      "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR) SELECT CDOPERADOR, NMOPERADOR FROM "
      "OPERADOR",
      "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR) VALUES ('1', (SELECT MAX(NMOPERADOR) FROM "
      "OPERADOR))",
      "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR) VALUES ('1', 'C9') -- comment",
  };
  for (const auto& line : refused) {
    SCOPED_TRACE(line);
    log.lines.clear();
    transfer.consumerLoadOk = true;
    fetcher.entries = {{"insertConsumidor.sql", consumerLine(1) + "\n" + line + "\n"}};
    transfer.baixaArquivoServidor(request());
    EXPECT_EQ(db.count("CONSUMIDOR"), 0);
    EXPECT_EQ(db.count("OPERADOR"), 1);
    EXPECT_EQ(db.scalar("SELECT NMOPERADOR FROM OPERADOR").asText(), "Ana");
    EXPECT_FALSE(transfer.consumerLoadOk);
    const auto error = std::find_if(log.lines.begin(), log.lines.end(), [](const auto& l) {
      return l.starts_with("Erro no insert da tabela Consumidor -> linha recusada");
    });
    ASSERT_NE(error, log.lines.end());
    EXPECT_TRUE(error->ends_with(" -> linha 2")) << *error;
  }
}

TEST_F(ServerFile, AFailingStatementIsLoggedWithoutItsValues) {
  db.execute("ALTER TABLE CONSUMIDOR ADD CDSENHACONS VARCHAR(20)");
  const std::string line =
      "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, CDSENHACONS) VALUES ('1', 'C1', "
      "'s3cr' + CHAR(13) + 'et-pw')";
  fetcher.entries = {{"insertConsumidor.sql", line + "\n" + line + "\n"}};
  transfer.baixaArquivoServidor(request());
  EXPECT_EQ(db.count("CONSUMIDOR"), 0);
  const auto error = std::find_if(log.lines.begin(), log.lines.end(), [](const auto& l) {
    return l.starts_with("Erro no insert da tabela Consumidor -> ");
  });
  ASSERT_NE(error, log.lines.end());
  EXPECT_TRUE(
      error->ends_with(" -> linha 2: INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, "
                       "CDSENHACONS) VALUES (...)"))
      << *error;
  for (const auto& l : log.lines) EXPECT_EQ(l.find("et-pw"), std::string::npos) << l;
}

TEST_F(ServerFile, AKeepAliveFailureMidFileReachesTheCallerKeepingTheStatementsThatRan) {
  fetcher.entries = {{"insertConsumidor.sql", consumerFile(1, 12000)}};
  server.handlers["setKeepAlive"] = [](auto&) -> db::Value {
    throw outside::ServerError("connection lost");
  };
  EXPECT_THROW(transfer.baixaArquivoServidor(request()), outside::ServerError);
  // The failure came after statement 10000: every statement run so far worked and stays.
  EXPECT_EQ(db.count("CONSUMIDOR"), 10000);
  EXPECT_EQ(db.rollbacks, 0);
  EXPECT_FALSE(db.inTransaction());
  for (const auto& line : log.lines) EXPECT_FALSE(line.starts_with("Erro no insert")) << line;
}

TEST_F(ServerFile, DeleteCacheKindsKeepNoCopyAndLogNoBatches) {
  db.execute("CREATE TABLE DELCACHEPRODUTOSEG (CDPRODUTO INT)");
  std::string text;
  for (int i = 0; i < 6000; ++i)
    text += "INSERT INTO DELCACHEPRODUTOSEG (CDPRODUTO) VALUES (" + std::to_string(i) + ")\n";
  fetcher.entries = {{"DELCACHEPRODUTOSEG.sql", text}};
  transfer.baixaArquivoServidor(request("DELCACHEPRODUTOSEG", "DELCACHEPRODUTOSEG.sql"));

  EXPECT_EQ(db.count("DELCACHEPRODUTOSEG"), 6000);
  EXPECT_TRUE(batchLines().empty());
  EXPECT_TRUE(filesInDir().empty());
  EXPECT_TRUE(log.logged("Início da inserção da tabela DelCacheProdutoSeg..."));
}

TEST_F(ServerFile, OnlyTheFirstConsumerRangeEmptiesTheTable) {
  db.execute("INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR) VALUES ('1', 'OLD')");
  fetcher.entries = {{"insertConsumidor.sql", consumerFile(100001, 100002)}};
  transfer.baixaArquivoServidor(request("CONS", "insertConsumidor.sql", 100001, 200000));
  EXPECT_EQ(db.count("CONSUMIDOR"), 3);
  EXPECT_TRUE(log.logged("setGeraArquivo de 100001 a 200000"));
  const auto& gera = server.calls.at(1);
  ASSERT_EQ(gera.method, "setGeraArquivo");
  EXPECT_EQ(gera.args.size(), 8u);
  EXPECT_EQ(gera.args.at(2).asText(), "7");
  EXPECT_EQ(gera.args.at(6).asInt(), 100001);
  EXPECT_EQ(gera.args.at(7).asInt(), 200000);

  fetcher.entries = {{"insertConsumidor.sql", consumerFile(1, 2)}};
  transfer.baixaArquivoServidor(request("CONS", "insertConsumidor.sql", 1, 100000));
  EXPECT_EQ(db.count("CONSUMIDOR"), 2);
}

TEST_F(ServerFile, StatementFilesLeftByAnEarlierRunAreRunTooWithinTheKindsTable) {
  fs::create_directories(transfer.extractionDirectory());
  std::ofstream(transfer.extractionDirectory() / "insertExtratoCons.sql")
      << "INSERT INTO EXTRATOCONS (NRSEQ) VALUES (1)\n";
  std::ofstream(transfer.extractionDirectory() / "older.sql") << consumerFile(900, 902);
  fetcher.entries = {{"insertConsumidor.sql", consumerFile(1, 2)}};
  transfer.baixaArquivoServidor(request());
  EXPECT_EQ(db.count("CONSUMIDOR"), 5);
  EXPECT_EQ(db.count("EXTRATOCONS"), 0);
  EXPECT_FALSE(transfer.consumerLoadOk);
  EXPECT_EQ(transfer.totalStatements(), 5);
  EXPECT_EQ(filesInDir().size(), 1u);  // the copy
}

TEST_F(ServerFile, CopiesAreOwnerOnlyAndTheNewestSevenStay) {
  for (int day = 1; day <= 8; ++day)
    std::ofstream(dir.path() /
                  ("insertConsumidor_BKP0" + std::to_string(day) + ".11.2026.063000.sql.zip"))
        << "old";
  std::ofstream(dir.path() / "insertExtratoCons_BKP01.01.2020.000000.sql.zip") << "other file";
  fetcher.entries = {{"insertConsumidor.sql", consumerFile(1, 2)}};
  transfer.baixaArquivoServidor(request());
  const auto files = filesInDir();
  EXPECT_EQ(files.size(), 8u);
  EXPECT_EQ(files.front(), "insertConsumidor_BKP03.11.2026.063000.sql.zip");
  EXPECT_NE(std::find(files.begin(), files.end(), "insertExtratoCons_BKP01.01.2020.000000.sql.zip"),
            files.end());
  const auto perms =
      fs::status(dir.path() / "insertConsumidor_BKP07.12.2026.063000.sql.zip").permissions();
  EXPECT_EQ(perms, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(ServerFile, ExtractionLeftoversAreRemovedAndTheRunLogFolderHoldsNoStatementFile) {
  fs::create_directories(transfer.extractionDirectory() / "sub");
  std::ofstream(transfer.extractionDirectory() / "insertConsumidor.sql.part") << "INSERT";
  fetcher.entries = {{"insertConsumidor.sql", consumerFile(1, 2)}};
  transfer.baixaArquivoServidor(request());
  EXPECT_EQ(db.count("CONSUMIDOR"), 2);
  EXPECT_TRUE(fs::is_empty(transfer.extractionDirectory()));
}

TEST_F(ServerFile, MembersLeavingTheFolderAreRefusedAndTheOthersRun) {
  const fs::path outside = dir.path().parent_path() / "kivtab-escape.sql";
  fs::remove(outside);
  fetcher.entries = {{"../kivtab-escape.sql", consumerLine(1)},
                     {"/tmp/kivtab-absolute.sql", consumerLine(2)},
                     {"sub/../../kivtab-escape.sql", consumerLine(3)},
                     {"insertConsumidor.sql", consumerFile(10, 11)}};
  transfer.baixaArquivoServidor(request());
  EXPECT_FALSE(fs::exists(outside));
  EXPECT_EQ(log.countStarting("Arquivo recusado no .zip"), 3u);
  EXPECT_EQ(db.count("CONSUMIDOR"), 2);
}

TEST_F(ServerFile, AccessIsAskedAgainAfterAReconnect) {
  int failures = 1;
  auto answer = server.handlers["getAcessoArquivo"];
  server.handlers["getAcessoArquivo"] = [&](auto& args) {
    if (failures-- > 0) throw outside::ServerError("socket closed");
    return answer(args);
  };
  fetcher.entries = {{"insertConsumidor.sql", consumerFile(1, 3)}};
  transfer.baixaArquivoServidor(request());
  EXPECT_TRUE(log.logged("Reconecta com a Qir.dll"));
  EXPECT_EQ(server.callsTo("getAcessoArquivo"), 2u);
  EXPECT_EQ(db.count("CONSUMIDOR"), 3);
  EXPECT_EQ(server.connects, 2);  // the retry and the reconnect after the fetch

  // A second failure is logged with its step and the fetch, with nothing to fetch, raises.
  failures = 2;
  EXPECT_THROW(transfer.baixaArquivoServidor(request()), outside::ServerError);
  EXPECT_TRUE(
      log.logged("Exceção -> socket closed Comando: "
                 "netProcedimentos.AppServer.getAcessoArquivo(stDiretorio+P_NMARQUIVO);"));
}

TEST_F(ServerFile, AFailedGenerationStillTriesTheFetch) {
  server.handlers["setGeraArquivo"] = [](auto&) -> db::Value {
    throw outside::ServerError("ORA-00942");
  };
  fetcher.entries = {{"insertConsumidor.sql", consumerFile(1, 1)}};
  EXPECT_THROW(transfer.baixaArquivoServidor(request()), outside::ServerError);
  EXPECT_TRUE(log.loggedStarting(
      "Exceção -> ORA-00942 Comando: netProcedimentos.AppServer.setGeraArquivo("));
  EXPECT_EQ(fetcher.serverPaths.size(), 1u);
  EXPECT_EQ(server.callsTo("getAcessoArquivo"), 0u);
}

TEST_F(ServerFile, ABrokenArchiveIsLoggedAndNothingRuns) {
  fetcher.entries = {{"insertConsumidor.sql", consumerFile(1, 3)}};
  fetcher.password = "wrong";
  transfer.baixaArquivoServidor(request());
  EXPECT_TRUE(log.loggedStarting("Exception componente TAbUnZipper: "));
  EXPECT_EQ(db.count("CONSUMIDOR"), 0);

  fetcher.rawContent = "this is not a zip";
  transfer.baixaArquivoServidor(request());
  EXPECT_EQ(log.countStarting("Exception componente TAbUnZipper: "), 2u);
  EXPECT_EQ(filesInDir().size(), 1u);  // the copy only; zip and leftovers removed
}

TEST_F(ServerFile, AFailedFetchRaisesBeforeAnyStatement) {
  fetcher.fail = true;
  EXPECT_THROW(transfer.baixaArquivoServidor(request()), outside::ServerError);
  EXPECT_EQ(server.callsTo("setApagaArquivo"), 0u);
}

TEST_F(ServerFile, CatchUpKindsRunTheirFinishAfterEachFile) {
  db.execute("CREATE TABLE CONSCLIENFIL_TMP (CDCLIENTE VARCHAR(10))");
  fetcher.entries = {
      {"insertConsumidorClienFil.sql", "INSERT INTO CONSCLIENFIL_TMP (CDCLIENTE) VALUES ('1')\n"},
      {"second.sql", "INSERT INTO CONSCLIENFIL_TMP (CDCLIENTE) VALUES ('2')\n"}};
  transfer.baixaArquivoServidor(request("CONSCLIENFIL_TMP", "insertConsumidorClienFil.sql"));
  EXPECT_EQ(hooks.clienFil, 2);
  EXPECT_EQ(hooks.consDt, 0);
  EXPECT_EQ(db.count("CONSCLIENFIL_TMP"), 2);
}

TEST_F(ServerFile, LinesInCodePage1252AndBlankLinesAreHandled) {
  fetcher.entries = {
      {"insertConsumidor.sql",
       "\xEF\xBB\xBF" + consumerLine(1) + "\n\n   \n" +
           "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR) VALUES ('Jos\xE9', 'C2')\n"}};
  transfer.baixaArquivoServidor(request());
  EXPECT_EQ(db.count("CONSUMIDOR"), 2);
  EXPECT_EQ(db.scalar("SELECT CDCLIENTE FROM CONSUMIDOR WHERE CDCONSUMIDOR = 'C2'").asText(),
            "José");
  EXPECT_TRUE(transfer.consumerLoadOk);
}

TEST(LineRanges, WholeFileUpToOneRangeThenConsecutiveRanges) {
  EXPECT_EQ(lineRanges(0), std::vector<LineRange>{LineRange{}});
  EXPECT_EQ(lineRanges(100000), std::vector<LineRange>{LineRange{}});
  EXPECT_EQ(lineRanges(200000), (std::vector<LineRange>{{1, 100000}, {100001, 200000}}));
  EXPECT_EQ(lineRanges(200123),
            (std::vector<LineRange>{{1, 100000}, {100001, 200000}, {200001, 200123}}));
}

TEST(KeepAliveTest, EveryTenThousandTicksOrAtOnce) {
  FakeAppServer server;
  server.handlers["setKeepAlive"] = [](auto&) { return db::Value(); };
  KeepAlive keepAlive(server);
  for (int i = 0; i < 25000; ++i) keepAlive.mantemConexao(false);
  EXPECT_EQ(server.callsTo("setKeepAlive"), 2u);
  EXPECT_EQ(keepAlive.counter(), 5000);
  keepAlive.mantemConexao(true);
  EXPECT_EQ(server.callsTo("setKeepAlive"), 3u);

  server.handlers["setKeepAlive"] = [](auto&) -> db::Value { throw outside::ServerError("down"); };
  EXPECT_THROW(keepAlive.mantemConexao(true), outside::ServerError);
}

}  // namespace
}  // namespace download::testing
