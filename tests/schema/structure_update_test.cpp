// UpdateMSDECache against a scripted structure server and a local HTTP file server.
#include "schema/structure_update.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <fstream>

#include "db/core/text.h"
#include "db/embedded/embedded.h"
#include "oracle_catalogue.h"
#include "outside/package/message_box.h"
#include "package_writer.h"
#include "recording_connection.h"
#include "support/background_http_server.h"
#include "support/raw_http_server.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using schema_test::column;
using schema_test::table;
using testing_support::TempDir;

// The structure server's four methods, scripted; every call is kept.
class ScriptedServer : public outside::AppServer {
 public:
  std::string token = "PKG_20261208_0001_ABCDEFGH";  // longer than 22 characters
  std::string reply;
  std::string nrorg = "5";
  std::vector<std::pair<std::string, std::vector<db::Value>>> calls;

  void connect() override { connected_ = true; }
  void disconnect() override { connected_ = false; }
  bool connected() const override { return connected_; }
  db::Value call(std::string_view method, std::vector<db::Value>& args) override {
    calls.emplace_back(std::string(method), args);
    if (method == "StartTableData") return token;
    if (method == "GetTableStructMSDE") return reply;
    if (method == "GetNRORG") return nrorg;
    return {};
  }
  const std::vector<db::Value>* argsOf(std::string_view method) const {
    for (const auto& [name, args] : calls)
      if (name == method) return &args;
    return nullptr;
  }

 private:
  bool connected_ = true;
};

class FileServer {
 public:
  explicit FileServer(const fs::path& root) {
    http_.server().set_mount_point("/files", root.string());
    http_.start();
  }
  int port() const { return http_.port(); }

 private:
  testing_support::BackgroundHttpServer http_;
};

const std::string kWebCli =
    "HKEY_LOCAL_MACHINE\\Software\\MORLEND\\Sistemas Integrados Morlend\\WebCli";

class SchemaUpdateMSDECache : public ::testing::Test {
 protected:
  TempDir home;
  TempDir served;
  FileServer files{served.path()};
  ScriptedServer server;
  std::unique_ptr<db::Connection> db = db::embedded::open({":memory:", "dbo"});
  schema_test::RecordingConnection local{*db};
  std::vector<std::pair<std::string, std::string>> logged;
  outside::Package package{{home.path(), home.path() / "registry.ini"}};
  std::string extraRegistry;
  std::string connectionString;  // empty: an embedded database in the home folder

  void SetUp() override {
    server.reply =
        "Address=127.0.0.1&Login=central&Password=S3CRET-PW&Path=/files/struct/"
        "&FileDir=/srv/struct";
    writeRegistry();
  }

  void writeRegistry() {
    std::ofstream(home.path() / "registry.ini")
        << "[" << kWebCli << "]\nStringConex="
        << (connectionString.empty()
                ? "Provider=SQLite;User ID=dbo;Data Source=" + (home.path() / "local.db").string()
                : connectionString)
        << "\nWorkingDirectory=" << (home.path() / "work/").string()
        << "\nHttpPort=" << files.port() << "\n"
        << extraRegistry;
  }

  // Where the server side keeps the package of the current token.
  fs::path servedPackageDir(const std::string& dirName = "20261208_0001_ABCDEFGH") {
    fs::path dir = served.path() / "struct" / dirName;
    fs::create_directories(dir);
    return dir;
  }

  // struct.zip with struct.cds (and constraints.cds when given) for the current token.
  void servePackage(const std::vector<schema::PackageTable>& tables,
                    const std::optional<std::vector<schema::ForeignKeyRow>>& constraints = {},
                    const std::string& leaveOut = {},
                    const std::string& dirName = "20261208_0001_ABCDEFGH") {
    const fs::path dir = servedPackageDir(dirName);
    schema_test::writeStructCds(dir / "s.cds", tables, leaveOut);
    std::vector<std::pair<std::string, std::string>> members{
        {"struct.cds", schema_test::readFile(dir / "s.cds")}};
    if (constraints) {
      schema_test::writeConstraintsCds(dir / "c.cds", *constraints);
      members.emplace_back("constraints.cds", schema_test::readFile(dir / "c.cds"));
    }
    schema_test::writeZip(dir / "struct.zip", members);
  }

  bool update() { return update(local); }
  bool update(db::Connection& adcGeral) {
    schema::StructureUpdateServices services{
        package,
        [this](std::string_view m, std::string_view l) { logged.emplace_back(m, l); },
        {},
        [] { return false; },
        [&adcGeral]() -> db::Connection& { return adcGeral; },
        {std::chrono::milliseconds(2000), std::chrono::milliseconds(1000)}};
    return schema::StructureUpdate(adcGeral, server, std::move(services)).UpdateMSDECache();
  }

  int64_t count(const std::string& sql) {
    auto rows = db->query(sql);
    rows->next();
    return rows->at(0).asInt();
  }
  bool loggedLine(const std::string& text, const std::string& level) {
    return std::find(logged.begin(), logged.end(), std::make_pair(text, level)) != logged.end();
  }
  std::string failure() {
    for (const auto& [text, level] : logged)
      if (text.rfind("Exception UpdateMSDECache: ", 0) == 0 && level == "1") return text;
    return {};
  }
};

const std::vector<schema::PackageTable> kTwoTables = {
    table(
        "SALA",
        {column("CD", "VARCHAR(3)", "NOT NULL"), column("NRORG", "INT", "NULL", "nrorg_ctx + ''")},
        {"CD"}),
    table("MESA", {column("ID", "INT", "NOT NULL"), column("CD", "VARCHAR(3)")}, {"ID"},
          {{"IX_MESA_CD", {"CD"}}})};

TEST_F(SchemaUpdateMSDECache, FreshDatabaseGetsThePackagesTablesAndTheRunIsClosedAndTidied) {
  servePackage(kTwoTables,
               std::vector<schema::ForeignKeyRow>{{"MESA", "FK_MESA_SALA", "SALA (CD)", "CD"}});
  ASSERT_TRUE(update()) << failure();

  EXPECT_EQ(logged.at(0), std::make_pair(std::string(), std::string("3")));
  EXPECT_EQ(logged.at(2), std::make_pair(std::string(126, '*'), std::string("3")));
  const auto* args = server.argsOf("GetTableStructMSDE");
  ASSERT_NE(args, nullptr);
  const std::string cache = (*args)[0].asText();
  EXPECT_EQ(cache.substr(0, 31), "TIPOCONSCLI=N\r\nCONSUMIDOR=N\r\nCL");
  EXPECT_NE(cache.find("\r\nTURCAIXA=S\r\nVENDA=S\r\n"), std::string::npos);
  EXPECT_NE((*args)[3].asText().find("\r\nSA_VENDA=S\r\n"), std::string::npos);
  EXPECT_EQ((*args)[2].asText(), "MSSQL");
  EXPECT_EQ((*args)[4], db::Value(false));

  EXPECT_EQ(count("SELECT COUNT(*) FROM SYSOBJECTS WHERE NAME IN ('SALA', 'MESA', 'CTRLEXECREM')"),
            3);
  EXPECT_EQ(count("SELECT COUNT(*) FROM sys.indexes WHERE name = 'IX_MESA_CD'"), 1);
  EXPECT_FALSE(local.startingWith("ALTER TABLE MESA ADD CONSTRAINT FK_MESA_SALA").empty());
  // The organisation number of GetNRORG is the default of NRORG.
  ASSERT_FALSE(local.startingWith("CREATE TABLE SALA").empty());
  EXPECT_NE(local.startingWith("CREATE TABLE SALA").front().find("NRORG  INT DEFAULT 5"),
            std::string::npos);

  ASSERT_NE(server.argsOf("FinishTableData"), nullptr);
  EXPECT_EQ((*server.argsOf("FinishTableData"))[0].asText(), server.token);
  // The clean-up takes the whole package directory, constraints.cds included, and nothing
  // else of the working directory.
  EXPECT_FALSE(fs::exists(home.path() / "work" / "20261208_0001_ABCDEFGH"));
  EXPECT_TRUE(fs::exists(home.path() / "work"));
  for (const auto& [text, level] : logged) EXPECT_EQ(text.find("S3CRET"), std::string::npos);
}

TEST_F(SchemaUpdateMSDECache, ExistingStructureAsksForNoRowsAndAShortTokenNamesTheDirectory) {
  db->execute("CREATE TABLE CAIXA (CDFILIAL VARCHAR(4) NULL)");
  server.token = "TK42";
  server.nrorg = "";
  servePackage(kTwoTables, std::nullopt, {}, "TK42");
  ASSERT_TRUE(update()) << failure();
  const auto& args = *server.argsOf("GetTableStructMSDE");
  for (const std::string& list : {args[0].asText(), args[3].asText()}) {
    EXPECT_EQ(list.find("=S"), std::string::npos);
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 262);
  }
  EXPECT_EQ(args[3].asText().substr(0, 17), "SA_TIPOCONSCLI=N\r");
  EXPECT_NE(local.startingWith("CREATE TABLE SALA").front().find("NRORG  INT DEFAULT 1"),
            std::string::npos);
  // Without constraints.cds no foreign key is attempted, and the clean-up leaves nothing.
  EXPECT_TRUE(local.startingWith("ALTER TABLE MESA ADD CONSTRAINT FK_").empty());
  EXPECT_FALSE(fs::exists(home.path() / "work" / "TK42"));
}

TEST_F(SchemaUpdateMSDECache, OracleDatabaseIsPreparedAndReconciledInItsOwnDialect) {
  connectionString = "Provider=MSDAORA.1;User ID=loja;Password=pw;Data Source=ORCL";
  writeRegistry();
  schema::PackageTable caixa = table("CAIXA", {}, {"CDCAIXA"});
  // Only SYSDATE defaults are rewritten on Oracle; GETDATE is not looked for.
  caixa.oracleColumns = {column("CDCAIXA", "VARCHAR2(3)"),
                         column("DTULTATU", "DATE", "NULL", "GETDATE()")};
  servePackage({caixa});
  schema_test::OracleCatalogue oracle;

  ASSERT_TRUE(update(oracle)) << failure();

  EXPECT_EQ(server.argsOf("GetTableStructMSDE")->at(2).asText(), "ORACLE");
  // The structure probe reads the Oracle catalogue for the login's tables.
  EXPECT_EQ(oracle.queried.front(), std::string(schema::sql::kLocalStructOracle));
  ASSERT_FALSE(oracle.executed.empty());
  EXPECT_EQ(oracle.executed.front(), std::string(schema::sql::kCreateCtrlExecRemOracle));
  EXPECT_EQ(oracle.startingWith("CREATE TABLE CAIXA"),
            (std::vector<std::string>{
                "CREATE TABLE CAIXA (\r\nCDCAIXA VARCHAR2(3) NOT NULL,\r\nDTULTATU DATE DEFAULT "
                "GETDATE())"}));
  EXPECT_EQ(oracle.executed.back(),
            "ALTER TABLE CAIXA ADD CONSTRAINT PK_CAIXA PRIMARY KEY (CDCAIXA)");
  EXPECT_FALSE(fs::exists(home.path() / "work" / "20261208_0001_ABCDEFGH"));
}

TEST_F(SchemaUpdateMSDECache, ServerExceptionEndsTheUpdateWithItsTextFromTheEighthCharacter) {
  server.reply = "EXCEPT:ORA-00942 table or view does not exist";
  EXPECT_FALSE(update());
  EXPECT_EQ(failure(), "Exception UpdateMSDECache: ORA-00942 table or view does not exist");
  EXPECT_EQ(server.argsOf("FinishTableData"), nullptr);
}

TEST_F(SchemaUpdateMSDECache, ErrorTokenAndErrorReplyAreLoggedWithTheirMessages) {
  server.token = "ERRO_CREATEDIR=TK7";
  server.reply = "ERRO_ZIP";
  EXPECT_FALSE(update());
  EXPECT_TRUE(
      loggedLine("ERRO: TK7 - Não foi possível criar o diretório %s no servidor de "
                 "aplicação que você está tentando acessar.",
                 "1"));
  EXPECT_TRUE(
      loggedLine("ERRO: Os dados do cache que deveriam ser atualizados nessa estação não "
                 "puderam ser compactados, no servidor de aplicação, para envio.",
                 "1"));
  EXPECT_EQ((*server.argsOf("GetTableStructMSDE"))[1].asText(), "TK7");
  EXPECT_NE(failure(), "");
}

TEST_F(SchemaUpdateMSDECache, BadPackagesAndFailedDownloadsEndTheUpdateAsAnException) {
  struct Case {
    const char* what;
    std::function<void()> arrange;
    const char* expected;  // part of the failure text
  };
  testing_support::RawHttpServer refusingProxy(
      "HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 0\r\nConnection: "
      "close\r\n\r\n");
  testing_support::RawHttpServer stalled("");
  const std::vector<Case> cases = {
      {"not a zip", [&] { std::ofstream(servedPackageDir() / "struct.zip") << "no archive here"; },
       "struct.cds"},
      {"no adqPriKeys", [&] { servePackage(kTwoTables, {}, "adqPriKeys"); }, "adqPriKeys"},
      {"no FIELD_TYPE", [&] { servePackage(kTwoTables, {}, "FIELD_TYPE"); }, "FIELD_TYPE"},
      {"HTTP 404", [] {}, "struct.cds"},
      {"proxy port not a number",
       [&] {
         servePackage(kTwoTables);
         extraRegistry = "HttpUseProxy=dword:1\nHttpProxyHost=127.0.0.1\nHttpProxyPort=80a\n";
       },
       "struct.cds"},
      {"proxy refusing",
       [&] {
         servePackage(kTwoTables);
         extraRegistry = "HttpUseProxy=dword:1\nHttpProxyHost=127.0.0.1\nHttpProxyPort=" +
                         std::to_string(refusingProxy.port()) + "\n";
       },
       "struct.cds"},
      {"time-out",
       [&] {
         servePackage(kTwoTables);
         extraRegistry = "HttpPort=" + std::to_string(stalled.port()) + "\n";
       },
       "struct.cds"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(served.path() / "struct");
    fs::remove_all(home.path() / "work");
    extraRegistry.clear();
    logged.clear();
    c.arrange();
    writeRegistry();
    EXPECT_FALSE(update());
    EXPECT_NE(failure().find(c.expected), std::string::npos) << failure();
    EXPECT_EQ(count("SELECT COUNT(*) FROM SYSOBJECTS WHERE NAME = 'SALA'"), 0);
  }
}

TEST_F(SchemaUpdateMSDECache, ARefusedPackageChangesNothingNotEvenTheOldLayoutTables) {
  db->execute("CREATE TABLE CONFTELA (CDFILIAL VARCHAR(4) NULL)");
  servePackage({table("SALA; DROP TABLE CAIXA", {column("CD", "VARCHAR(3)")})});
  EXPECT_FALSE(update());
  EXPECT_NE(failure().find("SALA; DROP TABLE CAIXA"), std::string::npos);
  EXPECT_EQ(count("SELECT COUNT(*) FROM SYSOBJECTS WHERE NAME = 'CONFTELA'"), 1);
  EXPECT_TRUE(local.executed.empty());
}

TEST_F(SchemaUpdateMSDECache, ATypeNoDatabaseKnowsRefusesThePackage) {
  servePackage({table("SALA", {column("CD", "SECRETLY_RUN(3)")})});
  EXPECT_FALSE(update());
  EXPECT_NE(failure().find("SECRETLY_RUN(3)"), std::string::npos);
  EXPECT_TRUE(local.executed.empty());
}

TEST_F(SchemaUpdateMSDECache, TablesTheRegisterDidNotAskForAreLeftOutAndLogged) {
  db->execute("CREATE TABLE INTRUSA (ID INT NULL)");
  servePackage(
      {kTwoTables[0], table("INTRUSA", {column("ID", "INT"), column("NOVA", "INT")}),
       table("PEDIDOS_WEB", {column("ID", "INT", "NOT NULL")}, {"ID"})},
      std::vector<schema::ForeignKeyRow>{{"INTRUSA", "FK_INTRUSA_SALA", "SALA (CD)", "ID"}});
  ASSERT_TRUE(update()) << failure();
  EXPECT_EQ(count("SELECT COUNT(*) FROM SYSOBJECTS WHERE NAME = 'SALA'"), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM SYSOBJECTS WHERE NAME = 'PEDIDOS_WEB'"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'INTRUSA'"),
            1);
  EXPECT_TRUE(local.startingWith("ALTER TABLE INTRUSA").empty());
  EXPECT_TRUE(loggedLine("Tabela fora das listas do caixa deixada de fora: INTRUSA", "1"));
  EXPECT_TRUE(loggedLine("Tabela fora das listas do caixa deixada de fora: PEDIDOS_WEB", "1"));
}

TEST_F(SchemaUpdateMSDECache, ProxyGetsTheAbsoluteUrlWithBasicAuthentication) {
  testing_support::RawHttpServer proxy(
      "HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 0\r\n\r\n");
  extraRegistry = "HttpUseProxy=dword:1\nHttpProxyHost=127.0.0.1\nHttpProxyPort=" +
                  std::to_string(proxy.port()) + "\nHttpProxyUserId=loja\nHttpProxyPass=pw\n";
  writeRegistry();
  EXPECT_FALSE(update());
  const std::string request = proxy.request();
  EXPECT_EQ(request.rfind("GET http://127.0.0.1:" + std::to_string(files.port()) +
                              "/files/struct/20261208_0001_ABCDEFGH/struct.zip HTTP/1.1\r\n",
                          0),
            0u)
      << request;
  EXPECT_NE(request.find("Proxy-Authorization: Basic bG9qYTpwdw=="), std::string::npos) << request;
}

TEST_F(SchemaUpdateMSDECache, TablesReconciledBeforeATableThatCannotBeCreatedStay) {
  servePackage({kTwoTables[0], table("LOJA", {column("A", "INT IDENTITY(1,2)")}), kTwoTables[1]});
  EXPECT_FALSE(update());
  EXPECT_NE(failure(), "");
  EXPECT_EQ(count("SELECT COUNT(*) FROM SYSOBJECTS WHERE NAME = 'SALA'"), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM SYSOBJECTS WHERE NAME = 'MESA'"), 0);
  EXPECT_EQ(server.argsOf("FinishTableData"), nullptr);
}

TEST_F(SchemaUpdateMSDECache, ArchiveMembersClimbingOutOfThePackageDirectoryAreNotWritten) {
  const fs::path dir = servedPackageDir();
  schema_test::writeStructCds(dir / "s.cds", kTwoTables);
  schema_test::writeZip(dir / "struct.zip", {{"struct.cds", schema_test::readFile(dir / "s.cds")},
                                             {"../../escaped.txt", "x"},
                                             {"/tmp/kivtab-schema-absolute.txt", "x"}});
  ASSERT_TRUE(update()) << failure();
  EXPECT_FALSE(fs::exists(home.path() / "escaped.txt"));
  EXPECT_FALSE(fs::exists(home.path() / "work" / ".." / "escaped.txt"));
  EXPECT_FALSE(fs::exists("/tmp/kivtab-schema-absolute.txt"));
  EXPECT_EQ(
      std::count_if(logged.begin(), logged.end(),
                    [](const auto& l) { return l.first.find("escaped.txt") != std::string::npos; }),
      1);
}

TEST_F(SchemaUpdateMSDECache, ATokenThatWouldLeaveTheWorkingDirectoryIsRefused) {
  server.token = "../../../../../tmp/x";
  EXPECT_FALSE(update());
  EXPECT_NE(failure().find("does not name a directory"), std::string::npos) << failure();
}

}  // namespace
