#pragma once

#include <string_view>
#include <vector>

#include "download/table_catalogue.h"

namespace load {

using download::MergeVariant;
using enum download::MergeVariant;

// One keyed-merge member: the local table, the downloaded dataset, the lookup query whose name
// reports a failure, the key columns, its variants and the date column of the ledger variants.
struct MergeTable {
  std::string_view table;
  std::string_view dataset;
  std::string_view query;
  std::vector<std::string_view> keys;
  unsigned variants = kPlain;
  std::string_view dateColumn = {};

  bool has(MergeVariant v) const { return (variants & v) != 0; }
};

// Every member, in the order the table sequence runs them.
const std::vector<MergeTable>& mergeTables();
// The member of a table; raises std::out_of_range for a table that has none.
const MergeTable& mergeTable(std::string_view table);

// The fixed column list of the local product lookup.
const std::vector<std::string_view>& productColumns();

}  // namespace load
