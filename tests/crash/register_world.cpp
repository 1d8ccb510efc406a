#include "crash/register_world.h"

#include <stdexcept>

#include "db/core/text.h"

namespace crash {

using testing_support::ProcessResult;

RegisterWorld::RegisterWorld() : central_(std::make_unique<testing_support::CentralServer>()) {}

std::filesystem::path RegisterWorld::newHome(int port, const std::string& extraRegistry) {
  const auto home = scratch_.path() / ("home" + std::to_string(++homes_));
  std::filesystem::create_directories(home / "out");
  testing_support::writeFile(home / "registry.ini",
                             testing_support::kivtabRegistry(
                                 "127.0.0.1", port ? port : central_->port(), connectionOf(home)) +
                                 extraRegistry);
  return home;
}

std::string RegisterWorld::runLog(const std::filesystem::path& home) const {
  std::string text;
  const auto logs = home / "Dados" / "Kiv_Tab";
  if (!std::filesystem::exists(logs)) return text;
  for (const auto& entry : std::filesystem::directory_iterator(logs))
    if (entry.path().extension() == ".txt")
      text += db::cp1252ToUtf8(testing_support::readFile(entry.path()));
  return text;
}

std::filesystem::path RegisterWorld::localOf(const std::filesystem::path& home) const {
  return home / "local.db";
}

std::string RegisterWorld::connectionOf(const std::filesystem::path& home) const {
  // The structure step reads the catalogue of the login named here.
  return "Provider=SQLite;User ID=dbo;Data Source=" + localOf(home).string();
}

ProcessResult RegisterWorld::kivtab(const std::filesystem::path& home,
                                    const std::map<std::string, std::string>& extraEnv) {
  auto env = testing_support::kivtabEnvironment(home);
  env.insert(extraEnv.begin(), extraEnv.end());
  return testing_support::run({KIVTAB_EXE, "TABELAS_0001_001_"}, env, home / "out",
                              std::chrono::seconds(600));
}

ProcessResult RegisterWorld::verify(const std::filesystem::path& home,
                                    const std::vector<std::string>& extraArgs) {
  std::vector<std::string> argv = {
      KIVTAB_CENTRAL_EXE, "verify", "--db",         central_->path(),  "--branch", "0001",
      "--register",       "001",    "--connection", connectionOf(home)};
  argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
  return testing_support::run(argv, {}, home / "out");
}

void RegisterWorld::changeCentral() {
  const ProcessResult change = testing_support::run(
      {KIVTAB_CENTRAL_EXE, "change", "--db", central_->path()}, {}, central_->dir());
  if (change.status != 0) throw std::runtime_error("central change failed: " + change.err);
}

}  // namespace crash
