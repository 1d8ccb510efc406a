#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace db::embedded {

class EmbeddedConnection;

// An index that may be dropped and created again from its text: not unique (nothing it refuses
// can be missed while it is away), made by CREATE INDEX.
struct RebuildableIndex {
  std::string name;
  std::string sql;
};

// The indexes of `table` (of the connection's own database) that hold one of `columns`, or an
// expression, which an UPDATE of those columns moves entry by entry.
std::vector<RebuildableIndex> indexesOnColumns(sqlite3* db, const std::string& table,
                                               const std::vector<std::string>& columns);

// Rows from which building an index again costs less than moving each of its entries.
inline constexpr int64_t kRebuildRows = 10000;

// Runs `update` (which changes every row it will change through `indexes`) with those indexes
// dropped first and created again afterwards, all under one savepoint, so that a failure leaves
// the table and its indexes as they were. Returns the rows `update` changed, or nothing without
// running it when an index cannot be dropped (rows of another statement are still being read).
std::optional<int64_t> updateWithIndexesRebuilt(EmbeddedConnection& connection,
                                                const std::vector<RebuildableIndex>& indexes,
                                                std::string_view original,
                                                const std::function<void()>& update);

}  // namespace db::embedded
