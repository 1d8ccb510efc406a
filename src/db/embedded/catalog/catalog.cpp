#include <sqlite3.h>

#include "db/core/text.h"
#include "db/embedded/catalog/functions.h"
#include "db/embedded/catalog/metadata.h"
#include "db/embedded/catalog/snapshot_tables.h"
#include "db/embedded/catalog/sqlite_access.h"
#include "db/embedded/catalog/views.h"
#include "db/embedded/extension.h"

namespace db::embedded::catalog {
namespace {

// "MASTER.DBO.SYSLOGINS", "[dbo].[SYSCOLUMNS]", "master..syslogins" -> "syslogins",
// "sys.indexes" -> "sys.indexes": lower case, without quoting, database and dbo qualifiers.
std::string normalise(std::string_view qualified) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : qualified) {
    if (c == '[' || c == ']' || c == '"') continue;
    if (c == '.') {
      parts.push_back(part);
      part.clear();
      continue;
    }
    part += c;
  }
  parts.push_back(part);
  for (auto& p : parts) p = lower(trim(p));
  if (parts.size() == 3) parts.erase(parts.begin());  // the database: master, this one, or ""
  if (parts.size() == 2 && (parts[0] == "dbo" || parts[0].empty())) parts.erase(parts.begin());
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : ".") + p;
  return out;
}

}  // namespace

void install(sqlite3* db, const std::string& user) {
  createMetadataTables(db);
  registerFunctions(db, user, databaseName(db));
  registerSnapshotTables(db);
  for (const auto& view : catalogViews()) {
    sqlite::exec(db, "DROP VIEW IF EXISTS temp." + std::string(view.view));
    sqlite::exec(db,
                 "CREATE TEMP VIEW " + std::string(view.view) + " AS " + std::string(view.select));
  }
}

std::optional<std::string> viewFor(std::string_view qualifiedName) {
  const std::string key = normalise(qualifiedName);
  for (const auto& view : catalogViews())
    for (std::string_view name : view.names)
      if (name == key) return std::string(view.view);
  return std::nullopt;
}

}  // namespace db::embedded::catalog
