#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/embedded/ddl/table_def.h"

struct sqlite3;

// Reading table definitions from the database and replacing them by rebuilding the table.
namespace db::embedded::ddl {

struct StoredTable {
  std::string name;  // as the database spells it
  TableDef def;
};

std::optional<StoredTable> findTable(sqlite3* db, std::string_view name);
// Throws db::Error naming the table when there is none.
StoredTable loadTable(sqlite3* db, std::string_view name, std::string_view statement);

// Replaces the table by one defined as `next`, whose column i is filled from the SQLite
// expression sources[i] over the old table's rows. Rows, indexes and triggers are kept; the
// work is one savepoint, undone as a whole on any failure. Foreign keys stay valid: with
// enforcement on, the table and the tables referencing it are checked before the savepoint is
// released.
void rebuildTable(sqlite3* db, const StoredTable& table, const TableDef& next,
                  const std::vector<std::string>& sources, std::string_view statement);

// The names of tables whose foreign keys reference `table`, with the key names.
struct Reference {
  std::string childTable;
  std::string constraintName;
};
std::vector<Reference> referencesTo(sqlite3* db, std::string_view table);

}  // namespace db::embedded::ddl
