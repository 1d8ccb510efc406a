#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/core/connection.h"
#include "process_runner.h"
#include "temp_dir.h"

namespace testing_support {

// The registry key the kivtab program reads its server and connection string from.
inline const std::string kWebCliKey =
    "HKEY_LOCAL_MACHINE\\Software\\MORLEND\\Sistemas Integrados Morlend\\WebCli";

// The reference central server on loopback, serving a fresh scale-1 world of its own.
class CentralServer {
 public:
  // serveOptions: more options of "kivtab-central serve" (TLS, tokens).
  explicit CentralServer(const std::vector<std::string>& serveOptions = {});
  int port() const { return port_; }
  // The central database file.
  std::string path() const { return (dir_.path() / "central.db").string(); }
  // Where the server's database and output live.
  const std::filesystem::path& dir() const { return dir_.path(); }

 private:
  TempDir dir_;
  int port_ = 0;
  std::unique_ptr<Process> server_;
};

// Tests of kivtab runs against one central server, started before the suite's first test; each
// test has a fresh home folder (registry file, logs) and output folder.
class KivtabRunSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { central_ = new CentralServer(); }
  static void TearDownTestSuite() {
    delete central_;
    central_ = nullptr;
  }

  static inline CentralServer* central_ = nullptr;
  TempDir home;
  TempDir output;
  std::string conn;  // the local connection string
};

// The registry section pointing the kivtab program at a server and a local base.
std::string kivtabRegistry(const std::string& host, int port, const std::string& connectionString);

// The local tables the run controller reads before the structure update creates the rest, and
// the requester's pending status row 17.
void prepareLocalDatabase(db::Connection& db);

// Every line of the day's run log below `home`, in UTF-8 and without the CR of its CR LF.
std::vector<std::string> runLogLines(const std::filesystem::path& home);

// The environment of a kivtab run whose home folder holds its registry file.
std::map<std::string, std::string> kivtabEnvironment(const std::filesystem::path& home,
                                                     const std::string& closeDelay = "0");

}  // namespace testing_support
