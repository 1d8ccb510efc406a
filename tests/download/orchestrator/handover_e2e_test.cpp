// The kivtab program's download against the reference central server on loopback, with local
// tables made from the central model.
#include <gtest/gtest.h>
#include <httplib.h>

#include <map>
#include <thread>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "db/core/connection.h"
#include "db/core/text.h"
#include "db/embedded/embedded.h"
#include "download/orchestrator/handover_lists.h"
#include "support/background_http_server.h"
#include "support/central_server_fixture.h"

namespace {

using testing_support::ProcessResult;

const std::string kStart = "Início da Importação da Tabela: ";
const std::string kEnd = "    Fim da Importação da Tabela: ";
const std::string kBranch = "0001";

// Passes everything on to the central server, but drops the connection in the middle of the
// download request's reply, as a server that goes away would.
class FailingDownloadProxy {
 public:
  explicit FailingDownloadProxy(int centralPort) : central_("127.0.0.1", centralPort) {
    central_.set_read_timeout(600, 0);
    auto forward = [this](const httplib::Request& req, httplib::Response& res) {
      if (req.path.find("getTabelas") != std::string::npos) {
        res.set_content_provider(1 << 20, "application/json",
                                 [](size_t, size_t, httplib::DataSink& sink) {
                                   sink.write("{\"result\": [", 12);
                                   return false;
                                 });
        return;
      }
      auto reply = req.method == "GET" ? central_.Get(req.path)
                                       : central_.Post(req.path, req.body, "application/json");
      if (!reply) {
        res.status = 502;
        return;
      }
      res.status = reply->status;
      res.set_content(reply->body, reply->get_header_value("Content-Type"));
    };
    http_.server().Get(".*", forward);
    http_.server().Post(".*", forward);
    http_.start();
  }
  int port() const { return http_.port(); }

 private:
  httplib::Client central_;
  testing_support::BackgroundHttpServer http_;
};

class HandOverRun : public testing_support::KivtabRunSuite {
 protected:
  void SetUp() override {
    const std::string file = (home.path() / "local.db").string();
    conn = "Provider=SQLite;Data Source=" + file;
    writeRegistry(central_->port());
    // Until the schema step creates them, the local tables come from the central model.
    auto local = db::embedded::open(db::embedded::Options{file});
    central::createCentralDatabase(*local, central::centralModel());
  }

  void writeRegistry(int port) {
    testing_support::writeFile(home.path() / "registry.ini",
                               testing_support::kivtabRegistry("127.0.0.1", port, conn));
  }

  ProcessResult kivtab(const std::string& parameter) {
    return testing_support::run({KIVTAB_EXE, parameter},
                                testing_support::kivtabEnvironment(home.path()), output.path(),
                                std::chrono::seconds(600));
  }

  // The messages of the day's run log, without their time stamps.
  std::vector<std::string> messages() {
    std::vector<std::string> found;
    const auto dir = home.path() / "Dados" / "Kiv_Tab";
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (!entry.path().filename().string().starts_with("Kiv_Tab")) continue;
      const std::string text = db::cp1252ToUtf8(testing_support::readFile(entry.path()));
      size_t start = 0;
      for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        found.push_back(text.substr(start + 22, end - start - 22));
    }
    return found;
  }
  std::vector<std::string> starting(const std::string& prefix) {
    std::vector<std::string> found;
    for (const auto& m : messages())
      if (m.starts_with(prefix)) found.push_back(m);
    return found;
  }
  // The same, from the hand-over on (the anticipations log import lines of their own).
  std::vector<std::string> handedOver(const std::string& prefix) {
    const auto all = messages();
    auto it = std::find_if(all.begin(), all.end(), [](const std::string& m) {
      return m.find("INÍCIO DA IMPORTAÇÃO DE TABELAS NA BASE LOCAL") != std::string::npos;
    });
    std::vector<std::string> found;
    for (; it != all.end(); ++it)
      if (it->starts_with(prefix)) found.push_back(*it);
    return found;
  }

  // The rows the central server holds for the branch: by its branch column, else through the
  // branch's clients, else all of them.
  int64_t centralRows(const std::string& tableName) {
    const central::Table& table = central::centralModel().table(tableName);
    std::string sql = "SELECT COUNT(*) FROM " + table.name;
    if (!table.branchColumn.empty())
      sql += " WHERE " + table.branchColumn + " = :P_CDFILIAL";
    else if (table.hasColumn("CDCLIENTE"))
      sql += " WHERE CDCLIENTE IN (SELECT CDCLIENTE FROM CLIENFILIAL WHERE CDFILIAL = :P_CDFILIAL)";
    auto centralDb = db::embedded::open(db::embedded::Options{central_->path()});
    auto& statement = centralDb->prepare(sql);
    if (!statement.parameterNames().empty()) statement.bind("P_CDFILIAL", kBranch);
    auto rows = statement.query();
    rows->next();
    return rows->at(0).asInt();
  }
};

bool hasRequestSlot(const std::string& table) {
  for (const auto& slot : central::centralModel().requestSlots())
    if (slot.table == table) return true;
  return false;
}

TEST_F(HandOverRun, TabelasHandsOverEveryPositionWithWhatTheServerSent) {
  const ProcessResult r = kivtab("TABELAS_0001_001_");
  EXPECT_EQ(r.status, 0) << r.out << r.err;

  const auto list = download::handOverFor("TABELAS").positions;
  const auto ends = handedOver(kEnd);
  ASSERT_EQ(handedOver(kStart).size(), list.size() - 2);  // CACHEPRODSEG and the extract by file
  ASSERT_EQ(ends.size(), list.size() - 2);
  size_t at = 0;
  int compared = 0;
  for (const auto& h : list) {
    if (h.count == download::CountRule::DownloadedLater ||
        h.count == download::CountRule::ExtractByFile)
      continue;
    const std::string prefix = kEnd + std::string(h.table) + " - Nr.Registros: ";
    ASSERT_TRUE(ends[at].starts_with(prefix)) << ends[at] << " at position " << h.position;
    const auto& position = central::centralModel().positions()[static_cast<size_t>(h.position)];
    // A table without a request slot travels whole every time: its count is the branch's rows.
    if (position.kind == central::PositionKind::Table && !hasRequestSlot(position.table)) {
      EXPECT_EQ(ends[at].substr(prefix.size()), std::to_string(centralRows(position.table)))
          << h.table;
      ++compared;
    }
    ++at;
  }
  EXPECT_GT(compared, 50);
  const auto all = messages();
  EXPECT_NE(
      std::find(all.begin(), all.end(), "EXTRATOCONS terá seu conteúdo baixado posteriormente."),
      all.end());
  EXPECT_TRUE(starting("Except: ").empty());
}

TEST_F(HandOverRun, EstoqueHandsOverOnlyPosEstatu) {
  const ProcessResult r = kivtab("ESTOQUE_0001_001_");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(handedOver(kStart), std::vector<std::string>{kStart + "POSESTATU"});
  EXPECT_EQ(handedOver(kEnd), std::vector<std::string>{kEnd + "POSESTATU - Nr.Registros: " +
                                                       std::to_string(centralRows("POSESTATU"))});
}

TEST_F(HandOverRun, ExtratoConsHandsOverItsSixTables) {
  const ProcessResult r = kivtab("EXTRATOCONS_0001_001_");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  std::vector<std::string> tables;
  for (const auto& line : handedOver(kStart)) tables.push_back(line.substr(kStart.size()));
  EXPECT_EQ(tables, (std::vector<std::string>{"CONSUMIDOR", "EXTRATOCONS", "CacheCONS", "MOVICLIE",
                                              "CONSMOVICLIE", "EXTRATOCONSCRED"}));
  EXPECT_EQ(handedOver(kEnd).size(), 6u);
}

TEST_F(HandOverRun, ServerLostDuringTheDownloadFailsTheRun) {
  FailingDownloadProxy proxy(central_->port());
  writeRegistry(proxy.port());
  const ProcessResult r = kivtab("TABELAS_0001_001_");
  EXPECT_EQ(r.status, 1);
  const auto excepts = starting("Except: ");
  ASSERT_EQ(excepts.size(), 1u) << r.out;
  EXPECT_TRUE(handedOver(kStart).empty());
  EXPECT_EQ(messages().back(), "OCORREU UM ERRO DURANTE A ATUALIZAÇÃO");
}

}  // namespace
