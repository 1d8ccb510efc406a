#include "db/embedded/ddl/table_store.h"

#include <sqlite3.h>

#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/catalog/constraints.h"
#include "db/embedded/catalog/sqlite_access.h"
#include "db/embedded/sql_quoting.h"

namespace db::embedded::ddl {
namespace {

constexpr std::string_view kFindTable =
    "SELECT name, sql FROM main.sqlite_schema WHERE type = 'table' AND name = ?1 COLLATE NOCASE";
constexpr std::string_view kTablesNaming =
    "SELECT name, sql FROM main.sqlite_schema WHERE type = 'table' AND sql IS NOT NULL "
    "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' AND name NOT LIKE 'kivtab\\_%' ESCAPE '\\' "
    "AND sql LIKE ?1";
constexpr std::string_view kDependents =
    "SELECT sql FROM main.sqlite_schema WHERE tbl_name = ?1 COLLATE NOCASE "
    "AND type IN ('index', 'trigger') AND sql IS NOT NULL ORDER BY type = 'trigger', rowid";
constexpr std::string_view kRebuildName = "kivtab_rebuild";
constexpr std::string_view kSavepoint = "SAVEPOINT kivtab_rebuild_table";
constexpr std::string_view kRelease = "RELEASE kivtab_rebuild_table";
constexpr std::string_view kRollbackTo = "ROLLBACK TO kivtab_rebuild_table";
constexpr std::string_view kAnyRow = "SELECT 1 FROM {T} LIMIT 1";

// Foreign-key enforcement and the rename mode, switched for the rebuild and put back after.
class RebuildSettings {
 public:
  explicit RebuildSettings(sqlite3* db) : db_(db) {
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_FKEY, -1, &foreignKeys_);
    legacyAlter_ = sqlite::scalarText(db_, "PRAGMA legacy_alter_table") == "1";
    // Dropping the old table must not cascade into the tables that reference it, and renaming
    // the new one must not rewrite the views that name it.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_FKEY, 0, nullptr);
    sqlite::exec(db_, "PRAGMA legacy_alter_table = ON");
  }
  ~RebuildSettings() {
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_FKEY, foreignKeys_, nullptr);
    sqlite3_exec(
        db_, legacyAlter_ ? "PRAGMA legacy_alter_table = ON" : "PRAGMA legacy_alter_table = OFF",
        nullptr, nullptr, nullptr);
  }
  RebuildSettings(const RebuildSettings&) = delete;
  RebuildSettings& operator=(const RebuildSettings&) = delete;
  bool foreignKeysEnforced() const { return foreignKeys_ != 0; }

 private:
  sqlite3* db_;
  int foreignKeys_ = 0;
  bool legacyAlter_ = false;
};

void checkForeignKeys(sqlite3* db, const std::string& table) {
  std::vector<std::string> tables = {table};
  for (const auto& ref : referencesTo(db, table)) tables.push_back(ref.childTable);
  for (const auto& name : tables) {
    sqlite::Stmt check(db, "PRAGMA foreign_key_check(" + quoteIdentifier(name) + ")");
    if (check.step())
      throw Error(ErrorKind::Constraint,
                  "The change conflicts with a FOREIGN KEY constraint on table '" + name +
                      "' referencing '" + check.text(2) + "'");
  }
}

bool holdsRows(sqlite3* db, const std::string& table) {
  std::string sql(kAnyRow);
  sql.replace(sql.find("{T}"), 3, quoteIdentifier(table));
  sqlite::Stmt probe(db, sql);
  return probe.step();
}

// An empty table is created again under its own name: no copy and no rename, whose reload of the
// whole schema made a structure pass over a new database quadratic in its number of tables.
void recreateEmpty(sqlite3* db, const StoredTable& table, const TableDef& next) {
  sqlite::exec(db, "DROP TABLE " + quoteIdentifier(table.name));
  sqlite::exec(db, next.render(table.name));
}

void copyIntoNew(sqlite3* db, const StoredTable& table, const TableDef& next,
                 const std::vector<std::string>& sources) {
  std::string columns, values;
  for (size_t i = 0; i < next.columns.size(); ++i) {
    columns += (i ? ", " : "") + quoteIdentifier(next.columns[i].name);
    values += (i ? ", " : "") + sources[i];
  }
  sqlite::exec(db, "DROP TABLE IF EXISTS " + std::string(kRebuildName));
  sqlite::exec(db, next.render(kRebuildName));
  sqlite::exec(db, "INSERT INTO " + std::string(kRebuildName) + " (" + columns + ") SELECT " +
                       values + " FROM " + quoteIdentifier(table.name));
  sqlite::exec(db, "DROP TABLE " + quoteIdentifier(table.name));
  sqlite::exec(
      db, "ALTER TABLE " + std::string(kRebuildName) + " RENAME TO " + quoteIdentifier(table.name));
}

}  // namespace

std::optional<StoredTable> findTable(sqlite3* db, std::string_view name) {
  sqlite::Stmt stmt(db, kFindTable);
  stmt.bind(1, name);
  if (!stmt.step()) return std::nullopt;
  return StoredTable{stmt.text(0), TableDef::parse(stmt.text(1))};
}

StoredTable loadTable(sqlite3* db, std::string_view name, std::string_view statement) {
  auto table = findTable(db, name);
  if (!table)
    throw Error(ErrorKind::General,
                "Cannot find the object \"" + std::string(name) +
                    "\" because it does not exist or you do not have permissions.",
                std::string(statement));
  return *table;
}

std::vector<Reference> referencesTo(sqlite3* db, std::string_view table) {
  std::vector<Reference> out;
  // Every table is looked at on each rebuild: a definition that does not hold the name, in any
  // case, cannot reference it and is not parsed (LIKE compares without regard to case; a '_'
  // or '%' in the name only lets more through). A name with a quote in it is doubled inside a
  // quoted reference, so such a name has every definition read.
  const bool quoted = std::string_view(table).find_first_of("\"]'`") != std::string_view::npos;
  sqlite::Stmt stmt(db, kTablesNaming);
  stmt.bind(1, quoted ? std::string("%") : "%" + std::string(table) + "%");
  while (stmt.step()) {
    StoredTable child;
    try {
      child = {stmt.text(0), TableDef::parse(stmt.text(1))};
    } catch (const Error&) {
      continue;  // a table whose definition cannot be read has no constraints to offer
    }
    for (const auto& c : catalog::constraintsOf(child.def, child.name))
      if (c.type == "F" && iequals(c.refTable, table)) out.push_back({child.name, c.name});
  }
  return out;
}

void rebuildTable(sqlite3* db, const StoredTable& table, const TableDef& next,
                  const std::vector<std::string>& sources, std::string_view statement) {
  std::vector<std::string> dependents;
  {
    sqlite::Stmt stmt(db, kDependents);
    stmt.bind(1, table.name);
    while (stmt.step()) dependents.push_back(stmt.text(0));
  }
  RebuildSettings settings(db);
  sqlite::exec(db, kSavepoint);
  try {
    if (holdsRows(db, table.name))
      copyIntoNew(db, table, next, sources);
    else
      recreateEmpty(db, table, next);
    for (const auto& sql : dependents) sqlite::exec(db, sql);
    if (settings.foreignKeysEnforced()) checkForeignKeys(db, table.name);
    sqlite::exec(db, kRelease);
  } catch (const Error& e) {
    sqlite3_exec(db, std::string(kRollbackTo).c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(db, std::string(kRelease).c_str(), nullptr, nullptr, nullptr);
    throw Error(e.kind(), e.what(), std::string(statement), e.nativeCode());
  }
}

}  // namespace db::embedded::ddl
