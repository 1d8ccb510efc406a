#include "db/embedded/catalog/snapshot_reader.h"

#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/catalog/constraints.h"
#include "db/embedded/catalog/default_text.h"
#include "db/embedded/catalog/metadata.h"
#include "db/embedded/catalog/sql_types.h"
#include "db/embedded/ddl/procedural.h"
#include "db/embedded/ddl/table_def.h"
#include "db/embedded/sql_quoting.h"

namespace db::embedded::catalog {
namespace {

constexpr std::string_view kDefinition = "SELECT sql FROM main.sqlite_schema WHERE rowid = ?1";
// An index's id follows its row in SQLite's schema.
constexpr std::string_view kIndexId =
    "SELECT rowid FROM main.sqlite_schema WHERE type = 'index' AND name = ?1 COLLATE NOCASE";
constexpr std::string_view kHasObjects =
    "SELECT count(*) FROM main.sqlite_schema WHERE name = 'kivtab_objects'";
constexpr std::string_view kTableColumns =
    "SELECT cid, name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(?1, 'main')";
constexpr std::string_view kTableIndexes =
    "SELECT name, \"unique\", origin, partial FROM pragma_index_list(?1, 'main')";
constexpr std::string_view kIndexKeyColumns =
    "SELECT seqno, cid, \"desc\" FROM pragma_index_xinfo(?1, 'main') WHERE key = 1 AND cid >= 0 "
    "ORDER BY seqno";

Cell optional(const std::optional<int64_t>& v) { return v ? Cell(*v) : Cell(); }
Cell optional(const std::optional<int>& v) { return v ? Cell(int64_t{*v}) : Cell(); }

}  // namespace

std::string forSchema(std::string_view sql, const std::string& schema) {
  std::string out(sql);
  auto replaceAll = [&](std::string_view from, const std::string& to) {
    for (size_t at = out.find(from); at != std::string::npos; at = out.find(from, at + to.size()))
      out.replace(at, from.size(), to);
  };
  if (schema == "main") {
    replaceAll("main.kivtab_objects", "kivtab_objects");
    return out;
  }
  replaceAll("main.", quoteIdentifier(schema) + ".");
  replaceAll("'main'", quoteString(schema));
  return out;
}

std::string markerKey(std::string_view trigger, std::string_view table) {
  return upper(trigger) + '\x1f' + upper(table);
}

bool hasObjectTable(sqlite3* db, const std::string& schema) {
  return schema == "main" || sqlite::scalarText(db, forSchema(kHasObjects, schema)) == "1";
}

SnapshotReader::SnapshotReader(sqlite3* db, const std::string& schema)
    : db_(db),
      schema_(schema),
      columnQuery_(db, forSchema(kTableColumns, schema)),
      indexQuery_(db, forSchema(kTableIndexes, schema)),
      keyQuery_(db, forSchema(kIndexKeyColumns, schema)),
      definitionQuery_(db, forSchema(kDefinition, schema)),
      indexIdQuery_(db, forSchema(kIndexId, schema)) {}

std::string SnapshotReader::definition(int64_t id) {
  definitionQuery_.bind(1, id);
  std::string sql = definitionQuery_.step() ? definitionQuery_.text(0) : std::string();
  definitionQuery_.reset();
  return sql;
}

SnapshotPart SnapshotReader::readTable(const SchemaTable& table) {
  SnapshotPart part;
  const bool isTable = table.isTable();
  part[RelationId::Tables].push_back({table.id, table.name, table.type, table.sql});
  part[RelationId::Objects].push_back({table.name, table.id, std::string(isTable ? "U" : "V"),
                                       int64_t{0}, Cell(), Cell(), int64_t{0}, int64_t{0}});
  if (!isTable) part[RelationId::Comments].push_back({table.id, table.sql});
  const std::vector<KeyColumn> keyColumns = readColumns(table, part);
  if (!isTable) return part;
  readPrimaryKey(table, readConstraints(table, part), keyColumns, part);
  readIndexes(table, part);
  return part;
}

SnapshotPart SnapshotReader::readProcedural(
    const std::unordered_map<std::string, int64_t>& tableIds, const ProceduralParents& parents) {
  SnapshotPart part;
  sqlite::Stmt procedural(db_, forSchema(kProceduralRows, schema_));
  while (procedural.step()) {
    const std::string type = procedural.text(2), parentName = upper(procedural.text(3));
    const bool listed = type == "P" || type == "V" || parents.views.count(parentName) > 0 ||
                        parents.markers.count(markerKey(
                            std::string(ddl::kMarkerPrefix) + procedural.text(1), parentName)) > 0;
    if (!listed) continue;
    const int64_t id = kProceduralIdBase + procedural.integer(0);
    auto parent = tableIds.find(parentName);
    auto date = [&](int column) {
      return procedural.isNull(column) ? Cell() : Cell(procedural.real(column));
    };
    part[RelationId::Objects].push_back({procedural.text(1), id, procedural.text(2),
                                         parent == tableIds.end() ? int64_t{0} : parent->second,
                                         date(7), date(8), procedural.integer(4),
                                         procedural.integer(5)});
    part[RelationId::Comments].push_back({id, procedural.text(6)});
    // A view over another database: listed with the tables and views, its columns are not.
    if (procedural.text(2) == "V")
      part[RelationId::Tables].push_back(
          {id, procedural.text(1), std::string("view"), procedural.text(6)});
  }
  return part;
}

// The table's columns, with their defaults as comments; answers the primary-key columns.
std::vector<SnapshotReader::KeyColumn> SnapshotReader::readColumns(const SchemaTable& table,
                                                                   SnapshotPart& part) {
  std::vector<KeyColumn> keyColumns;
  Rows columnRows;
  columnQuery_.bind(1, table.name);
  while (columnQuery_.step()) {
    const int64_t cid = columnQuery_.integer(0);
    const std::string declared = columnQuery_.text(2);
    const bool hasDefault = !columnQuery_.isNull(4) && table.isTable();
    const int64_t pk = columnQuery_.integer(5);
    if (pk > 0) keyColumns.push_back({pk, cid});
    const SqlType t = describeType(declared);
    columnRows.push_back({table.id,
                          table.name,
                          table.type,
                          cid,
                          columnQuery_.text(1),
                          declared,
                          columnQuery_.integer(3),
                          hasDefault ? Cell(columnQuery_.text(4)) : Cell(),
                          pk,
                          hasDefault ? Cell(table.id * kIdsPerTable + cid + 1) : Cell(int64_t{0}),
                          t.name,
                          int64_t{t.xtype},
                          t.length,
                          int64_t{t.precision},
                          int64_t{t.scale},
                          optional(t.charLength),
                          optional(t.numericPrecision),
                          optional(t.numericScale),
                          optional(t.datetimePrecision),
                          hasDefault ? Cell(serverDefaultText(columnQuery_.text(4))) : Cell(),
                          int64_t{0}});
  }
  columnQuery_.reset();
  // A lone INTEGER primary key is SQLite's row id, shown as an identity column.
  const bool identity = keyColumns.size() == 1;
  for (auto& row : columnRows) {
    if (identity && std::get<int64_t>(row[8]) == 1 &&
        iequals(std::get<std::string>(row[5]), "INTEGER"))
      row[20] = int64_t{1};
    if (!std::holds_alternative<std::monostate>(row[19]))
      part[RelationId::Comments].push_back({row[9], row[19]});
    part[RelationId::Columns].push_back(std::move(row));
  }
  return keyColumns;
}

// The named constraints of the table's definition; answers the primary key's name.
std::string SnapshotReader::readConstraints(const SchemaTable& table, SnapshotPart& part) {
  std::string keyName = "PK__" + table.name;
  try {
    for (const auto& c : constraintsOf(ddl::TableDef::parse(table.sql), table.name)) {
      const int64_t id = table.id * kIdsPerTable + c.offset;
      part[RelationId::Constraints].push_back({table.id, table.name, id, c.name, c.type});
      part[RelationId::Objects].push_back(
          {c.name, id, c.type, table.id, Cell(), Cell(), int64_t{0}, int64_t{0}});
      if (c.type == "PK") keyName = c.name;
    }
  } catch (const Error&) {
    // A definition the parser does not follow lists no named constraints.
  }
  return keyName;
}

// The clustered primary key, or a heap when the table has none.
void SnapshotReader::readPrimaryKey(const SchemaTable& table, const std::string& keyName,
                                    const std::vector<KeyColumn>& keyColumns, SnapshotPart& part) {
  if (keyColumns.empty()) {
    part[RelationId::Indexes].push_back({table.id, Cell(), int64_t{0}, int64_t{0},
                                         std::string("HEAP"), int64_t{0}, int64_t{0}, int64_t{0},
                                         int64_t{0}});
    return;
  }
  part[RelationId::Indexes].push_back({table.id, keyName, int64_t{1}, int64_t{1},
                                       std::string("CLUSTERED"), int64_t{1}, int64_t{1}, int64_t{0},
                                       int64_t{0}});
  for (const auto& k : keyColumns)
    part[RelationId::IndexColumns].push_back(
        {table.id, int64_t{1}, k.pk, k.cid + 1, k.pk, int64_t{0}});
}

// The other indexes; each is listed before its key columns are read.
void SnapshotReader::readIndexes(const SchemaTable& table, SnapshotPart& part) {
  indexQuery_.bind(1, table.name);
  std::vector<std::pair<std::string, std::vector<Cell>>> found;
  while (indexQuery_.step()) {
    if (indexQuery_.text(2) == "pk") continue;
    const std::string indexName = indexQuery_.text(0);
    indexIdQuery_.bind(1, indexName);
    const int64_t indexId = (indexIdQuery_.step() ? indexIdQuery_.integer(0) : 0) + 1;
    indexIdQuery_.reset();
    found.push_back({indexName,
                     {table.id, indexName, indexId, int64_t{2}, std::string("NONCLUSTERED"),
                      indexQuery_.integer(1), int64_t{0},
                      int64_t{indexQuery_.text(2) == "u" ? 1 : 0}, indexQuery_.integer(3)}});
  }
  indexQuery_.reset();
  for (auto& [indexName, row] : found) {
    const Cell indexId = row[2];
    part[RelationId::Indexes].push_back(std::move(row));
    keyQuery_.bind(1, indexName);
    while (keyQuery_.step())
      part[RelationId::IndexColumns].push_back({table.id, indexId, keyQuery_.integer(0) + 1,
                                                keyQuery_.integer(1) + 1, keyQuery_.integer(0) + 1,
                                                keyQuery_.integer(2)});
    keyQuery_.reset();
  }
}

}  // namespace db::embedded::catalog
