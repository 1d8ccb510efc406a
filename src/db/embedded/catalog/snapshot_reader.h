#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "db/embedded/catalog/schema_snapshot.h"
#include "db/embedded/catalog/sqlite_access.h"

// Reads what one table or view, and the procedural objects, contribute to the snapshot's
// relations, from SQLite's schema of one database ("main" or an attached one).
namespace db::embedded::catalog {

using Rows = std::vector<std::vector<Cell>>;

// The rows one source adds to each relation, in the order they are listed.
struct SnapshotPart {
  std::array<Rows, static_cast<size_t>(RelationId::Count)> rows;
  Rows& operator[](RelationId id) { return rows[static_cast<size_t>(id)]; }
  const Rows& operator[](RelationId id) const { return rows[static_cast<size_t>(id)]; }
};

// One user table or view as SQLite's schema lists it.
struct SchemaTable {
  int64_t id = 0;
  std::string name, type, sql;
  bool isTable() const { return type == "table"; }
};

// The engine's procedures and triggers, as the snapshot lists them and its fingerprint takes them.
inline constexpr std::string_view kProceduralRows =
    "SELECT rowid, name, type, parent, is_disabled, is_instead_of, definition, create_date, "
    "modify_date FROM main.kivtab_objects ORDER BY rowid";

// What keeps a procedural object listed: a trigger goes with its table, whose marker trigger
// SQLite drops with it (see the DDL's procedural objects), and a view's trigger with the view.
struct ProceduralParents {
  std::unordered_set<std::string> views;    // upper-case names
  std::unordered_set<std::string> markers;  // markerKey of each SQLite trigger
};

// A SQLite trigger's key in ProceduralParents::markers.
std::string markerKey(std::string_view trigger, std::string_view table);

// A query of the main schema made to read `schema` instead. The connection's own object table
// may be a TEMP stand-in (a read-only database), so there it stays unqualified.
std::string forSchema(std::string_view sql, const std::string& schema);

// Whether the schema holds the engine's object table (a database made by another program has
// none; the connection's own always has one, maybe a TEMP stand-in).
bool hasObjectTable(sqlite3* db, const std::string& schema);

class SnapshotReader {
 public:
  SnapshotReader(sqlite3* db, const std::string& schema);

  // The definition of the table or view of this row id in SQLite's schema.
  std::string definition(int64_t id);
  // A table's or view's columns, constraints and indexes.
  SnapshotPart readTable(const SchemaTable& table);
  // Procedures, and triggers whose table or view still exists; `tableIds` names their parents'
  // ids.
  SnapshotPart readProcedural(const std::unordered_map<std::string, int64_t>& tableIds,
                              const ProceduralParents& parents);

 private:
  struct KeyColumn {
    int64_t pk, cid;
  };
  std::vector<KeyColumn> readColumns(const SchemaTable& table, SnapshotPart& part);
  std::string readConstraints(const SchemaTable& table, SnapshotPart& part);
  void readPrimaryKey(const SchemaTable& table, const std::string& keyName,
                      const std::vector<KeyColumn>& keyColumns, SnapshotPart& part);
  void readIndexes(const SchemaTable& table, SnapshotPart& part);

  sqlite3* db_;
  const std::string& schema_;
  sqlite::Stmt columnQuery_;
  sqlite::Stmt indexQuery_;
  sqlite::Stmt keyQuery_;
  sqlite::Stmt definitionQuery_;
  sqlite::Stmt indexIdQuery_;
};

}  // namespace db::embedded::catalog
