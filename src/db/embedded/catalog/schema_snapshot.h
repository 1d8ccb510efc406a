#pragma once

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

using Relations = std::vector<Relation>;

class SchemaSnapshot {
 public:
  // The relations for the current schema, read again when it differs from the one they were
  // read from. Readers keep the version they were handed while a newer one replaces it.
  // `schema` is the SQLite schema read: "main", or an attached database.
  std::shared_ptr<const Relations> current(sqlite3* db, const std::string& schema);
  // The relations' shapes, before any rows are read.
  static const Relation& shape(RelationId id);

 private:
  static std::shared_ptr<const Relations> read(sqlite3* db, const std::string& schema);
  uint64_t fingerprint_ = 0;
  std::shared_ptr<const Relations> relations_;
};

}  // namespace db::embedded::catalog
