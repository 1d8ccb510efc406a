#include "db/embedded/catalog/schema_snapshot.h"

#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/catalog/constraints.h"
#include "db/embedded/catalog/default_text.h"
#include "db/embedded/catalog/metadata.h"
#include "db/embedded/catalog/sql_types.h"
#include "db/embedded/catalog/sqlite_access.h"
#include "db/embedded/ddl/table_def.h"
#include "db/embedded/sql_quoting.h"

namespace db::embedded::catalog {
namespace {

constexpr std::string_view kSchemaRows =
    "SELECT rowid, type, name, sql FROM main.sqlite_schema ORDER BY rowid";
constexpr std::string_view kUserTables =
    "SELECT rowid, name, type, sql FROM main.sqlite_schema WHERE type IN ('table', 'view') "
    "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' AND name NOT LIKE 'kivtab\\_%' ESCAPE '\\' "
    "ORDER BY rowid";
// Procedures, and triggers whose table still exists: a table's triggers carry a marker trigger
// in SQLite's schema that goes when the table is dropped (see the DDL's procedural objects).
constexpr std::string_view kProcedural =
    "SELECT o.rowid, o.name, o.type, o.parent, o.is_disabled, o.is_instead_of, o.definition, "
    "o.create_date, o.modify_date FROM main.kivtab_objects o WHERE o.type IN ('P', 'V') OR EXISTS "
    "(SELECT "
    "1 "
    "FROM main.sqlite_schema m WHERE (m.type = 'view' AND m.name = o.parent COLLATE NOCASE) OR "
    "(m.type = 'trigger' AND m.name = 'kivtab_marker_' || o.name COLLATE NOCASE AND m.tbl_name = "
    "o.parent COLLATE NOCASE)) ORDER BY o.rowid";
constexpr std::string_view kProceduralRows =
    "SELECT rowid, name, type, parent, is_disabled, definition FROM main.kivtab_objects ORDER BY "
    "rowid";
constexpr std::string_view kHasObjects =
    "SELECT count(*) FROM main.sqlite_schema WHERE name = 'kivtab_objects'";
constexpr std::string_view kIndexIds =
    "SELECT name, rowid FROM main.sqlite_schema WHERE type = 'index'";
constexpr std::string_view kTableColumns =
    "SELECT cid, name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(?1, 'main')";
constexpr std::string_view kTableIndexes =
    "SELECT name, \"unique\", origin, partial FROM pragma_index_list(?1, 'main')";
constexpr std::string_view kIndexKeyColumns =
    "SELECT seqno, cid, \"desc\" FROM pragma_index_xinfo(?1, 'main') WHERE key = 1 AND cid >= 0 "
    "ORDER BY seqno";

// A query of the main schema made to read `schema` instead. The connection's own object table
// may be a TEMP stand-in (a read-only database), so there it stays unqualified.
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

// Whether the schema holds the engine's object table (a database made by another program has
// none; the connection's own always has one, maybe a TEMP stand-in).
bool hasObjectTable(sqlite3* db, const std::string& schema) {
  return schema == "main" || sqlite::scalarText(db, forSchema(kHasObjects, schema)) == "1";
}

const std::vector<Relation>& shapes() {
  static const std::vector<Relation> kShapes = {
      {"kivtab_vt_tables",
       {"id INTEGER", "name TEXT COLLATE NOCASE", "type TEXT", "sql TEXT"},
       {0, 1},
       {},
       {}},
      {"kivtab_vt_columns",
       {"table_id INTEGER",
        "table_name TEXT COLLATE NOCASE",
        "table_type TEXT",
        "cid INTEGER",
        "name TEXT COLLATE NOCASE",
        "declared TEXT",
        "not_null INTEGER",
        "dflt TEXT",
        "pk INTEGER",
        "default_id INTEGER",
        "type_name TEXT COLLATE NOCASE",
        "xtype INTEGER",
        "length INTEGER",
        "xprec INTEGER",
        "xscale INTEGER",
        "char_length INTEGER",
        "numeric_precision INTEGER",
        "numeric_scale INTEGER",
        "datetime_precision INTEGER",
        "default_text TEXT",
        "is_identity INTEGER"},
       {0, 9},
       {},
       {}},
      {"kivtab_vt_constraints",
       {"parent_id INTEGER", "table_name TEXT COLLATE NOCASE", "id INTEGER",
        "name TEXT COLLATE NOCASE", "type TEXT"},
       {2, 3, 0},
       {},
       {}},
      {"kivtab_vt_indexes",
       {"object_id INTEGER", "name TEXT COLLATE NOCASE", "index_id INTEGER", "type INTEGER",
        "type_desc TEXT", "is_unique INTEGER", "is_primary_key INTEGER",
        "is_unique_constraint INTEGER", "has_filter INTEGER"},
       {0, 1},
       {},
       {}},
      {"kivtab_vt_index_columns",
       {"object_id INTEGER", "index_id INTEGER", "index_column_id INTEGER", "column_id INTEGER",
        "key_ordinal INTEGER", "is_descending_key INTEGER"},
       {0, 1},
       {},
       {}},
      {"kivtab_vt_objects",
       {"name TEXT COLLATE NOCASE", "id INTEGER", "type TEXT COLLATE NOCASE", "parent_id INTEGER",
        "create_date REAL", "modify_date REAL", "is_disabled INTEGER", "is_instead_of INTEGER"},
       {0, 1, 3},
       {},
       {}},
      {"kivtab_vt_comments", {"id INTEGER", "text TEXT"}, {0}, {}, {}},
  };
  return kShapes;
}

Cell optional(const std::optional<int64_t>& v) { return v ? Cell(*v) : Cell(); }
Cell optional(const std::optional<int>& v) { return v ? Cell(int64_t{*v}) : Cell(); }

uint64_t fnv(uint64_t hash, std::string_view text) {
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash * 1099511628211ull;  // separates consecutive fields
}

// The schema's identity: every object's row id, kind, name and definition.
uint64_t schemaFingerprint(sqlite3* db, const std::string& schema) {
  uint64_t hash = 14695981039346656037ull;
  sqlite::Stmt rows(db, forSchema(kSchemaRows, schema));
  while (rows.step())
    for (int i = 0; i < 4; ++i) hash = fnv(hash, rows.text(i));
  if (!hasObjectTable(db, schema)) return hash;
  sqlite::Stmt objects(db, forSchema(kProceduralRows, schema));
  while (objects.step())
    for (int i = 0; i < 6; ++i) hash = fnv(hash, objects.text(i));
  return hash;
}

// Reads one schema into fresh relations: tables and views with their columns, constraints and
// indexes, then procedures and triggers. The statements are prepared once and bound per table.
class SnapshotReader {
 public:
  SnapshotReader(sqlite3* db, const std::string& schema)
      : db_(db),
        schema_(schema),
        out_(std::make_shared<Relations>(shapes())),
        tables_(relation(RelationId::Tables)),
        columns_(relation(RelationId::Columns)),
        constraints_(relation(RelationId::Constraints)),
        indexes_(relation(RelationId::Indexes)),
        indexColumns_(relation(RelationId::IndexColumns)),
        objects_(relation(RelationId::Objects)),
        comments_(relation(RelationId::Comments)),
        columnQuery_(db, forSchema(kTableColumns, schema)),
        indexQuery_(db, forSchema(kTableIndexes, schema)),
        keyQuery_(db, forSchema(kIndexKeyColumns, schema)) {
    for (auto& r : *out_) r.lookups.resize(r.keyColumns.size());
    sqlite::Stmt stmt(db, forSchema(kIndexIds, schema));
    while (stmt.step()) indexIds_[upper(stmt.text(0))] = stmt.integer(1);
  }

  void readTables() {
    sqlite::Stmt tableQuery(db_, forSchema(kUserTables, schema_));
    while (tableQuery.step()) {
      const TableRow table{tableQuery.integer(0), tableQuery.text(1), tableQuery.text(2),
                           tableQuery.text(3)};
      const bool isTable = table.type == "table";
      tables_.addRow({table.id, table.name, table.type, table.sql});
      objects_.addRow({table.name, table.id, std::string(isTable ? "U" : "V"), int64_t{0}, Cell(),
                       Cell(), int64_t{0}, int64_t{0}});
      tableIds_[upper(table.name)] = table.id;
      if (!isTable) comments_.addRow({table.id, table.sql});
      const std::vector<KeyColumn> keyColumns = readColumns(table, isTable);
      if (!isTable) continue;
      readPrimaryKey(table, readConstraints(table), keyColumns);
      readIndexes(table);
    }
  }

  void readProcedural() {
    sqlite::Stmt procedural(db_, forSchema(kProcedural, schema_));
    while (procedural.step()) {
      const int64_t id = kProceduralIdBase + procedural.integer(0);
      auto parent = tableIds_.find(upper(procedural.text(3)));
      auto date = [&](int column) {
        return procedural.isNull(column) ? Cell() : Cell(procedural.real(column));
      };
      objects_.addRow({procedural.text(1), id, procedural.text(2),
                       parent == tableIds_.end() ? int64_t{0} : parent->second, date(7), date(8),
                       procedural.integer(4), procedural.integer(5)});
      comments_.addRow({id, procedural.text(6)});
      // A view over another database: listed with the tables and views, its columns are not.
      if (procedural.text(2) == "V")
        tables_.addRow({id, procedural.text(1), std::string("view"), procedural.text(6)});
    }
  }

  std::shared_ptr<const Relations> result() { return out_; }

 private:
  struct TableRow {
    int64_t id;
    std::string name, type, sql;
  };
  struct KeyColumn {
    int64_t pk, cid;
  };

  Relation& relation(RelationId id) { return (*out_)[static_cast<size_t>(id)]; }

  // The table's columns, with their defaults as comments; answers the primary-key columns.
  std::vector<KeyColumn> readColumns(const TableRow& table, bool isTable) {
    std::vector<KeyColumn> keyColumns;
    std::vector<std::vector<Cell>> columnRows;
    columnQuery_.bind(1, table.name);
    while (columnQuery_.step()) {
      const int64_t cid = columnQuery_.integer(0);
      const std::string declared = columnQuery_.text(2);
      const bool hasDefault = !columnQuery_.isNull(4) && isTable;
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
      if (!std::holds_alternative<std::monostate>(row[19])) comments_.addRow({row[9], row[19]});
      columns_.addRow(std::move(row));
    }
    return keyColumns;
  }

  // The named constraints of the table's definition; answers the primary key's name.
  std::string readConstraints(const TableRow& table) {
    std::string keyName = "PK__" + table.name;
    try {
      for (const auto& c : constraintsOf(ddl::TableDef::parse(table.sql), table.name)) {
        const int64_t id = table.id * kIdsPerTable + c.offset;
        constraints_.addRow({table.id, table.name, id, c.name, c.type});
        objects_.addRow({c.name, id, c.type, table.id, Cell(), Cell(), int64_t{0}, int64_t{0}});
        if (c.type == "PK") keyName = c.name;
      }
    } catch (const Error&) {
      // A definition the parser does not follow lists no named constraints.
    }
    return keyName;
  }

  // The clustered primary key, or a heap when the table has none.
  void readPrimaryKey(const TableRow& table, const std::string& keyName,
                      const std::vector<KeyColumn>& keyColumns) {
    if (keyColumns.empty()) {
      indexes_.addRow({table.id, Cell(), int64_t{0}, int64_t{0}, std::string("HEAP"), int64_t{0},
                       int64_t{0}, int64_t{0}, int64_t{0}});
      return;
    }
    indexes_.addRow({table.id, keyName, int64_t{1}, int64_t{1}, std::string("CLUSTERED"),
                     int64_t{1}, int64_t{1}, int64_t{0}, int64_t{0}});
    for (const auto& k : keyColumns)
      indexColumns_.addRow({table.id, int64_t{1}, k.pk, k.cid + 1, k.pk, int64_t{0}});
  }

  // The other indexes; each is listed before its key columns are read.
  void readIndexes(const TableRow& table) {
    indexQuery_.bind(1, table.name);
    std::vector<std::pair<std::string, std::vector<Cell>>> found;
    while (indexQuery_.step()) {
      if (indexQuery_.text(2) == "pk") continue;
      const std::string indexName = indexQuery_.text(0);
      const int64_t indexId = indexIds_[upper(indexName)] + 1;
      found.push_back({indexName,
                       {table.id, indexName, indexId, int64_t{2}, std::string("NONCLUSTERED"),
                        indexQuery_.integer(1), int64_t{0},
                        int64_t{indexQuery_.text(2) == "u" ? 1 : 0}, indexQuery_.integer(3)}});
    }
    indexQuery_.reset();
    for (auto& [indexName, row] : found) {
      const Cell indexId = row[2];
      indexes_.addRow(std::move(row));
      keyQuery_.bind(1, indexName);
      while (keyQuery_.step())
        indexColumns_.addRow({table.id, indexId, keyQuery_.integer(0) + 1, keyQuery_.integer(1) + 1,
                              keyQuery_.integer(0) + 1, keyQuery_.integer(2)});
      keyQuery_.reset();
    }
  }

  sqlite3* db_;
  const std::string& schema_;
  std::shared_ptr<Relations> out_;
  Relation& tables_;
  Relation& columns_;
  Relation& constraints_;
  Relation& indexes_;
  Relation& indexColumns_;
  Relation& objects_;
  Relation& comments_;
  std::unordered_map<std::string, int64_t> tableIds_;
  std::unordered_map<std::string, int64_t> indexIds_;
  sqlite::Stmt columnQuery_;
  sqlite::Stmt indexQuery_;
  sqlite::Stmt keyQuery_;
};

}  // namespace

void Relation::addRow(std::vector<Cell> row) {
  const size_t index = rows.size();
  for (size_t k = 0; k < keyColumns.size(); ++k)
    lookups[k][keyOf(row[keyColumns[k]])].push_back(index);
  rows.push_back(std::move(row));
}

const std::vector<size_t>* Relation::find(size_t keyColumn, const Cell& value) const {
  for (size_t k = 0; k < keyColumns.size(); ++k) {
    if (keyColumns[k] != keyColumn) continue;
    auto it = lookups[k].find(keyOf(value));
    static const std::vector<size_t> kNone;
    return it == lookups[k].end() ? &kNone : &it->second;
  }
  return nullptr;
}

std::string Relation::keyOf(const Cell& value) {
  if (const auto* i = std::get_if<int64_t>(&value)) return "#" + std::to_string(*i);
  if (const auto* s = std::get_if<std::string>(&value)) return "'" + upper(*s);
  if (const auto* d = std::get_if<double>(&value)) return "#" + std::to_string(*d);
  return "null";
}

const Relation& SchemaSnapshot::shape(RelationId id) { return shapes()[static_cast<size_t>(id)]; }

std::shared_ptr<const Relations> SchemaSnapshot::current(sqlite3* db, const std::string& schema) {
  const uint64_t fingerprint = schemaFingerprint(db, schema);
  if (!relations_ || fingerprint != fingerprint_) {
    relations_ = read(db, schema);
    fingerprint_ = fingerprint;
  }
  return relations_;
}

std::shared_ptr<const Relations> SchemaSnapshot::read(sqlite3* db, const std::string& schema) {
  SnapshotReader reader(db, schema);
  reader.readTables();
  if (hasObjectTable(db, schema)) reader.readProcedural();
  return reader.result();
}

}  // namespace db::embedded::catalog
