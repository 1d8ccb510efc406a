#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace schema {

struct CacheTable {
  std::string_view name;
  bool freshFlag;  // "S" for a database that does not hold the structure yet
};

// The 263 tables the register keeps, in order.
std::span<const CacheTable> cacheTables();

// The two lists sent with GetTableStructMSDE: NAME=S|N lines separated by CR LF.
struct TableListTexts {
  std::string cache;
  std::string workTables;  // the same rows with "SA_" before each name
};

// Every line reads =N when the local database already holds the structure. `only` restricts the
// lines to the names it holds (the SA_ list is matched with its SA_ names).
TableListTexts buildTableListTexts(bool structureExists,
                                   const std::optional<std::vector<std::string>>& only = {});

// A table of the package the register asked for: one of its tables or their SA_ work tables,
// restricted to `only` as the request was.
bool isListedTable(std::string_view packageTableName,
                   const std::optional<std::vector<std::string>>& only = {});

}  // namespace schema
