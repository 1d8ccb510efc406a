#include "db/embedded/catalog/schema_snapshot.h"

#include <sqlite3.h>

#include <algorithm>
#include <functional>

#include "db/core/text.h"
#include "db/embedded/catalog/snapshot_reader.h"
#include "db/embedded/catalog/sqlite_access.h"

namespace db::embedded::catalog {
namespace {

constexpr std::string_view kSchemaRows =
    "SELECT rowid, type, name, sql FROM main.sqlite_schema ORDER BY rowid";
constexpr std::string_view kSchemaObjects =
    "SELECT rowid, type, name, tbl_name, sql FROM main.sqlite_schema ORDER BY rowid";
constexpr std::string_view kSchemaCookie = "PRAGMA main.schema_version";
constexpr std::string_view kDataVersion = "PRAGMA main.data_version";

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

constexpr uint64_t kHashBasis = 14695981039346656037ull;

uint64_t combine(uint64_t hash, uint64_t value) { return (hash ^ value) * 1099511628211ull; }

uint64_t mix(uint64_t hash, std::string_view field) {
  return combine(hash, std::hash<std::string_view>{}(field));
}

// The schema's identity: every object's row id, kind, name and definition. Taken before every
// catalogue query, so the texts are hashed where SQLite holds them, not copied.
uint64_t schemaFingerprint(sqlite3* db, const std::string& schema) {
  uint64_t hash = kHashBasis;
  sqlite::Stmt rows(db, forSchema(kSchemaRows, schema));
  while (rows.step())
    for (int i = 0; i < 4; ++i) hash = mix(hash, rows.view(i));
  if (!hasObjectTable(db, schema)) return hash;
  sqlite::Stmt objects(db, forSchema(kProceduralRows, schema));
  while (objects.step())
    for (int i = 0; i < objects.columnCount(); ++i) hash = mix(hash, objects.view(i));
  return hash;
}

bool sameRows(const std::vector<std::shared_ptr<const SnapshotPart>>& a,
              const std::vector<std::shared_ptr<const SnapshotPart>>& b, RelationId id) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && (*a[i])[id] != (*b[i])[id]) return false;
  return true;
}

// SQLite's own tables and the engine's are not the user's.
bool isEngineName(std::string_view name) {
  const std::string lowered = lower(name);
  return lowered.starts_with("sqlite_") || lowered.starts_with("kivtab_");
}

// A schema row's identity, as the fingerprint takes it.
uint64_t rowSource(const sqlite::Stmt& rows, uint64_t hash) {
  for (int i = 0; i < 5; ++i) hash = mix(hash, rows.view(i));
  return hash;
}

}  // namespace

void Relation::addRow(std::vector<Cell> row) {
  const size_t index = rows.size();
  for (size_t k = 0; k < keyColumns.size(); ++k)
    lookups[k].push_back({keyOf(row[keyColumns[k]]), index});
  rows.push_back(std::move(row));
}

void Relation::sortLookups() {
  for (auto& lookup : lookups) std::sort(lookup.begin(), lookup.end());
}

std::optional<std::span<const Relation::KeyedRow>> Relation::find(size_t keyColumn,
                                                                  const Cell& value) const {
  for (size_t k = 0; k < keyColumns.size(); ++k) {
    if (keyColumns[k] != keyColumn) continue;
    const uint64_t key = keyOf(value);
    const auto [from, to] =
        std::equal_range(lookups[k].begin(), lookups[k].end(), KeyedRow{key, 0},
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    return std::span<const KeyedRow>(from, to);
  }
  return std::nullopt;
}

// Texts without regard to case (ASCII, as the catalogue's NOCASE compares), numbers by value.
uint64_t Relation::keyOf(const Cell& value) {
  if (const auto* i = std::get_if<int64_t>(&value)) return std::hash<int64_t>{}(*i);
  if (const auto* d = std::get_if<double>(&value)) return std::hash<double>{}(*d);
  if (const auto* s = std::get_if<std::string>(&value)) {
    uint64_t hash = kHashBasis;
    for (char c : *s)
      hash = combine(hash, static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
    return hash;
  }
  return 0;
}

const Relation& SchemaSnapshot::shape(RelationId id) { return shapes()[static_cast<size_t>(id)]; }

std::shared_ptr<const Relation> SchemaSnapshot::current(sqlite3* db, const std::string& schema,
                                                        RelationId id) {
  refresh(db, schema);
  auto& relation = relations_[static_cast<size_t>(id)];
  if (!relation) relation = assemble(id);
  return relation;
}

void SchemaSnapshot::refresh(sqlite3* db, const std::string& schema) {
  const std::optional<Version> version = committedVersion(db, schema);
  if (version) {
    if (read_ && version == version_) return;
    reread(db, schema);
    version_ = version;
    fingerprint_.reset();
    return;
  }
  const uint64_t fingerprint = schemaFingerprint(db, schema);
  if (read_ && fingerprint == fingerprint_) return;
  reread(db, schema);
  version_.reset();
  fingerprint_ = fingerprint;
}

std::optional<SchemaSnapshot::Version> SchemaSnapshot::committedVersion(sqlite3* db,
                                                                        const std::string& schema) {
  if (!sqlite3_get_autocommit(db)) return std::nullopt;
  return Version{std::stoll(sqlite::scalarText(db, forSchema(kSchemaCookie, schema))),
                 std::stoll(sqlite::scalarText(db, forSchema(kDataVersion, schema))),
                 sqlite3_total_changes64(db)};
}

void SchemaSnapshot::reread(sqlite3* db, const std::string& schema) {
  std::unordered_map<std::string, uint64_t> indexSources;  // by upper-case table name
  std::vector<std::pair<SchemaTable, uint64_t>> listed;    // user tables and views
  ProceduralParents parents;
  sqlite::Stmt rows(db, forSchema(kSchemaObjects, schema));
  while (rows.step()) {
    const std::string type = rows.text(1), name = rows.text(2);
    if (type == "index") {
      uint64_t& source = indexSources[upper(rows.view(3))];
      source = rowSource(rows, source);
    } else if (type == "trigger") {
      parents.markers.insert(markerKey(name, rows.view(3)));
    } else if (type == "table" || type == "view") {
      if (type == "view") parents.views.insert(upper(name));
      if (isEngineName(name)) continue;
      const uint64_t source = rowSource(rows, kHashBasis);
      // The definition is read only for a table read again.
      listed.push_back({SchemaTable{rows.integer(0), name, type, {}}, source});
    }
  }

  // A view's columns follow the tables it reads: it is kept only while every table is.
  bool tablesKept = true;
  size_t tableCount = 0;
  for (auto& [table, source] : listed) {
    const std::string key = upper(table.name);
    source = combine(source, indexSources[key]);
    if (!table.isTable()) continue;
    ++tableCount;
    tablesKept = tablesKept && kept(key, source, nullptr);
  }
  tablesKept = tablesKept && tableCount == tableCount_;

  std::shared_ptr<const KeptTables> lastRead;
  {
    std::lock_guard lock(lastReadMutex_);
    lastRead = lastRead_;
  }
  SnapshotReader reader(db, schema);
  auto tables = std::make_shared<KeptTables>();
  std::vector<std::shared_ptr<const SnapshotPart>> parts;
  std::unordered_map<std::string, int64_t> tableIds;
  for (auto& [table, source] : listed) {
    const std::string key = upper(table.name);
    tableIds[key] = table.id;
    std::shared_ptr<const SnapshotPart> part;
    if (table.isTable())
      part = kept(key, source, lastRead.get());
    else if (tablesKept)
      part = kept(key, source, nullptr);
    if (!part) {
      table.sql = reader.definition(table.id);
      part = std::make_shared<const SnapshotPart>(reader.readTable(table));
    }
    parts.push_back(part);
    tables->emplace(key, KeptTable{source, std::move(part)});
  }
  if (hasObjectTable(db, schema))
    parts.push_back(std::make_shared<const SnapshotPart>(reader.readProcedural(tableIds, parents)));

  // Rows written since the last read bring the snapshot here too: a relation already put
  // together stays while its rows are the same.
  for (size_t i = 0; i < relations_.size(); ++i)
    if (!read_ || !sameRows(parts_, parts, static_cast<RelationId>(i))) relations_[i].reset();
  tables_ = std::move(tables);
  {
    std::lock_guard lock(lastReadMutex_);
    lastRead_ = tables_;
  }
  tableCount_ = tableCount;
  parts_ = std::move(parts);
  read_ = true;
}

std::mutex SchemaSnapshot::lastReadMutex_;
std::shared_ptr<const SchemaSnapshot::KeptTables> SchemaSnapshot::lastRead_;

std::shared_ptr<const SnapshotPart> SchemaSnapshot::kept(const std::string& key, uint64_t source,
                                                         const KeptTables* lastRead) const {
  for (const KeptTables* tables : {tables_.get(), lastRead}) {
    if (!tables) continue;
    const auto found = tables->find(key);
    if (found != tables->end() && found->second.source == source) return found->second.part;
  }
  return nullptr;
}

std::shared_ptr<const Relation> SchemaSnapshot::assemble(RelationId id) const {
  auto relation = std::make_shared<Relation>(shape(id));
  relation->lookups.resize(relation->keyColumns.size());
  size_t count = 0;
  for (const auto& part : parts_) count += (*part)[id].size();
  relation->rows.reserve(count);
  for (const auto& part : parts_)
    for (const auto& row : (*part)[id]) relation->addRow(row);
  relation->sortLookups();
  return relation;
}

}  // namespace db::embedded::catalog
