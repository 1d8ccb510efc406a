#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
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
  using KeyedRow = std::pair<uint64_t, size_t>;  // a key's hash and a row with that key

  std::string_view name;                  // the SQL name of its table-valued view
  std::vector<std::string_view> columns;  // "name TYPE [COLLATE NOCASE]"
  std::vector<size_t> keyColumns;         // columns with a look-up
  std::vector<std::vector<Cell>> rows;
  // keyColumns[i] -> its keyed rows in hash order. Two keys may share a hash: the rows a look-up
  // answers are checked again by SQLite (see the table-valued names).
  std::vector<std::vector<KeyedRow>> lookups;

  void addRow(std::vector<Cell> row);
  // Puts the look-ups in order once every row is in.
  void sortLookups();
  // The rows whose key may equal `value`; nothing when the column has no look-up.
  std::optional<std::span<const KeyedRow>> find(size_t keyColumn, const Cell& value) const;
  static uint64_t keyOf(const Cell& value);
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
  // A table's or view's rows with a hash of the schema text they were read from (its own and
  // its indexes'), as the fingerprint takes it.
  struct KeptTable {
    uint64_t source = 0;
    std::shared_ptr<const SnapshotPart> part;
  };
  // Tables and views, by upper-case name.
  using KeptTables = std::unordered_map<std::string, KeptTable>;

  // What changes with every commit that may touch the schema; see committedVersion.
  struct Version {
    int64_t schemaCookie = 0, dataVersion = 0, changes = 0;
    bool operator==(const Version&) const = default;
  };

  // Outside a transaction, the schema cookie goes up with every committed schema change, the
  // data version with every commit of another connection and the change count with every row
  // this connection writes (the engine's object table included): while all three stay, nothing
  // the snapshot shows can have changed, and the schema's texts need not be read. Inside a
  // transaction a rollback can take the cookie back, so there only the fingerprint tells.
  static std::optional<Version> committedVersion(sqlite3* db, const std::string& schema);
  void refresh(sqlite3* db, const std::string& schema);
  void reread(sqlite3* db, const std::string& schema);
  std::shared_ptr<const Relation> assemble(RelationId id) const;
  // The kept part for a table or view of this text: this connection's, else the last read's.
  std::shared_ptr<const SnapshotPart> kept(const std::string& key, uint64_t source,
                                           const KeptTables* lastRead) const;

  bool read_ = false;
  // What the parts were read at: the committed version when read outside a transaction, else
  // the schema's fingerprint.
  std::optional<Version> version_;
  std::optional<uint64_t> fingerprint_;
  // A change reads again only the tables whose schema text changed (DDL runs one table at a
  // time), and a relation is put together only when a query asks for it.
  std::shared_ptr<const KeptTables> tables_ = std::make_shared<const KeptTables>();
  size_t tableCount_ = 0;  // of them, the tables
  // A table's part follows from its text alone, so it serves every connection: one opened
  // after another has read the schema takes the parts of the tables that are as they were
  // instead of reading every table again. Only the last schema read is kept.
  static std::mutex lastReadMutex_;
  static std::shared_ptr<const KeptTables> lastRead_;
  std::vector<std::shared_ptr<const SnapshotPart>> parts_;  // in listing order
  std::array<std::shared_ptr<const Relation>, static_cast<size_t>(RelationId::Count)> relations_;
};

}  // namespace db::embedded::catalog
