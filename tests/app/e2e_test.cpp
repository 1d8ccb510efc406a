// The kivtab program against the reference central server on loopback, with a scale-1 world.
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "central_server_fixture.h"
#include "db/connect.h"
#include "db/core/connection.h"
#include "db/core/text.h"
#include "raw_http_server.h"

namespace {

using testing_support::ProcessResult;
using testing_support::readFile;
using testing_support::writeFile;

const std::string kSuccess = "ATUALIZAÇÃO REALIZADA COM SUCESSO";
const std::string kError = "OCORREU UM ERRO DURANTE A ATUALIZAÇÃO";
const std::string kRefused =
    "Este caixa não se encontra parametrizado para realizar a atualização da base local.";

class KivtabRun : public testing_support::KivtabRunSuite {
 protected:
  void SetUp() override {
    // The catalogue reports columns of the login's tables, so the string names the owner.
    conn = "Provider=SQLite;User ID=dbo;Data Source=" + (home.path() / "local.db").string();
    writeRegistry("127.0.0.1", central_->port());
    testing_support::prepareLocalDatabase(*local());
  }

  void writeRegistry(const std::string& host, int port) {
    writeFile(home.path() / "registry.ini",
              "; written by the test\n" + testing_support::kivtabRegistry(host, port, conn));
  }

  std::unique_ptr<db::Connection> local() { return db::connect(conn); }

  std::map<std::string, std::string> environment(const std::string& closeDelay = "0") {
    return testing_support::kivtabEnvironment(home.path(), closeDelay);
  }

  ProcessResult kivtab(const std::string& parameter) {
    return testing_support::run({KIVTAB_EXE, parameter}, environment(), output.path());
  }

  std::vector<std::string> logLines() { return testing_support::runLogLines(home.path()); }
  bool logged(const std::string& message) {
    for (const auto& line : logLines())
      if (line.size() > 22 && line.substr(22) == message) return true;
    return false;
  }

  std::string status(const char* column) {
    auto db = local();
    auto rows =
        db->query(std::string("SELECT ") + column + " FROM CTRLEXECREM WHERE IDCTRLEXECREM = 17");
    return rows->next() ? rows->at(0).asText() : "<no row>";
  }
};

TEST_F(KivtabRun, TabelasReachesSuccessAndLogsEachLineInFormat) {
  const ProcessResult r = kivtab("TABELAS_0001_001_");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find(kSuccess + "\n"), std::string::npos) << r.out;

  const auto lines = logLines();
  ASSERT_FALSE(lines.empty());
  const std::regex format(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d - .*)");
  for (const auto& line : lines) EXPECT_TRUE(std::regex_match(line, format)) << line;
  EXPECT_EQ(lines.front().substr(22), "Parâmetro da Baixa de Tabelas: TABELAS");
  EXPECT_EQ(lines.back().substr(22), kSuccess);
  EXPECT_TRUE(logged("Inicio CloseADOBaixa"));
  // The console shows the same lines, as written.
  EXPECT_NE(r.out.find(lines.front() + "\n"), std::string::npos);
}

TEST_F(KivtabRun, SyncRunIsHiddenAndReportsOkInTheStatusRow) {
  const ProcessResult r = kivtab("SYNC_17_0001_001_");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(status("IDSTCTRLEXECREM"), "OK");
  EXPECT_EQ(status("CDAPP"), "KIVTAB");
  EXPECT_EQ(status("TPOPERACAO"), "BAIXA_DADOS");
  EXPECT_NE(status("DTINICIO"), "");
  EXPECT_NE(status("DTULTATU"), "");
  EXPECT_TRUE(logged(kSuccess));
}

TEST_F(KivtabRun, RegistersThatMayNotUpdateEndWithTheBlackMessageAndNok) {
  // Answers every connection with bytes that are no reply of the protocol.
  testing_support::RawHttpServer garbage(
      "HTTP/1.1 200 OK\r\nContent-Length: 9\r\nConnection: close\r\n\r\n{\"result\"");
  const int closedPort = testing_support::freeLoopbackPort();
  struct Case {
    std::string parameter;
    int port;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"TABELAS_9999_001___17_", central_->port(),
       "Filial 9999 ou caixa 001 não foram encontrados no servidor"},
      {"TABELAS_0001_777___17_", central_->port(),
       "Filial 0001 ou caixa 777 não foram encontrados no servidor"},
      {"TABELAS_0001_009___17_", central_->port(), ""},
      {"TABELAS_0001_001___17_", closedPort,
       "Erro na tentativa de conexão com o servidor. Verifique o I.P. da chave IpServer no "
       "regedit"},
      {"TABELAS_0001_001___17_", garbage.port(),
       "Erro na tentativa de conexão com o servidor. Verifique o I.P. da chave IpServer no "
       "regedit"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.parameter + " on port " + std::to_string(c.port));
    writeRegistry("127.0.0.1", c.port);
    local()->execute("UPDATE CTRLEXECREM SET IDSTCTRLEXECREM = 'P'");
    const ProcessResult r = kivtab(c.parameter);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(kRefused + "\n"), std::string::npos) << r.out;
    EXPECT_EQ(status("IDSTCTRLEXECREM"), "NOK");
    if (!c.line.empty()) {
      EXPECT_TRUE(logged(c.line));
    }
  }
}

TEST_F(KivtabRun, RegisterWithoutAutomaticImportUpdatesWhenForced) {
  const ProcessResult r = kivtab("TABELAS_0001_009_ATU__17_");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(kSuccess), std::string::npos);
  EXPECT_EQ(status("IDSTCTRLEXECREM"), "OK");
}

TEST_F(KivtabRun, LocalDatabaseOfAnotherBranchFailsInRed) {
  local()->execute("INSERT INTO FILIAL (CDFILIAL) VALUES ('0002')");
  const ProcessResult r = kivtab("SYNC_17_0001_001_");
  EXPECT_EQ(r.status, 1);
  const auto lines = logLines();
  auto at = [&lines](const std::string& message) {
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].substr(22) == message) return i;
    return lines.size();
  };
  EXPECT_LT(at("BANCO DE DADOS LOCAL JÁ CARREGADO PARA OUTRA FILIAL"), at(kError));
  EXPECT_LT(at(kError), lines.size());
  EXPECT_EQ(status("IDSTCTRLEXECREM"), "NOK");
}

TEST_F(KivtabRun, RegisterNamingTheServerRewritesIPServer) {
  writeRegistry("localhost", central_->port());
  const ProcessResult r = kivtab("TABELAS_0001_002_");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string registry = readFile(home.path() / "registry.ini");
  EXPECT_NE(registry.find("\nIPServer=127.0.0.1\n"), std::string::npos) << registry;
  EXPECT_EQ(registry.rfind("; written by the test\n", 0), 0u);
  EXPECT_NE(registry.find("\nStringConex=" + conn + "\n"), std::string::npos);
  EXPECT_TRUE(logged("Início da alteração do  IPServer no Regedit"));
  EXPECT_TRUE(logged("Fim da alteração do IPServer no Regedit"));
}

// A second install (another program folder) against the same local database counts as a
// second instance.
TEST_F(KivtabRun, SecondInstanceExitsAtOnceWithItsOwnStatusAndOneLine) {
  testing_support::Process first({KIVTAB_EXE, "TABELAS_0001_001_"}, environment("10"),
                                 output.path());
  // The first run holds the lock through its close delay; a busy machine makes it slow.
  for (int i = 0; i < 2400 && !logged(kSuccess); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(logged(kSuccess));
  const size_t linesBefore = logLines().size();

  testing_support::TempDir otherInstall;
  writeFile(otherInstall.path() / "registry.ini",
            testing_support::kivtabRegistry("127.0.0.1", central_->port(), conn));
  const auto started = std::chrono::steady_clock::now();
  const ProcessResult second = testing_support::run(
      {KIVTAB_EXE, "TABELAS_0001_001_"},
      testing_support::kivtabEnvironment(otherInstall.path(), "0"), output.path());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
  EXPECT_FALSE(std::filesystem::exists(otherInstall.path() / "Dados"));
  // Neither success nor failure: a scheduler can tell that it did not run.
  EXPECT_EQ(second.status, 3);
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(second.err, "kivtab: another kivtab is running; this one did not start\n");
  EXPECT_EQ(logLines().size(), linesBefore);
  EXPECT_EQ(first.wait(std::chrono::seconds(30)).status, 0);
}

TEST_F(KivtabRun, BadInputGivesClearErrorsAndNeverACrash) {
  // Rejected parameter: reason logged, NOK, red message.
  ProcessResult r = kivtab("TABELAS_0001_001___17_x");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find(kError), std::string::npos);
  EXPECT_EQ(status("IDSTCTRLEXECREM"), "NOK");

  // A remote-execution id that is no number: reported on stderr and in the log, status 1.
  r = kivtab("TABELAS_0001_001___x17_");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("x17"), std::string::npos) << r.err;

  // A local database that cannot be opened.
  conn = "Provider=SQLite;Data Source=" + (home.path() / "no" / "such" / "dir.db").string();
  writeRegistry("127.0.0.1", central_->port());
  r = kivtab("TABELAS_0001_001_");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find(kError), std::string::npos);
  EXPECT_TRUE(logged("Sem conexão com servidor central."));

  // A malformed registry file is named on stderr; the run fails without crashing.
  writeFile(home.path() / "registry.ini", "IPServer=127.0.0.1\n");
  r = kivtab("TABELAS_0001_001_");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("registry.ini:1:"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find(kRefused), std::string::npos);

  // No registry file at all.
  std::filesystem::remove(home.path() / "registry.ini");
  r = kivtab("TABELAS_0001_001_");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find(kRefused), std::string::npos);
}

// The fiscal modes fill ARQSSINTEGRA with the lines the central server answers.
class FiscalRun : public KivtabRun {
 protected:
  std::vector<std::vector<std::string>> fiscalRows() {
    std::vector<std::vector<std::string>> rows;
    auto db = local();
    auto r = db->query(
        "SELECT NRSEQSINTEGRA, CDFILIAL, CDCAIXA, CDLOJA, DSARQSINTEGRA FROM ARQSSINTEGRA");
    while (r->next())
      rows.push_back({r->at(0).asText(), r->at(1).asText(), r->at(2).asText(), r->at(3).asText(),
                      r->at(4).asText()});
    return rows;
  }
  int64_t centralSales(const std::string& branch) {
    auto central = db::connect("Provider=SQLite;Data Source=" + central_->path());
    auto r = central->query(
        "SELECT COUNT(*) FROM VENDA WHERE CDFILIAL = :P_CDFILIAL AND DTVENDA >= '2000-01-01'",
        {{"P_CDFILIAL", branch}});
    return r->next() ? r->at(0).asInt() : -1;
  }
};

TEST_F(FiscalRun, EachRetrievalReplacesEveryRowAndAnEmptyAnswerLeavesNone) {
  ProcessResult r = kivtab("SINTEGRA_0001_01/01/2000_31/12/2100 23:59_T1__0001_001_LJ1_");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Geração de arquivos\n"), std::string::npos) << r.out;
  EXPECT_TRUE(logged("SINTEGRA 0001 01/01/2000 31/12/2100 23:59 T1 "));
  EXPECT_TRUE(logged("Entrada na função de baixa do arquivo Sintegra(getSintegra)"));
  auto rows = fiscalRows();
  ASSERT_EQ(static_cast<int64_t>(rows.size()), centralSales("0001") + 2);
  EXPECT_EQ(rows.front(), (std::vector<std::string>{"1", "0001", "001", "LJ1",
                                                    "10|SINTEGRA|0001|20000101|21001231|T1|"}));
  EXPECT_EQ(rows.back()[0], std::to_string(rows.size()));
  EXPECT_EQ(rows.back()[4], "90|" + std::to_string(rows.size()));

  // Another mode for another branch: none of the first retrieval's rows stay.
  r = kivtab("SPED_0002_01/11/2026_30/11/2026___0002_005__");
  EXPECT_EQ(r.status, 0) << r.err;
  rows = fiscalRows();
  ASSERT_GE(rows.size(), 2u);
  EXPECT_EQ(rows.front()[4], "|0000|SPED|0002|01112026|30112026|||");
  for (const auto& row : rows) {
    EXPECT_EQ(row[1], "0002");
    EXPECT_EQ(row[2], "005");
    EXPECT_EQ(row[3], "");
  }

  // A branch the central side does not know answers no lines: the table ends empty.
  r = kivtab("DIGITAL_9999_01/11/2026_30/11/2026___9999_001_LJ1_");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fiscalRows().empty());
}

TEST_F(FiscalRun, StartDateThatDoesNotParseFailsBeforeTheTableIsEmptied) {
  ASSERT_EQ(kivtab("SINTEGRA_0001_01/11/2026_30/11/2026___0001_001_LJ1_").status, 0);
  const auto before = fiscalRows();
  ASSERT_FALSE(before.empty());

  for (const std::string start : {"2026-11-01", "31/02/2026", "1/11/2026", "01/11/2026 25:00"}) {
    SCOPED_TRACE(start);
    const ProcessResult r = kivtab("SINTEGRA_0001_" + start + "_30/11/2026___0001_001_LJ1_");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Geração de arquivos\n"), std::string::npos) << r.out;
    EXPECT_TRUE(
        logged("Exception :'" + start + "' is not a date in the form dd/mm/yyyy [hh:nn[:ss]]"));
    EXPECT_EQ(fiscalRows(), before);
  }
}

}  // namespace
