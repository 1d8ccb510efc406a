#include "app/connections.h"

#include <gtest/gtest.h>

#include "../support/forwarding_connection.h"
#include "db/connect.h"
#include "db/core/text.h"
#include "fakes.h"
#include "temp_dir.h"

namespace app {
namespace {

using testing_support::CentralRegisters;
using testing_support::TempDir;

const std::string kWebCli(outside::Package::_sSiteWebSrvKey);

class ConnectionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(RunLog::directoryBelow(dir.path()));
    setConnectionString("Provider=SQLite;Initial Catalog=LOJA;Data Source=" +
                        (dir.path() / "local.db").string());
  }
  void setConnectionString(const std::string& conn) {
    testing_support::writeFile(
        dir.path() / "registry.ini",
        "[" + kWebCli + "]\nIPServer=h\nWebPort=1\nStringConex=" + conn + "\n");
  }
  ConnectionFactories factories() {
    return {
        [this](std::string_view s) {
          opened.emplace_back(s);
          return db::connect(s);
        },
        [this](std::string) { return std::make_unique<testing_support::FakeAppServer>(central); }};
  }
  std::string logText() {
    return db::cp1252ToUtf8(testing_support::readFile(log.fileFor(clock())));
  }

  TempDir dir;
  outside::Package package{{dir.path(), dir.path() / "registry.ini"}};
  Clock clock = [] { return db::DateTime::fromParts(2026, 12, 7, 6, 35, 10); };
  RunLog log{dir.path(), clock};
  RunFlag flag;
  CentralRegisters central;
  std::vector<std::string> opened;
};

TEST_F(ConnectionsTest, OpenStepsReportAFailedConnectAndOnlySomeClearTheFlag) {
  central.down = true;
  Connections c(package, log, flag, factories());
  EXPECT_FALSE(c.OpenADOBaixa());
  EXPECT_TRUE(flag.ok());
  EXPECT_EQ(log.prgTabelas().position, 2);
  EXPECT_FALSE(c.OpenADOEstrutura());
  EXPECT_FALSE(flag.ok());
  EXPECT_EQ(log.prgEstrutura().position, 2);
  RunFlag other;
  Connections d(package, log, other, factories());
  EXPECT_FALSE(d.OpenADOFuncoes());
  EXPECT_FALSE(other.ok());
  EXPECT_NE(logText().find(" - Sem conexão com servidor central.\r\n"), std::string::npos);
}

TEST_F(ConnectionsTest, OpenAndCloseCreateAndReleaseTheModules) {
  Connections c(package, log, flag, factories());
  ASSERT_TRUE(c.OpenADOBaixa());
  EXPECT_TRUE(c.dtmBaixaTabelas().adcCliExp->isOpen());
  EXPECT_TRUE(c.dtmBaixaTabelas().netProcedimentos->connected());
  // A second open keeps the connection it has.
  ASSERT_TRUE(c.OpenADOBaixa());
  EXPECT_EQ(opened.size(), 1u);
  c.CloseADOBaixa();
  EXPECT_FALSE(c.hasBaixaTabelas());
  const std::string text = logText();
  EXPECT_LT(text.find("Inicio CloseADOBaixa"), text.find("Final CloseADOBaixa"));

  ASSERT_TRUE(c.OpenADOEstrutura());
  EXPECT_TRUE(c.dtmBaixaEstrutura().adcGeral->isOpen());
  c.CloseADOEstrutura();
  EXPECT_FALSE(c.hasBaixaEstrutura());
  ASSERT_TRUE(c.OpenADOFuncoes());
  c.CloseADOFuncoes();
  EXPECT_FALSE(c.hasFuncoesServidor());
  EXPECT_TRUE(flag.ok());
}

TEST_F(ConnectionsTest, OracleSettingOpensTheStructureConnectionThroughTheOracleProvider) {
  const std::string stored = "Provider=SQLOLEDB.1;User ID=loja;Password='a;b';Data Source=ORCL";
  testing_support::writeFile(dir.path() / "registry.ini",
                             "[" + kWebCli + "]\nIPServer=h\nWebPort=1\nUsedDatabase=ORACLE\n" +
                                 "StringConex=" + stored + "\n");
  ConnectionFactories recordOnly = factories();
  recordOnly.database = [this](std::string_view s) -> std::unique_ptr<db::Connection> {
    opened.emplace_back(s);
    throw db::Error(db::ErrorKind::Connection, "no server here");
  };
  Connections c(package, log, flag, recordOnly);
  c.OpenADOEstrutura();
  c.OpenADOBaixa();
  // The download module's connection takes the string as it stands.
  EXPECT_EQ(opened, (std::vector<std::string>{
                        "Provider=MSDAORA;User ID=loja;Password='a;b';Data Source=ORCL", stored}));

  // Without the setting the kind follows the string's provider.
  EXPECT_EQ(package.UsedDatabase(), "ORACLE");
  setConnectionString(stored);
  EXPECT_EQ(package.UsedDatabase(), "MSSQL");
  setConnectionString("Provider=OraOLEDB.Oracle;Data Source=ORCL");
  EXPECT_EQ(package.UsedDatabase(), "ORACLE");
}

// Keeps the statements sent and reports the engine it is told to.
class SessionConnection : public testing_support::ForwardingConnection {
 public:
  SessionConnection(db::Connection& inner, std::string engine)
      : ForwardingConnection(inner), engine_(std::move(engine)) {}
  int64_t execute(std::string_view sql, const db::Params& = {}) override {
    executed.emplace_back(sql);
    return 0;
  }
  std::string_view engineName() const override { return engine_; }
  std::vector<std::string> executed;

 private:
  std::string engine_;
};

TEST_F(ConnectionsTest, SessionSettingsFollowTheDatabaseKind) {
  auto embedded = db::connect("Provider=SQLite;Data Source=:memory:");
  SessionConnection onEmbedded(*embedded, "embedded");
  package.SetADODBSession(onEmbedded);
  EXPECT_TRUE(onEmbedded.executed.empty());

  setConnectionString("Provider=SQLOLEDB.1;Initial Catalog=LOJA;Data Source=SRV01");
  SessionConnection onSqlServer(*embedded, "odbc");
  package.SetADODBSession(onSqlServer);
  EXPECT_EQ(onSqlServer.executed, std::vector<std::string>{"SET DATEFORMAT ymd"});

  setConnectionString("Provider=MSDAORA.1;User ID=loja;Data Source=ORCL");
  SessionConnection onOracle(*embedded, "odbc");
  package.SetADODBSession(onOracle);
  EXPECT_EQ(onOracle.executed,
            (std::vector<std::string>{"ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI:SS'",
                                      "ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '.,'"}));
}

TEST_F(ConnectionsTest, ReopeningReplacesTheLocalConnectionOnlyOnceANewOneIsOpen) {
  Connections c(package, log, flag, factories());
  ASSERT_TRUE(c.OpenADOEstrutura());
  ASSERT_TRUE(c.ReopenADOEstrutura());
  EXPECT_EQ(opened.size(), 2u);
  db::Connection* current = c.dtmBaixaEstrutura().adcGeral.get();
  EXPECT_TRUE(c.dtmBaixaEstrutura().netLocalCache->connected());

  setConnectionString("");
  EXPECT_FALSE(c.ReopenADOEstrutura());
  ASSERT_EQ(c.dtmBaixaEstrutura().adcGeral.get(), current);
  EXPECT_TRUE(current->query("SELECT 1")->next());
  EXPECT_FALSE(flag.ok());
  const std::string text = logText();
  const size_t first = text.find("Sem conexão");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(text.find("Sem conexão", first + 1), std::string::npos);
}

TEST_F(ConnectionsTest, ServerVersionDecidesOldServers) {
  EXPECT_TRUE(isOldServerVersion("8.00.2039"));
  EXPECT_FALSE(isOldServerVersion("9.00.1399"));
  EXPECT_FALSE(isOldServerVersion("10.50.1600"));
  EXPECT_FALSE(isOldServerVersion(""));
  EXPECT_THROW(isOldServerVersion("x.1"), std::invalid_argument);

  Connections c(package, log, flag, factories());
  EXPECT_FALSE(c.getVersaoBanco());
  setConnectionString("");
  Connections none(package, log, flag, factories());
  EXPECT_FALSE(none.getVersaoBanco());
  EXPECT_NE(logText().find(" - ERRO Except getVersaoBanco: no local connection string"),
            std::string::npos);
}

TEST_F(ConnectionsTest, CentralMirrorHelpersActOnlyForTheRunThatAsksAndNeverRaise) {
  // A server whose sibling database the catalog replacement reaches; an embedded one stands in.
  setConnectionString("Provider=SQLOLEDB.1;Initial Catalog=LOJA;Data Source=SRV01;User ID=sa");
  ConnectionFactories server = factories();
  server.database = [this](std::string_view s) {
    opened.emplace_back(s);
    return db::connect("Provider=SQLite;Data Source=" + (dir.path() / "central.db").string());
  };
  Connections c(package, log, flag, server);
  BaixaTabelasModule& m = c.dtmBaixaTabelas();
  m.idSenConsCentral = "N";
  m.nmSqlNameDb = "CENTRAL";
  c.beginBancoCentral();
  EXPECT_FALSE(m.adcBancoCentral);

  m.idSenConsCentral = "S";
  c.beginBancoCentral();
  ASSERT_TRUE(m.adcBancoCentral);
  EXPECT_EQ(opened.back(),
            "Provider=SQLOLEDB.1;Initial Catalog=CENTRAL;Data Source=SRV01;User ID=sa");
  EXPECT_TRUE(m.adcBancoCentral->inTransaction());
  c.commitBancoCentral();
  EXPECT_FALSE(m.adcBancoCentral->inTransaction());
  c.beginBancoCentral();
  c.rollbackBancoCentral();
  EXPECT_FALSE(m.adcBancoCentral->inTransaction());
  c.commitBancoCentral();

  // A connection string without a catalog cannot name the mirror: nothing happens, no error.
  setConnectionString("Provider=SQLite;Data Source=" + (dir.path() / "local.db").string());
  Connections d(package, log, flag, factories());
  d.dtmBaixaTabelas().idSenConsCentral = "S";
  EXPECT_NO_THROW(d.beginBancoCentral());
  EXPECT_FALSE(d.dtmBaixaTabelas().adcBancoCentral);
  EXPECT_TRUE(flag.ok());
}

TEST_F(ConnectionsTest, CentralMirrorThatWouldBeTheLocalDatabaseIsSkippedWithOneLine) {
  Connections c(package, log, flag, factories());
  BaixaTabelasModule& m = c.dtmBaixaTabelas();
  m.idSenConsCentral = "S";
  // The local string names the file local.db: a mirror of that name is the local database.
  m.nmSqlNameDb = "LOCAL";
  for (int consumer = 0; consumer < 3; ++consumer) {
    c.beginBancoCentral();
    c.commitBancoCentral();
  }
  EXPECT_FALSE(m.adcBancoCentral);
  EXPECT_TRUE(opened.empty());
  const std::string text = logText();
  const size_t first = text.find("LOCAL");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(text.find("LOCAL", first + 1), std::string::npos);
  EXPECT_TRUE(flag.ok());
}

TEST_F(ConnectionsTest, CentralMirrorBesideALocalDatabaseFileIsItsSiblingInTheFolder) {
  db::connect("Provider=SQLite;Data Source=" + (dir.path() / "CENTRAL.db").string())
      ->execute("CREATE TABLE SENHACONS (CDCLIENTE VARCHAR(15))");
  Connections c(package, log, flag, factories());
  BaixaTabelasModule& m = c.dtmBaixaTabelas();
  m.idSenConsCentral = "S";
  m.nmSqlNameDb = "CENTRAL";
  c.beginBancoCentral();
  ASSERT_TRUE(m.adcBancoCentral);
  EXPECT_EQ(opened.back(), "Provider=SQLite;Initial Catalog=CENTRAL;Data Source=" +
                               dir.path().string() + ";Create=No");
  m.adcBancoCentral->execute("INSERT INTO SENHACONS (CDCLIENTE) VALUES ('1')");
  c.commitBancoCentral();
  auto central = db::connect("Provider=SQLite;Data Source=" + (dir.path() / "CENTRAL.db").string());
  auto rows = central->query("SELECT COUNT(*) FROM SENHACONS");
  ASSERT_TRUE(rows->next());
  EXPECT_EQ(rows->at(0).asInt(), 1);
  EXPECT_EQ(logText().find("CENTRAL"), std::string::npos);

  // A mirror database that is not there is not made by connecting to it.
  Connections d(package, log, flag, factories());
  d.dtmBaixaTabelas().idSenConsCentral = "S";
  d.dtmBaixaTabelas().nmSqlNameDb = "MISSING";
  EXPECT_NO_THROW(d.beginBancoCentral());
  EXPECT_FALSE(d.dtmBaixaTabelas().adcBancoCentral);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "MISSING.db"));
  EXPECT_TRUE(flag.ok());
}

}  // namespace
}  // namespace app
