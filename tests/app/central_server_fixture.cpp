#include "central_server_fixture.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "db/core/text.h"

namespace testing_support {

CentralServer::CentralServer(const std::vector<std::string>& serveOptions) {
  const ProcessResult init =
      run({KIVTAB_CENTRAL_EXE, "init", "--db", path(), "--scale", "1"}, {}, dir_.path());
  if (init.status != 0) throw std::runtime_error("central init failed: " + init.err);
  port_ = freeLoopbackPort();
  std::vector<std::string> argv{KIVTAB_CENTRAL_EXE,
                                "serve",
                                "--db",
                                path(),
                                "--listen",
                                "127.0.0.1:" + std::to_string(port_)};
  argv.insert(argv.end(), serveOptions.begin(), serveOptions.end());
  server_ = std::make_unique<Process>(argv, std::map<std::string, std::string>{}, dir_.path());
  if (!waitForListener(port_, std::chrono::seconds(60)))
    throw std::runtime_error("the central server did not start");
}

std::string kivtabRegistry(const std::string& host, int port, const std::string& connectionString) {
  return "[" + kWebCliKey + "]\nIPServer=" + host + "\nWebPort=dword:" + std::to_string(port) +
         "\nStringConex=" + connectionString + "\n";
}

void prepareLocalDatabase(db::Connection& db) {
  db.execute("CREATE TABLE FILIAL (CDFILIAL VARCHAR(4) NOT NULL PRIMARY KEY)");
  db.execute(
      "CREATE TABLE PARAVEND (CDFILIAL VARCHAR(4) NOT NULL PRIMARY KEY, NMSQLNAMEDB "
      "VARCHAR(30) NULL, NMSQLSCHEMADB VARCHAR(30) NULL, IDDEBCONSCENTRAL CHAR(1) NULL, "
      "IDEXTCONSCENTRAL CHAR(1) NULL, IDSENCONSCENTRAL CHAR(1) NULL)");
  db.execute(
      "CREATE TABLE CTRLEXECREM (IDCTRLEXECREM INT IDENTITY PRIMARY KEY, CDAPP VARCHAR(16), "
      "TPOPERACAO VARCHAR(50), DSOPERACAO NVARCHAR(MAX), IDSTCTRLEXECREM VARCHAR(3), DSERRO "
      "NVARCHAR(MAX), DTINCLUSAO DATETIME DEFAULT GETDATE(), DTINICIO DATETIME, DTULTATU "
      "DATETIME)");
  db.execute("INSERT INTO CTRLEXECREM (IDCTRLEXECREM, IDSTCTRLEXECREM) VALUES (17, 'P')");
}

std::vector<std::string> runLogLines(const std::filesystem::path& home) {
  std::vector<std::string> lines;
  const auto dir = home / "Dados" / "Kiv_Tab";
  if (!std::filesystem::exists(dir)) return lines;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    // The download keeps its zip copies beside the run logs.
    if (entry.path().filename().string().rfind("Kiv_Tab", 0) != 0) continue;
    const std::string text = db::cp1252ToUtf8(readFile(entry.path()));
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
      lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "a line without CR LF";
  }
  return lines;
}

std::map<std::string, std::string> kivtabEnvironment(const std::filesystem::path& home,
                                                     const std::string& closeDelay) {
  return {{"KIVTAB_HOME", home.string()},
          {"KIVTAB_REGISTRY", (home / "registry.ini").string()},
          {"KIVTAB_CLOSE_DELAY", closeDelay}};
}

}  // namespace testing_support
