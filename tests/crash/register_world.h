#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/central_server_fixture.h"

namespace crash {

// One register against its own reference central server: a home folder per run attempt, the
// local database in it, and the verification tool.
class RegisterWorld {
 public:
  RegisterWorld();

  // A fresh home folder with the registry file; the local database is `local.db` in it. The
  // program reaches the central server at `port` (0: the server itself), with extra registry
  // lines appended.
  std::filesystem::path newHome(int port = 0, const std::string& extraRegistry = {});
  // The run logs of a home, as UTF-8.
  std::string runLog(const std::filesystem::path& home) const;
  std::string connectionOf(const std::filesystem::path& home) const;
  std::filesystem::path localOf(const std::filesystem::path& home) const;

  testing_support::ProcessResult kivtab(const std::filesystem::path& home,
                                        const std::map<std::string, std::string>& extraEnv = {});
  testing_support::ProcessResult verify(const std::filesystem::path& home,
                                        const std::vector<std::string>& extraArgs = {});
  // A central batch of inserts, updates and deletes.
  void changeCentral();

  testing_support::CentralServer& central() { return *central_; }
  const std::filesystem::path& scratch() const { return scratch_.path(); }

 private:
  std::unique_ptr<testing_support::CentralServer> central_;
  testing_support::TempDir scratch_;
  int homes_ = 0;
};

}  // namespace crash
