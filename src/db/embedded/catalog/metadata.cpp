#include "db/embedded/catalog/metadata.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>

#include "db/embedded/catalog/sqlite_access.h"

namespace db::embedded::catalog {
namespace {

constexpr const char* kCreateObjects =
    "CREATE TABLE IF NOT EXISTS %skivtab_objects ("
    " name TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,"
    " type TEXT NOT NULL,"          // 'P' procedure, 'TR' trigger
    " parent TEXT COLLATE NOCASE,"  // a trigger's table
    " is_disabled INTEGER NOT NULL DEFAULT 0,"
    " is_instead_of INTEGER NOT NULL DEFAULT 0,"
    " definition TEXT NOT NULL,"  // the T-SQL text as sent
    " create_date REAL, modify_date REAL)";

constexpr const char* kCreateSettings =
    "CREATE TABLE IF NOT EXISTS %skivtab_settings ("
    " name TEXT NOT NULL COLLATE NOCASE PRIMARY KEY, value TEXT)";

std::string withPrefix(const char* pattern, const char* prefix) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, pattern, prefix);
  return buffer;
}

}  // namespace

void createMetadataTables(sqlite3* db) {
  const char* prefix = sqlite3_db_readonly(db, "main") == 1 ? "temp." : "main.";
  if (prefix[0] == 't') {
    // A read-only database keeps whatever tables it has; stand-ins only for missing ones.
    const bool hasObjects =
        sqlite::scalarText(db,
                           "SELECT count(*) FROM main.sqlite_schema WHERE name = "
                           "'kivtab_objects'") == "1";
    const bool hasSettings =
        sqlite::scalarText(db,
                           "SELECT count(*) FROM main.sqlite_schema WHERE name = "
                           "'kivtab_settings'") == "1";
    if (!hasObjects) sqlite::exec(db, withPrefix(kCreateObjects, prefix));
    if (!hasSettings) sqlite::exec(db, withPrefix(kCreateSettings, prefix));
    return;
  }
  sqlite::exec(db, withPrefix(kCreateObjects, prefix));
  sqlite::exec(db, withPrefix(kCreateSettings, prefix));
}

std::string databaseName(sqlite3* db) {
  const char* file = sqlite3_db_filename(db, "main");
  if (!file || !*file) return "main";
  return std::filesystem::path(file).stem().string();
}

}  // namespace db::embedded::catalog
