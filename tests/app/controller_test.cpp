#include "app/controller.h"

#include <gtest/gtest.h>

#include "db/connect.h"
#include "db/core/text.h"
#include "fakes.h"
#include "temp_dir.h"

namespace app {
namespace {

using testing_support::CentralRegisters;
using testing_support::Recorder;
using testing_support::RecordingView;
using testing_support::TempDir;

const std::string kWebCli(outside::Package::_sSiteWebSrvKey);

class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    conn = "Provider=SQLite;Data Source=" + (dir.path() / "local.db").string();
    testing_support::writeFile(registryPath, "; demo\n[" + kWebCli +
                                                 "]\nIPServer=localhost\nWebPort=dword:8211\n"
                                                 "StringConex=" +
                                                 conn + "\n");
    central.records[{"0001", "001"}] = {"", "S"};
    central.records[{"0001", "002"}] = {"127.0.0.1", "S"};
    central.records[{"0001", "009"}] = {"", "N"};
    auto db = local();
    db->execute("CREATE TABLE FILIAL (CDFILIAL VARCHAR(4) NOT NULL PRIMARY KEY)");
    db->execute(
        "CREATE TABLE PARAVEND (CDFILIAL VARCHAR(4) NOT NULL PRIMARY KEY, NMSQLNAMEDB "
        "VARCHAR(30) NULL, NMSQLSCHEMADB VARCHAR(30) NULL, IDDEBCONSCENTRAL CHAR(1) NULL, "
        "IDEXTCONSCENTRAL CHAR(1) NULL, IDSENCONSCENTRAL CHAR(1) NULL)");
    db->execute(
        "CREATE TABLE CTRLEXECREM (IDCTRLEXECREM INT NOT NULL PRIMARY KEY, CDAPP VARCHAR(20) "
        "NULL, TPOPERACAO VARCHAR(30) NULL, IDSTCTRLEXECREM VARCHAR(3) NULL, DTINICIO DATETIME "
        "NULL, DTULTATU DATETIME NULL)");
    db->execute("INSERT INTO CTRLEXECREM (IDCTRLEXECREM, IDSTCTRLEXECREM) VALUES (17, 'P')");
  }

  std::unique_ptr<db::Connection> local() { return db::connect(conn); }

  RunOutcome run(const std::string& argument) {
    RunLog log(dir.path(), clock);
    log.setView(&view);
    ErrorLog errorLog(dir.path(), clock);
    ConnectionFactories factories{
        [](std::string_view s) { return db::connect(s); },
        [this](std::string) { return std::make_unique<testing_support::FakeAppServer>(central); }};
    Controller controller(package, log, errorLog, view, steps, factories,
                          [] { return std::optional<ParameterFileRecord>(); });
    return controller.run(argument);
  }

  std::string logText() const {
    return db::cp1252ToUtf8(testing_support::readFile(
        dir.path() / "Dados" / "Kiv_Tab" / ("Kiv_Tab" + clock().format("ddmmyy") + ".txt")));
  }
  bool logged(const std::string& message) const {
    return logText().find(" - " + message + "\r\n") != std::string::npos;
  }
  std::string status(const char* column) {
    auto db = local();
    auto rows =
        db->query(std::string("SELECT ") + column + " FROM CTRLEXECREM WHERE IDCTRLEXECREM = 17");
    return rows->next() ? rows->at(0).asText() : "<no row>";
  }

  TempDir dir;
  std::filesystem::path registryPath = dir.path() / "registry.ini";
  std::string conn;
  outside::Package package{{dir.path(), registryPath}};
  Clock clock = [] { return db::DateTime::fromParts(2026, 12, 7, 6, 35, 10); };
  CentralRegisters central;
  Recorder rec;
  RunSteps steps = testing_support::recordingSteps(rec);
  RecordingView view;
};

TEST_F(ControllerTest, TabelasRunsEveryStepInOrderAndEndsInGreen) {
  local()->execute("INSERT INTO PARAVEND VALUES ('0001', 'CENTRALDB', 'dbo', 'S', 'N', 'S')");
  const RunOutcome outcome = run("TABELAS_0001_001_");

  EXPECT_TRUE(outcome.success);
  EXPECT_EQ(view.finalText, "ATUALIZAÇÃO REALIZADA COM SUCESSO");
  EXPECT_EQ(view.colour, MessageColour::Green);
  EXPECT_FALSE(view.hidden);
  EXPECT_EQ(rec.calls,
            (std::vector<std::string>{
                "UpdateMSDECache", "AplicaProcedures", "applyForeignKeys", "iniciaBaixaTabelas",
                "AplicaTriggerTrilobit 0001", "AplicaProcedureTrielo 0001", "ArredondaPrecoDia",
                "AplicaViewConsAtivo", "setupDebit 0001 CENTRALDB dbo", "setupPassword"}));
  EXPECT_EQ(rec.downloadValues.branch, "0001");
  EXPECT_EQ(rec.downloadValues.cashRegister, "001");
  EXPECT_EQ(rec.downloadValues.mode, "TABELAS");
  EXPECT_FALSE(rec.downloadValues.flag);
  EXPECT_EQ(rec.downloadValues.idSenConsCentral, "S");
  EXPECT_EQ(rec.downloadValues.nmSqlNameDb, "CENTRALDB");
  EXPECT_EQ(rec.downloadValues.nmSqlSchemaDb, "dbo");

  const std::string text = logText();
  EXPECT_EQ(text.rfind("07/12/2026 06:35:10 - Parâmetro da Baixa de Tabelas: TABELAS\r\n", 0), 0u);
  EXPECT_TRUE(logged("Inicio CloseADOBaixa"));
  EXPECT_TRUE(logged("Final CloseADOBaixa"));
  EXPECT_TRUE(logged("ATUALIZAÇÃO REALIZADA COM SUCESSO"));
  EXPECT_LT(text.find("Final CloseADOBaixa"), text.find("ATUALIZAÇÃO REALIZADA"));
  // No remote request: the status row is left alone.
  EXPECT_EQ(status("IDSTCTRLEXECREM"), "P");
}

TEST_F(ControllerTest, ARowLeftExecutingByAStoppedRunIsClosedByTheNextRequest) {
  local()->execute(
      "INSERT INTO CTRLEXECREM (IDCTRLEXECREM, CDAPP, IDSTCTRLEXECREM) VALUES (16, 'KIVTAB', 'E')");
  local()->execute(
      "INSERT INTO CTRLEXECREM (IDCTRLEXECREM, CDAPP, IDSTCTRLEXECREM) VALUES (15, 'OTHER', 'E')");
  ASSERT_TRUE(run("SYNC_17_0001_001_").success);
  auto db = local();
  auto rows = db->query("SELECT IDCTRLEXECREM, IDSTCTRLEXECREM FROM CTRLEXECREM ORDER BY 1");
  std::vector<std::string> seen;
  while (rows->next()) seen.push_back(rows->at(0).asText() + " " + rows->at(1).asText());
  EXPECT_EQ(seen, (std::vector<std::string>{"15 E", "16 NOK", "17 OK"}));
}

TEST_F(ControllerTest, SyncFormReportsEachPhaseInTheStatusRow) {
  std::vector<std::string> seen;
  auto look = [&](RunContext&) {
    seen.push_back(status("IDSTCTRLEXECREM") + " " + status("TPOPERACAO") + " " + status("CDAPP"));
  };
  rec.duringSchema = look;
  rec.duringDownload = look;
  const RunOutcome outcome = run("SYNC_17_0001_001_");

  EXPECT_TRUE(outcome.success);
  EXPECT_TRUE(view.hidden);
  EXPECT_EQ(seen,
            (std::vector<std::string>{"E ATUALIZA_ESTRUTURA KIVTAB", "E BAIXA_DADOS KIVTAB"}));
  EXPECT_EQ(status("IDSTCTRLEXECREM"), "OK");
  EXPECT_NE(status("DTINICIO"), "");
  EXPECT_NE(status("DTULTATU"), "");
}

TEST_F(ControllerTest, StartOfARemoteRequestMarksItExecuting) {
  rec.duringSchema = [&](RunContext&) { EXPECT_EQ(status("TPOPERACAO"), "ATUALIZA_ESTRUTURA"); };
  central.down = true;
  run("TABELAS_0001_001___17_");
  // The register check failed before any update; the start marks stayed until the end.
  EXPECT_EQ(status("TPOPERACAO"), "ATUALIZA_EXTRUTURA");
  EXPECT_EQ(status("CDAPP"), "KIVTAB");
  EXPECT_EQ(status("IDSTCTRLEXECREM"), "NOK");
}

TEST_F(ControllerTest, RegistersThatMayNotUpdateGetTheBlackMessageAndNok) {
  const std::string refused =
      "Este caixa não se encontra parametrizado para realizar a atualização da base local.";
  struct Case {
    std::string argument;
    bool serverDown;
    std::string logLine;
  };
  const std::vector<Case> cases = {
      {"TABELAS_0001_777___17_", false,
       "Filial 0001 ou caixa 777 não foram encontrados no servidor"},
      {"TABELAS_0009_001___17_", false,
       "Filial 0009 ou caixa 001 não foram encontrados no servidor"},
      {"TABELAS_0001_009___17_", false, ""},
      {"TABELAS_0001_001___17_", true,
       "Erro na tentativa de conexão com o servidor. Verifique o I.P. da chave IpServer no "
       "regedit"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    local()->execute("UPDATE CTRLEXECREM SET IDSTCTRLEXECREM = 'P'");
    central.down = c.serverDown;
    rec.calls.clear();
    const RunOutcome outcome = run(c.argument);
    EXPECT_FALSE(outcome.updateAllowed);
    EXPECT_EQ(view.finalText, refused);
    EXPECT_EQ(view.colour, MessageColour::Black);
    EXPECT_TRUE(rec.calls.empty());
    EXPECT_EQ(status("IDSTCTRLEXECREM"), "NOK");
    if (!c.logLine.empty()) {
      EXPECT_TRUE(logged(c.logLine));
    }
    EXPECT_TRUE(logged(refused));
  }
}

TEST_F(ControllerTest, ForcedUpdateOfARegisterWithoutAutomaticImport) {
  const RunOutcome outcome = run("TABELAS_0001_009_ATU_");
  EXPECT_TRUE(outcome.success);
  EXPECT_TRUE(outcome.updateAllowed);
  EXPECT_EQ(view.finalText, "ATUALIZAÇÃO REALIZADA COM SUCESSO");
}

TEST_F(ControllerTest, LocalDatabaseOfAnotherBranchStopsTheDownload) {
  local()->execute("INSERT INTO FILIAL (CDFILIAL) VALUES ('0002')");
  const RunOutcome outcome = run("SYNC_17_0001_001_");
  EXPECT_FALSE(outcome.success);
  EXPECT_TRUE(logged("BANCO DE DADOS LOCAL JÁ CARREGADO PARA OUTRA FILIAL"));
  EXPECT_TRUE(logged("OCORREU UM ERRO DURANTE A ATUALIZAÇÃO"));
  EXPECT_EQ(view.finalText, "OCORREU UM ERRO DURANTE A ATUALIZAÇÃO");
  EXPECT_EQ(view.colour, MessageColour::Red);
  EXPECT_EQ(std::count(rec.calls.begin(), rec.calls.end(), "iniciaBaixaTabelas"), 0);
  EXPECT_EQ(std::count(rec.calls.begin(), rec.calls.end(), "ArredondaPrecoDia"), 0);
  EXPECT_EQ(status("IDSTCTRLEXECREM"), "NOK");
  EXPECT_EQ(status("TPOPERACAO"), "ATUALIZA_ESTRUTURA");
}

TEST_F(ControllerTest, FailingStepsClearTheFlagAndTheRunGoesOn) {
  rec.schemaThrows = true;
  EXPECT_FALSE(run("TABELAS_0001_001_").success);
  EXPECT_TRUE(logged("Exception BaixaEstruturaMSDE: estrutura falhou"));
  // The download still ran; only the success steps were skipped.
  EXPECT_EQ(std::count(rec.calls.begin(), rec.calls.end(), "iniciaBaixaTabelas"), 1);
  EXPECT_EQ(std::count(rec.calls.begin(), rec.calls.end(), "AplicaViewConsAtivo"), 0);
  EXPECT_EQ(view.colour, MessageColour::Red);
  EXPECT_EQ(RunLog(dir.path(), clock).prgEstrutura().position, 1);

  rec = Recorder();
  rec.schemaApplies = false;
  rec.downloadFails = true;
  EXPECT_FALSE(run("TABELAS_0001_001_").success);
  EXPECT_EQ(std::count(rec.calls.begin(), rec.calls.end(), "AplicaProcedures"), 0);
}

TEST_F(ControllerTest, DownloadConnectionThatFailsFailsTheRun) {
  // The server goes away after the structure step: only the download's connect step fails.
  rec.duringSchema = [&](RunContext&) { central.down = true; };
  const RunOutcome outcome = run("SYNC_17_0001_001_");
  EXPECT_FALSE(outcome.success);
  EXPECT_TRUE(logged("Sem conexão com servidor central."));
  EXPECT_EQ(std::count(rec.calls.begin(), rec.calls.end(), "iniciaBaixaTabelas"), 0);
  EXPECT_EQ(view.finalText, "OCORREU UM ERRO DURANTE A ATUALIZAÇÃO");
  EXPECT_EQ(status("IDSTCTRLEXECREM"), "NOK");
}

TEST_F(ControllerTest, MissingConnectionStringFailsTheConnectStepsNotTheProgram) {
  testing_support::writeFile(registryPath,
                             "[" + kWebCli + "]\nIPServer=localhost\nWebPort=dword:8211\n");
  const RunOutcome outcome = run("TABELAS_0001_001_");
  EXPECT_FALSE(outcome.success);
  EXPECT_TRUE(logged("Sem conexão com servidor central."));
  EXPECT_TRUE(logged("Utilização de BANCO SQL 2005 ou inferior - adqtipotabela "));
  EXPECT_EQ(view.finalText, "OCORREU UM ERRO DURANTE A ATUALIZAÇÃO");
  EXPECT_EQ(std::count(rec.calls.begin(), rec.calls.end(), "UpdateMSDECache"), 0);
}

TEST_F(ControllerTest, RegisterNamingAnotherServerRewritesIPServerOnly) {
  run("TABELAS_0001_002_");
  const auto file = outside::RegistryFile::load(registryPath);
  EXPECT_EQ(file.get(kWebCli, "IPServer")->asText(), "127.0.0.1");
  EXPECT_EQ(file.get(kWebCli, "WebPort")->asInt(), 8211);
  EXPECT_EQ(file.get(kWebCli, "StringConex")->asText(), conn);
  EXPECT_EQ(testing_support::readFile(registryPath).rfind("; demo\n", 0), 0u);
  EXPECT_TRUE(logged("Início da alteração do  IPServer no Regedit"));
  EXPECT_TRUE(logged("Fim da alteração do IPServer no Regedit"));

  // A registry file that cannot be replaced: the failure is logged and the run goes on.
  std::filesystem::remove(registryPath);
  std::filesystem::create_directory(registryPath);
  run("TABELAS_0001_002_");
  EXPECT_TRUE(logged("Falha ao alterar o IPServer no Regedit"));
}

TEST_F(ControllerTest, RejectedParameterReportsNokAndTheReason) {
  const RunOutcome outcome = run("TABELAS_0001_001___17_x");
  EXPECT_FALSE(outcome.success);
  EXPECT_EQ(view.finalText, "OCORREU UM ERRO DURANTE A ATUALIZAÇÃO");
  EXPECT_EQ(status("IDSTCTRLEXECREM"), "NOK");
  EXPECT_NE(logText().find("Parâmetro da Baixa de Tabelas inválido: o último campo"),
            std::string::npos);
  EXPECT_EQ(central.calls, 0);
  EXPECT_TRUE(rec.calls.empty());
}

TEST_F(ControllerTest, IdThatIsNoNumberEndsTheRunWithAnError) {
  EXPECT_THROW(run("TABELAS_0001_001___x17_"), std::invalid_argument);
  EXPECT_TRUE(rec.calls.empty());
}

TEST_F(ControllerTest, BranchTableQueryFailureEscapesAfterTellingTheStatusRow) {
  local()->execute("DROP TABLE PARAVEND");
  EXPECT_THROW(run("SYNC_17_0001_001_"), db::Error);
  EXPECT_EQ(status("IDSTCTRLEXECREM"), "NOK");
}

TEST_F(ControllerTest, FiscalModesSkipTheUpdateAndCallTheFiscalRetrieval) {
  const RunOutcome outcome = run("SINTEGRA_0001_001_");
  EXPECT_EQ(view.finalText, "Geração de arquivos");
  EXPECT_EQ(view.colour, MessageColour::Black);
  EXPECT_TRUE(outcome.success);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"getSintegra SINTEGRA"}));
  const std::string text = logText();
  EXPECT_LT(text.find("Geração de arquivos"),
            text.find("Entrada na função de baixa do arquivo Sintegra(getSintegra)"));
}

TEST_F(ControllerTest, OtherModesSkipTheUpdateButRunTheSuccessSteps) {
  const RunOutcome outcome = run("XPTO_0001_001_");
  EXPECT_TRUE(outcome.success);
  EXPECT_EQ(rec.calls,
            (std::vector<std::string>{"AplicaTriggerTrilobit 0001", "AplicaProcedureTrielo 0001",
                                      "ArredondaPrecoDia", "AplicaViewConsAtivo"}));
}

TEST_F(ControllerTest, ImageColumnIsConvertedByWayOfVarbinaryOthersAreLeftAlone) {
  auto typeOf = [this] {
    auto db = local();
    auto rows = db->query(
        "SELECT T.name FROM sys.columns C INNER JOIN sys.objects O ON O.object_id = C.object_id "
        "INNER JOIN sys.types T ON T.user_type_id = C.user_type_id WHERE O.name = "
        "'KDSOPERACAOTEMP' AND C.name = 'DSOPERACAO'");
    return rows->next() ? rows->at(0).asText() : std::string();
  };
  run("TABELAS_0001_001_");
  EXPECT_TRUE(logged("adqTipoTabela Open"));
  EXPECT_FALSE(logged("Execute acmUpdImage"));

  local()->execute("CREATE TABLE KDSOPERACAOTEMP (ID INT NOT NULL, DSOPERACAO IMAGE NULL)");
  local()->execute("INSERT INTO KDSOPERACAOTEMP VALUES (1, NULL)");
  local()->execute("INSERT INTO KDSOPERACAOTEMP VALUES (2, :P_IMAGE)",
                   {{"P_IMAGE", db::Value(db::Bytes{'o', 'p', 'e', 'r', 'a', 'c', 'a', 'o'})}});
  run("TABELAS_0001_001_");
  EXPECT_EQ(typeOf(), "varchar");
  EXPECT_FALSE(logged("Utilização de BANCO SQL 2005 ou inferior - adqtipotabela "));
  const std::string text = logText();
  EXPECT_LT(text.find("Execute acmUpdImage"), text.find("Execute acmUpdVarBinary"));
  auto db = local();
  auto rows = db->query("SELECT DSOPERACAO FROM KDSOPERACAOTEMP ORDER BY ID");
  ASSERT_TRUE(rows->next());
  EXPECT_TRUE(rows->at(0).isNull());
  ASSERT_TRUE(rows->next());
  EXPECT_EQ(rows->at(0).asText(), "operacao");
}

TEST_F(ControllerTest, UnavailableStepsNeitherFailNorClaimWork) {
  steps = RunSteps::unavailable();
  const RunOutcome outcome = run("TABELAS_0001_001_");
  EXPECT_TRUE(outcome.success);
  EXPECT_EQ(view.finalText, "ATUALIZAÇÃO REALIZADA COM SUCESSO");
  // Each step left out says so, once, in the run log.
  for (const char* step : {"UpdateMSDECache", "applyForeignKeys", "iniciaBaixaTabelas",
                           "AplicaTriggerTrilobit", "ArredondaPrecoDia", "AplicaViewConsAtivo"}) {
    const std::string line = " - Etapa não incluída neste programa: " + std::string(step) + "\r\n";
    const std::string text = logText();
    EXPECT_NE(text.find(line), std::string::npos) << step;
    EXPECT_EQ(text.find(line), text.rfind(line)) << step;
  }
}

}  // namespace
}  // namespace app
