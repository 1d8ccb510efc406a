#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/connections.h"
#include "app/run_context.h"
#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "db/connect.h"
#include "db/core/text.h"
#include "site_hooks/site_hooks.h"
#include "support/forwarding_connection.h"
#include "support/temp_dir.h"

namespace site_hooks {

using testing_support::TempDir;

inline const std::string kWebCli(outside::Package::_sSiteWebSrvKey);

// The register's server is not needed by the hooks: creating the download module may try it.
class NoServer : public outside::AppServer {
 public:
  void connect() override { throw outside::ServerError("no server in this test"); }
  void disconnect() override {}
  bool connected() const override { return false; }
  db::Value call(std::string_view, std::vector<db::Value>&) override {
    connect();
    return {};
  }
};

// A local connection that keeps the text of every statement the hooks send, refuses the one
// statement that holds `failOn`, when given, and reports `serverVersion`, when given, as the
// server's product version (the embedded engine reports 10.50).
class RecordingConnection : public testing_support::ForwardingConnection {
 public:
  RecordingConnection(std::unique_ptr<db::Connection> inner, std::vector<std::string>& sent,
                      const std::string& failOn, const std::string& serverVersion)
      : ForwardingConnection(std::move(inner)),
        sent_(sent),
        failOn_(failOn),
        serverVersion_(serverVersion) {}
  int64_t execute(std::string_view sql, const db::Params& params = {}) override {
    sent_.emplace_back(sql);
    if (!failOn_.empty() && sql.find(failOn_) != std::string_view::npos)
      throw db::Error(db::ErrorKind::General, "refused by the test", std::string(sql));
    return ForwardingConnection::execute(sql, params);
  }
  std::unique_ptr<db::Rows> query(std::string_view sql, const db::Params& params = {}) override {
    sent_.emplace_back(sql);
    if (!serverVersion_.empty() &&
        sql.find("SERVERPROPERTY('productversion')") != std::string_view::npos)
      return ForwardingConnection::query("SELECT :P_VERSION AS VERSAO",
                                         {{"P_VERSION", serverVersion_}});
    return ForwardingConnection::query(sql, params);
  }

 private:
  std::vector<std::string>& sent_;
  const std::string& failOn_;
  const std::string& serverVersion_;
};

// A register whose local database LOJA lies in a server folder, where the turnstile's database
// WSP may lie beside it.
class SiteHooksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(server);
    std::filesystem::create_directories(app::RunLog::directoryBelow(dir.path()));
    writeRegistry("");
    auto connection = local();
    central::createCentralDatabase(*connection, central::centralModel());
    connection->execute("INSERT INTO FILIAL (CDFILIAL) VALUES ('0001')");
    connection->execute(
        "INSERT INTO PARAVEND (CDFILIAL, CDPARAVEND, IDUTILTRILOBIT, IDUTINTCATBIO) "
        "VALUES ('0001', '1', 'N', 'N')");
  }

  void writeRegistry(const std::string& extra) {
    testing_support::writeFile(
        dir.path() / "registry.ini",
        "[" + kWebCli + "]\nIPServer=h\nWebPort=1\nStringConex=" + connectionString + "\n" + extra);
  }

  std::unique_ptr<db::Connection> local() { return db::connect(connectionString); }

  void setTurnstile(const std::string& kind) {
    local()->execute("UPDATE PARAVEND SET IDUTILTRILOBIT = :P_KIND", {{"P_KIND", kind}});
  }

  void makeTurnstileDatabase() {
    auto wsp =
        db::connect("Provider=SQLite;Data Source=" + server.string() + ";Initial Catalog=WSP");
    wsp->execute("CREATE TABLE PESSOAS (PIN VARCHAR(20), PESHABILITADO INT)");
    wsp->execute("INSERT INTO PESSOAS VALUES ('1234', 1)");
    wsp->execute("INSERT INTO PESSOAS VALUES ('5678', 1)");
  }

  // Every hook in the controller's order, each with a fresh set of data modules as a run has.
  void runHooks() {
    app::Connections connections(package, log, flag,
                                 {[this](std::string_view s) {
                                    return std::make_unique<RecordingConnection>(
                                        db::connect(s), sent, failOn, serverVersion);
                                  },
                                  [](std::string) { return std::make_unique<NoServer>(); }});
    app::RunContext run{package, log, errorLog, flag, slots, connections};
    SiteHooks hooks;
    hooks.AplicaTriggerTrilobit(run, "0001");
    hooks.AplicaProcedureTrielo(run, "0001");
    hooks.ArredondaPrecoDia(run);
    hooks.AplicaViewConsAtivo(run);
  }

  int64_t number(const std::string& sql) {
    auto connection = local();
    auto rows = connection->query(sql);
    EXPECT_TRUE(rows->next()) << sql;
    return rows->at(0).asInt();
  }

  bool objectExists(const std::string& name, const std::string& type) {
    return number("SELECT COUNT(*) FROM SYSOBJECTS WHERE NAME = '" + name + "' AND TYPE = '" +
                  type + "'") == 1;
  }

  std::string logText() {
    return db::cp1252ToUtf8(testing_support::readFile(log.fileFor(clock())));
  }

  TempDir dir;
  std::filesystem::path server = dir.path() / "srv";
  std::string connectionString =
      "Provider=SQLite;Data Source=" + server.string() + ";Initial Catalog=LOJA;User ID=dbo";
  outside::Package package{{dir.path(), dir.path() / "registry.ini"}};
  app::Clock clock = [] { return db::DateTime::fromParts(2026, 12, 8, 10, 0, 0); };
  app::RunLog log{dir.path(), clock};
  app::ErrorLog errorLog{dir.path(), clock};
  app::RunFlag flag;
  app::RunSlots slots;
  std::vector<std::string> sent;
  std::string failOn;
  std::string serverVersion;
};

}  // namespace site_hooks
