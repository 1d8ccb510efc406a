#pragma once

#include <string_view>
#include <vector>

namespace load {

// How a keyed merge departs from the plain upsert by key.
enum MergeVariant : unsigned {
  kPlain = 0,
  kLedger = 1u << 0,            // L: the greatest date of the download goes to the ledger
  kLedgerOnFlag = 1u << 1,      // ... only when the member is given the flag "S"
  kStampGreatest = 1u << 2,     // S: every row carries the greatest date of the download
  kProductColumns = 1u << 3,    // P: only the columns the download has, from a fixed list
  kDuplicateCleanup = 1u << 4,  // A: several local rows for one key become the downloaded one
  kKeepsStatus = 1u << 5,       // M: MESA keeps its local IDSTMESAAUX; new rows get 'D'
  kDeleteMissing = 1u << 6,     // D: local rows the download does not hold are deleted
  kEmptyAfter = 1u << 7,        // E: the dataset is emptied once written
  kKeepAliveTick = 1u << 8,     // T: one keep-alive tick per row
  kDeliveryHistory = 1u << 9,   // H: rows inserted only for delivery orders found locally
};

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
