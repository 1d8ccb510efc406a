#include "db/embedded/whole_table_update.h"

#include <sqlite3.h>

#include "db/core/text.h"
#include "db/embedded/embedded_connection.h"
#include "db/embedded/sql_quoting.h"

namespace db::embedded {
namespace {

constexpr const char* kIndexesOfTable =
    "SELECT l.name, m.sql FROM pragma_index_list(?1) l JOIN sqlite_master m ON m.type = 'index' "
    "AND m.name = l.name WHERE l.\"unique\" = 0 AND l.origin = 'c' AND m.sql IS NOT NULL";
constexpr const char* kColumnsOfIndex = "SELECT name FROM pragma_index_info(?1)";

const std::string kSavepoint = "kivtab_rebuilt_indexes";

std::string text(sqlite3_stmt* stmt, int column) {
  const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
  return value ? value : "";
}

// The index holds one of the columns, or an expression (a column without a name).
bool holdsAny(sqlite3* db, const std::string& index, const std::vector<std::string>& columns) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, kColumnsOfIndex, -1, &stmt, nullptr) != SQLITE_OK) return false;
  sqlite3_bind_text(stmt, 1, index.c_str(), -1, SQLITE_TRANSIENT);
  bool holds = false;
  while (!holds && sqlite3_step(stmt) == SQLITE_ROW) {
    if (sqlite3_column_type(stmt, 0) == SQLITE_NULL) holds = true;
    for (const auto& column : columns) holds = holds || iequals(text(stmt, 0), column);
  }
  sqlite3_finalize(stmt);
  return holds;
}

}  // namespace

std::vector<RebuildableIndex> indexesOnColumns(sqlite3* db, const std::string& table,
                                               const std::vector<std::string>& columns) {
  std::vector<RebuildableIndex> all, found;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, kIndexesOfTable, -1, &stmt, nullptr) != SQLITE_OK) return found;
  sqlite3_bind_text(stmt, 1, table.c_str(), -1, SQLITE_TRANSIENT);
  while (sqlite3_step(stmt) == SQLITE_ROW) all.push_back({text(stmt, 0), text(stmt, 1)});
  sqlite3_finalize(stmt);
  for (auto& index : all)
    if (holdsAny(db, index.name, columns)) found.push_back(std::move(index));
  return found;
}

std::optional<int64_t> updateWithIndexesRebuilt(EmbeddedConnection& connection,
                                                const std::vector<RebuildableIndex>& indexes,
                                                std::string_view original,
                                                const std::function<void()>& update) {
  connection.run("SAVEPOINT " + kSavepoint, original);
  bool dropped = false;
  try {
    for (const auto& index : indexes)
      connection.run("DROP INDEX " + quoteIdentifier(index.name), original);
    dropped = true;
    update();
    const int64_t changed = sqlite3_changes64(connection.db());
    for (const auto& index : indexes) connection.run(index.sql, original);
    connection.run("RELEASE " + kSavepoint, original);
    return changed;
  } catch (...) {
    // The savepoint restores the indexes; the statement's own error is what the caller learns.
    try {
      connection.run("ROLLBACK TO " + kSavepoint, original);
      connection.run("RELEASE " + kSavepoint, original);
    } catch (...) {
    }
    if (dropped) throw;
  }
  return std::nullopt;
}

}  // namespace db::embedded
