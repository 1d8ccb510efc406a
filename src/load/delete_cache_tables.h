#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace load {

// One table the delete cache walks: its cache client dataset, the key columns read from
// DSKEYCACHE (in the order of the conditions), the local column compared with the deletion time,
// whether every row takes the newest deletion time afterwards (stamp) and whether the download
// ledger records it.
struct DeleteCacheTable {
  std::string_view table;
  std::string_view dataset;
  std::vector<std::string_view> keys;
  std::string_view comparedColumn;
  bool stamp;
  bool ledger;
};

// Every table, in processing order.
std::span<const DeleteCacheTable> deleteCacheTables();

// PRODUTOSEG has no cache dataset; its pass (an image table filled by a server-built file) comes
// right after this table.
inline constexpr std::string_view kProdutoSegFollows = "CDBARRAPROD";

// The comparison expression of a key column: date keys whose central text is day-first or
// second-precise are compared through a conversion to text; every other key is the column.
std::string_view keyExpression(std::string_view table, std::string_view column);

}  // namespace load
