#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "db/core/connection.h"
#include "outside/app_server.h"
#include "outside/package/package.h"
#include "schema/http_fetch.h"
#include "schema/services.h"
#include "schema/structure_package.h"

namespace schema {

struct StructureUpdateServices {
  const outside::Package& package;  // database type, connection string, working directory, WebCli
  LogLine log;
  DownloadProgress progress;
  std::function<bool()> getVersaoBanco;  // true for a server older than version 9
  // Disconnects and reconnects the module's connections; answers the local connection to go on
  // with: the new one, or the old one, still open, when no new one could be opened.
  std::function<db::Connection&()> reconnect;
  FetchLimits limits = {};
};

// dtmBaixaEstrutura's structure update: tells the server the tables the register keeps, fetches
// the structure package it prepares, and reconciles the local tables with it.
class StructureUpdate {
 public:
  StructureUpdate(db::Connection& adcGeral, outside::AppServer& netLocalCache,
                  StructureUpdateServices services);

  // True when the update ran to its end. Failures are logged as "Exception UpdateMSDECache: "
  // and answer false; the caller clears the run-success flag.
  bool UpdateMSDECache(const std::optional<std::vector<std::string>>& only = std::nullopt);

  const std::string& token() const { return token_; }
  const std::string& nrorg() const { return nrorg_; }

 private:
  bool structureExists(const std::string& databaseType, const std::string& owner);
  void requestPackage(const std::optional<std::vector<std::string>>& only,
                      const std::string& databaseType, const std::string& owner);
  void reconcile(const StructurePackage& package, const std::string& databaseType,
                 const std::string& owner);
  void finish(const std::filesystem::path& directory);

  db::Connection* adcGeral_;
  outside::AppServer& netLocalCache_;
  StructureUpdateServices services_;
  std::string token_;
  std::string reply_;
  std::string nrorg_;
};

}  // namespace schema
