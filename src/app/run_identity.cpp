#include "app/run_identity.h"

#include "db/core/connection_string.h"
#include "db/core/text.h"

namespace app {
namespace {

namespace fs = std::filesystem;

std::string lowered(const std::vector<db::ConnectionItem>& items,
                    std::initializer_list<std::string_view> keys) {
  for (std::string_view key : keys)
    if (auto value = db::findConnectionValue(items, key))
      return db::lower(std::string(db::trim(*value)));
  return {};
}

}  // namespace

std::string localDatabaseIdentity(std::string_view connectionString) {
  try {
    const db::EngineTarget target = db::mapConnectionString(connectionString);
    if (target.kind == db::EngineKind::Embedded)
      return "file:" + fs::weakly_canonical(fs::absolute(target.path)).string();
    const auto items = db::parseConnectionString(connectionString);
    const std::string server = lowered(items, {"Data Source", "Server", "DSN", "DBQ"});
    if (server.empty()) return {};
    return "server:" + server + "|" + lowered(items, {"Initial Catalog", "Database"});
  } catch (const std::exception&) {
    // A string that cannot be read names no database; the caller falls back.
    return {};
  }
}

std::string runIdentity(std::string_view connectionString, const fs::path& programDirectory) {
  const std::string database = localDatabaseIdentity(connectionString);
  if (!database.empty()) return database;
  return "program:" + fs::weakly_canonical(fs::absolute(programDirectory)).string();
}

}  // namespace app
