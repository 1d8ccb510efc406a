// Two TABELAS runs of the kivtab program on an empty embedded database: the structure step
// installs the procedures, triggers and foreign keys, and the loads go through with the
// triggers firing.
#include <gtest/gtest.h>

#include <regex>

#include "central_server_fixture.h"
#include "db/connect.h"
#include "db/core/connection.h"
#include "db/core/text.h"

namespace {

using testing_support::ProcessResult;

class ServerCodeRun : public testing_support::KivtabRunSuite {
 protected:
  void SetUp() override {
    conn = "Provider=SQLite;User ID=dbo;Data Source=" + (home.path() / "local.db").string();
    testing_support::writeFile(
        home.path() / "registry.ini",
        testing_support::kivtabRegistry("127.0.0.1", central_->port(), conn));
  }
  ProcessResult kivtab() {
    return testing_support::run({KIVTAB_EXE, "TABELAS_0001_001_"},
                                testing_support::kivtabEnvironment(home.path()), output.path(),
                                std::chrono::seconds(600));
  }
  // The messages of the day's run log, in order.
  std::vector<std::string> messages() {
    std::vector<std::string> lines;
    for (const auto& entry :
         std::filesystem::directory_iterator(home.path() / "Dados" / "Kiv_Tab")) {
      if (entry.path().filename().string().rfind("Kiv_Tab", 0) != 0) continue;
      const std::string text = db::cp1252ToUtf8(testing_support::readFile(entry.path()));
      size_t start = 0;
      for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start).substr(22));
    }
    return lines;
  }
  int countLines(const std::string& prefix) {
    int n = 0;
    for (const auto& line : messages()) n += line.rfind(prefix, 0) == 0;
    return n;
  }
  int64_t count(const std::string& sql) {
    auto db = db::connect(conn);
    auto rows = db->query(sql);
    rows->next();
    return rows->at(0).asInt();
  }
};

TEST_F(ServerCodeRun, FirstRunInstallsEverythingAndTheNextRecreatesTheObjectsWithTriggersFiring) {
  const ProcessResult first = kivtab();
  ASSERT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_EQ(countLines("Exception"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM SYSOBJECTS WHERE TYPE = 'P' AND NAME IN "
                  "('NOVO_CODIGO', 'ATUALIZA_SALDO_CONS', 'ATUALIZA_SALDO_CONS_FKB')"),
            3);
  EXPECT_EQ(count("SELECT COUNT(*) FROM sys.triggers"), 10);
  EXPECT_EQ(count("SELECT COUNT(*) FROM sys.objects WHERE type = 'F' AND name LIKE 'FK%0%'"), 34);
  EXPECT_EQ(countLines("Aplicada a Constraint: "), 33);
  EXPECT_EQ(count("SELECT is_read_committed_snapshot_on FROM sys.databases WHERE name = 'local'"),
            1);
  const ProcessResult change = testing_support::run(
      {KIVTAB_CENTRAL_EXE, "change", "--db", central_->path()}, {}, central_->dir());
  ASSERT_EQ(change.status, 0) << change.err;
  std::smatch deleted;
  const std::regex kds(R"(  KDSMENSAGEM: \d+ updated, \d+ inserted, (\d+) deleted)");
  ASSERT_TRUE(std::regex_search(change.out, deleted, kds)) << change.out;

  const ProcessResult second = kivtab();
  ASSERT_EQ(second.status, 0) << second.out << second.err;
  EXPECT_EQ(countLines("Exception"), 0);
  EXPECT_EQ(countLines("INS_CMD_LOG CRIADA!"), 2);
  EXPECT_EQ(countLines("acmNovoCodigo1 APAGADA!"), 2);
  EXPECT_EQ(countLines("Snapshot isolation será alterado"), 1);
  // Every key of the second run says it exists already.
  EXPECT_EQ(countLines("Aplicada a Constraint: "), 33);
  EXPECT_EQ(countLines("Erro Itemvenda/Venda: "), 1);
  EXPECT_EQ(countLines("Erro PromoComanda/ComandaVen: "), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM sys.triggers"), 10);
  // The delete cache removed the messages deleted centrally; each was queued for the displays.
  EXPECT_EQ(count("SELECT COUNT(*) FROM KDSOPERACAOTEMP"), std::stoi(deleted[1]));
}

}  // namespace
