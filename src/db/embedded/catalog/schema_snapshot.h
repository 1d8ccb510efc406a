#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

struct sqlite3;

// The facts the catalogue views show about tables, columns, constraints, indexes, procedures
// and triggers, read from SQLite's schema and the engine's object table once per change and kept in
// memory: catalogue queries run often (once per table while reconciling the structure) and must not
// re-read every table's definition.
namespace db::embedded::catalog {

using Cell = std::variant<std::monostate, int64_t, std::string, double>;

// One relation of the snapshot: named columns, rows, and look-ups on some columns (texts
// compared without regard to case).
struct Relation {
  std::string_view name;                  // the SQL name of its table-valued view
  std::vector<std::string_view> columns;  // "name TYPE [COLLATE NOCASE]"
  std::vector<size_t> keyColumns;         // columns with a look-up
  std::vector<std::vector<Cell>> rows;
  // keyColumns[i] -> (key -> rows)
  std::vector<std::unordered_map<std::string, std::vector<size_t>>> lookups;

  void addRow(std::vector<Cell> row);
  const std::vector<size_t>* find(size_t keyColumn, const Cell& value) const;
  static std::string keyOf(const Cell& value);
};

enum class RelationId {
  Tables,
  Columns,
  Constraints,
  Indexes,
  IndexColumns,
  Objects,   // every object: tables, views, constraints, procedures, triggers
  Comments,  // texts of defaults, procedures, triggers and views
  Count
};

struct SnapshotPart;

class SchemaSnapshot {
 public:
  // A relation for the current schema, assembled again when the schema differs from the one it
  // was read from. Readers keep the version they were handed while a newer one replaces it.
  // `schema` is the SQLite schema read: "main", or an attached database.
  std::shared_ptr<const Relation> current(sqlite3* db, const std::string& schema, RelationId id);
  // The relations' shapes, before any rows are read.
  static const Relation& shape(RelationId id);

 private:
  // A table's rows with the schema text they were read from (the table's and its indexes').
  struct KeptTable {
    std::string source;
    std::shared_ptr<const SnapshotPart> part;
  };

  void refresh(sqlite3* db, const std::string& schema);
  std::shared_ptr<const Relation> assemble(RelationId id) const;

  uint64_t fingerprint_ = 0;
  bool read_ = false;
  // A change reads again only the tables whose schema text changed (DDL runs one table at a
  // time), and a relation is put together only when a query asks for it.
  std::unordered_map<std::string, KeptTable> tables_;       // by upper-case name
  std::vector<std::shared_ptr<const SnapshotPart>> parts_;  // in listing order
  std::array<std::shared_ptr<const Relation>, static_cast<size_t>(RelationId::Count)> relations_;
};

}  // namespace db::embedded::catalog
