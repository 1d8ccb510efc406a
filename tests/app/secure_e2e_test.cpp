// The kivtab program against the reference central server over HTTPS with register tokens.
#include <gtest/gtest.h>

#include "central/server/register_tokens.h"
#include "central_server_fixture.h"
#include "db/connect.h"
#include "outside/app_server.h"
#include "outside/http_transport.h"
#include "outside/package/cipher.h"
#include "test_certificates.h"

namespace {

using testing_support::ProcessResult;
using testing_support::writeFile;

const std::string kSuccess = "ATUALIZAÇÃO REALIZADA COM SUCESSO";
const std::string kConnectionError =
    "Erro na tentativa de conexão com o servidor. Verifique o I.P. da chave IpServer no regedit";
// A quote in the token must travel like any other character.
const std::string kToken = "r3gister-'\"-0001";
const std::string kOtherBranchToken = "other-branch-token";

class SecureRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    keys_ = new testing_support::TempDir();
    authority_ = new testing_support::TestAuthority(keys_->path(), "central");
    const auto server = authority_->issue("server", {"127.0.0.1"});
    writeFile(keys_->path() / "tokens.txt",
              "# branch register token\n0001 001 " + kToken + "\n0002 001 " +
                  std::string(central::server::RegisterTokens::kHashedPrefix) +
                  central::server::sha256Hex(kOtherBranchToken) + "\n");
    central_ = new testing_support::CentralServer({"--tls-cert", server.certificate.string(),
                                                   "--tls-key", server.key.string(), "--tokens",
                                                   (keys_->path() / "tokens.txt").string()});
  }
  static void TearDownTestSuite() {
    delete central_;
    delete authority_;
    delete keys_;
  }

  void SetUp() override {
    conn = "Provider=SQLite;User ID=dbo;Data Source=" + (home.path() / "local.db").string();
    testing_support::prepareLocalDatabase(*db::connect(conn));
  }

  void writeRegistry(const std::string& host, const std::string& security) {
    writeFile(home.path() / "registry.ini",
              testing_support::kivtabRegistry(host, central_->port(), conn) + security);
  }
  static std::string secured(const std::string& token,
                             const std::filesystem::path& caFile = authority_->caFile()) {
    return "WebHttps=dword:1\nWebCAFile=" + caFile.string() + "\nWebToken=" + token + "\n";
  }

  ProcessResult kivtab() {
    return testing_support::run({KIVTAB_EXE, "TABELAS_0001_001_"},
                                testing_support::kivtabEnvironment(home.path()), output.path());
  }

  std::string logText() {
    std::string text;
    for (const auto& line : testing_support::runLogLines(home.path())) text += line + "\n";
    return text;
  }

  // Tables and row counts of the local database.
  std::string localState() {
    auto db = db::connect(conn);
    std::string state;
    for (auto rows = db->query("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
         rows->next();) {
      const std::string table = rows->at(0).asText();
      auto count = db->query("SELECT COUNT(*) FROM " + table);
      count->next();
      state += table + "=" + count->at(0).asText() + ";";
    }
    return state;
  }

  outside::Endpoint endpoint(const std::string& token) const {
    return {"127.0.0.1", central_->port(), {true, authority_->caFile().string(), token}};
  }

  static inline testing_support::TempDir* keys_ = nullptr;
  static inline testing_support::TestAuthority* authority_ = nullptr;
  static inline testing_support::CentralServer* central_ = nullptr;
  testing_support::TempDir home;
  testing_support::TempDir output;
  std::string conn;
};

TEST_F(SecureRun, AnEncipheredTokenOverVerifiedTlsRunsToSuccessWithoutLoggingTheToken) {
  writeRegistry("127.0.0.1", secured(outside::CriptoPlus(kToken)));
  const ProcessResult r = kivtab();
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  const std::string log = logText();
  EXPECT_NE(log.find(kSuccess), std::string::npos) << log;
  EXPECT_EQ(log.find(kToken), std::string::npos);
  EXPECT_EQ(r.out.find(kToken), std::string::npos);
}

TEST_F(SecureRun, RefusedConnectionsFailTheRunAndLeaveTheLocalDataUntouched) {
  testing_support::TempDir otherKeys;
  const testing_support::TestAuthority stranger(otherKeys.path(), "stranger");
  struct Case {
    std::string name, host, security;
  };
  const std::vector<Case> cases = {
      {"wrong token", "127.0.0.1", secured("not-a-token")},
      {"another branch's token", "127.0.0.1", secured(kOtherBranchToken)},
      {"no token", "127.0.0.1", "WebHttps=dword:1\nWebCAFile=" + authority_->caFile().string()},
      {"unknown certificate", "127.0.0.1", secured(kToken, stranger.caFile())},
      {"system store only", "127.0.0.1", "WebHttps=dword:1\nWebToken=" + kToken + "\n"},
      {"wrong host name", "localhost", secured(kToken)},
      {"plain HTTP", "127.0.0.1", "WebToken=" + kToken + "\n"},
      {"token with a line break", "127.0.0.1", secured(outside::CriptoPlus(kToken + "\nX: y"))},
  };
  const std::string before = localState();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    writeRegistry(c.host, c.security);
    std::filesystem::remove_all(home.path() / "Dados");
    const ProcessResult r = kivtab();
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    const std::string log = logText();
    EXPECT_NE(log.find(kConnectionError), std::string::npos) << log;
    EXPECT_EQ(log.find(kToken), std::string::npos) << log;
    EXPECT_EQ(localState(), before);
  }
}

TEST_F(SecureRun, CallsAndFilesWithoutAValidTokenOrOfAnotherBranchAreRefused) {
  auto server = outside::makeHttpAppServer("rdmExpDados", [&] { return endpoint(""); });
  std::vector<db::Value> branch{"0001"};
  try {
    server->call("getNRORG", branch);
    ADD_FAILURE() << "an anonymous call was served";
  } catch (const outside::ServerError& e) {
    EXPECT_NE(std::string(e.what()).find("no valid token"), std::string::npos) << e.what();
  }

  auto other =
      outside::makeHttpAppServer("rdmExpDados", [&] { return endpoint(kOtherBranchToken); });
  std::vector<db::Value> foreign{"0001"};
  EXPECT_THROW(other->call("getNRORG", foreign), outside::ServerError);

  // A statement file built for branch 0001 is fetched by its register only.
  auto own = outside::makeHttpAppServer("rdmExpDados", [&] { return endpoint(kToken); });
  std::vector<db::Value> gera{"insertConsumidor.sql", "CONS",     "1",       "0001", "001",
                              db::ValueArray{},       int64_t{0}, int64_t{0}};
  const std::string directory = own->call("setGeraArquivo", gera).asText();
  const std::string zipPath = directory + "insertConsumidor.sql.zip";
  const std::string url = "https://127.0.0.1:" + std::to_string(central_->port()) + zipPath;
  const auto fetch = [&](const std::string& token) {
    return outside::httpGet(url, endpoint(token).security).status;
  };
  EXPECT_EQ(fetch(""), 401);
  EXPECT_EQ(fetch(kOtherBranchToken), 403);
  EXPECT_EQ(fetch(kToken), 200);
  std::vector<db::Value> access{directory + "insertConsumidor.sql"};
  EXPECT_EQ(own->call("getAcessoArquivo", access).asText().substr(0, 8), "https://");
}

TEST_F(SecureRun, TheServerRefusesBadCertificatesAndTokensFilesNamingLinesNotContent) {
  testing_support::TempDir dir;
  const auto expired = authority_->issue("expired", {"127.0.0.1"}, -10, -1);
  writeFile(dir.path() / "garbage.pem", "-----BEGIN CERTIFICATE-----\nnot base64\n");
  writeFile(dir.path() / "tokens.txt", "0001 001 fine\n0001 002 secret-in-a-bad line\n0003\n");
  const std::string db = central_->path();
  struct Case {
    std::string name;
    std::vector<std::string> options;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"expired",
       {"--tls-cert", expired.certificate.string(), "--tls-key", expired.key.string()},
       "has expired"},
      {"malformed",
       {"--tls-cert", (dir.path() / "garbage.pem").string(), "--tls-key", expired.key.string()},
       "holds no PEM certificate"},
      {"bad tokens", {"--tokens", (dir.path() / "tokens.txt").string()}, "bad line(s) 2, 3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> argv{KIVTAB_CENTRAL_EXE, "serve", "--db", db, "--listen", "0"};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    const ProcessResult r = testing_support::run(argv, {}, dir.path(), std::chrono::seconds(30));
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("secret"), std::string::npos) << r.err;
  }
}

}  // namespace
