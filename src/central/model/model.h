#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The central model: every central table the register's download touches, kept as data in
// model/central_model.json and compiled into the binary.
namespace central {

// A model file that does not parse or does not hold together.
class ModelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Column {
  std::string name;
  std::string type;  // T-SQL type text as the catalogue shows it: "VARCHAR(10)", "DECIMAL(17,3)"
  bool nullable = true;
  std::optional<std::string> defaultValue;  // T-SQL default expression: "'N'", "0", "GETDATE()"
};

struct PrimaryKey {
  std::string name;  // "PK_" + table
  std::vector<std::string> columns;
};

struct IndexColumn {
  std::string name;
  bool descending = false;
};

struct Index {
  std::string name;
  std::vector<IndexColumn> columns;
};

enum class TableKind {
  Data,         // a central table the register keeps a copy of
  DeleteCache,  // deleted keys of a data table (DSKEYCACHE, DTULTATUCACH)
};

// What a delete-cache table records: which table's rows, keyed by which columns in DSKEYCACHE,
// and the column of that table the deletion time is compared with.
struct DeleteCacheOf {
  std::string table;
  std::vector<std::string> keyColumns;
  std::string comparedColumn;
};

struct Table {
  std::string name;
  TableKind kind = TableKind::Data;
  std::vector<Column> columns;
  std::optional<PrimaryKey> primaryKey;
  std::vector<Index> indexes;
  std::string branchColumn;    // the branch the row belongs to ("CDFILIAL"); empty: every branch
  std::string registerColumn;  // the register the row belongs to ("CDCAIXA"); empty: every register
  std::string updateColumn;    // the column that holds the row's last central change; may be empty
  bool inCacheList = false;    // one of the tables the register keeps (the 263-row list)
  std::optional<DeleteCacheOf> deleteCacheOf;

  const Column* findColumn(std::string_view columnName) const;  // case-insensitive
  bool hasColumn(std::string_view columnName) const { return findColumn(columnName) != nullptr; }
  // Throws ModelError naming table and column when absent.
  const Column& column(std::string_view columnName) const;
  std::vector<std::string> keyColumns() const;  // primary-key columns, empty without a key
};

struct CacheListEntry {
  std::string table;
  char flag = 'N';  // 'S' or 'N'
};

enum class PositionKind {
  Table,            // the data packet of a data table
  DeleteCache,      // the data packet of a delete-cache table
  Sales,            // one of the eight sales packets of positions 190..197
  SalesReturnText,  // position 198: the server's return text
  Unused,           // no packet; the client ignores the position
};

// One position of the getTabelas result (0..302).
struct Position {
  int index = 0;
  PositionKind kind = PositionKind::Unused;
  std::string name;     // as the client logs it ("CAIXAS", "CacheOPERADOR")
  std::string dataset;  // client dataset the packet goes to ("cdsCaixas")
  std::string table;    // the table whose rows travel here; empty for the return text and unused
};

// One of the 119 request-date slots: the table and its update-time column.
struct RequestSlot {
  int slot = 0;
  std::string table;
  std::string column;
};

class Model {
 public:
  static constexpr int kPositionCount = 303;
  static constexpr int kSlotCount = 119;
  static constexpr int kFirstSalesPosition = 190;
  static constexpr int kSalesPositionCount = 9;

  Model() = default;
  Model(std::vector<Table> tables, std::vector<CacheListEntry> cacheList,
        std::vector<Position> positions, std::vector<RequestSlot> slots);

  const std::vector<Table>& tables() const { return tables_; }
  const Table* findTable(std::string_view name) const;  // case-insensitive
  const Table& table(std::string_view name) const;      // throws ModelError when absent

  // The 263 tables the register keeps, in the order the structure request sends them.
  const std::vector<CacheListEntry>& cacheList() const { return cacheList_; }
  // Indexed by position, 0..302.
  const std::vector<Position>& positions() const { return positions_; }
  // Indexed by slot, 0..118.
  const std::vector<RequestSlot>& requestSlots() const { return slots_; }
  // The delete-cache tables that record deletions of the given data table.
  std::vector<const Table*> deleteCachesOf(std::string_view dataTable) const;

 private:
  std::vector<Table> tables_;
  std::map<std::string, size_t, std::less<>> byName_;  // upper-case name -> index
  std::vector<CacheListEntry> cacheList_;
  std::vector<Position> positions_;
  std::vector<RequestSlot> slots_;
};

// The model compiled into the binary.
const Model& centralModel();

// Parses model text (the JSON format of docs/central-model.md) and validates it; `origin` names
// the source in error messages. Throws ModelError.
Model parseModel(std::string_view jsonText, std::string_view origin);
// Reads and parses a model file.
Model loadModel(const std::filesystem::path& path);
// Checks that the model holds together: unique tables and columns, key and index columns among
// the columns, positions and slots naming known tables and columns. Throws ModelError.
void validateModel(const Model& model);

}  // namespace central
