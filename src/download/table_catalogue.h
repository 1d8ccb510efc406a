#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace download {

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

// How a controlled table's control row becomes its request dates.
enum class RequestRule {
  Standard,          // dataPedido of the control row
  ScreenMenu,        // ITMENUCONFTE: the register's row against its associated registers' items
  Consumer,          // CONSUMIDOR: whole base or a 90-day catch-up when uncontrolled
  ExtractFiveDays,   // EXTRATOCONS: five days before the recorded date, 60-day floor
  CustomerMovement,  // MOVICLIE: 60-day floor, then PARAVEND.NRDIASVERMOVCLI further back
};

// A table whose download CTRLBAIXATAB controls.
struct LedgerControl {
  RequestRule rule = RequestRule::Standard;
  // An empty local table counts as uncontrolled (EXISTS guard in the request query).
  bool emptyMeansUncontrolled = true;
  // Indicator of vIndicadores set to "S" when the table has no control row, "N" otherwise.
  std::optional<int> indicatorWhenMissing = std::nullopt;
};

// What the client side knows of one local table, written once: the keyed merge, the delete
// cache, the request-date slots and the control ledger all read their facts from here.
struct CatalogueTable {
  std::string_view table;
  // The newest-change column: compared by the delete cache, recorded by the ledger variants.
  std::string_view updateColumn = {};
  // The key columns the keyed merge looks a row up by.
  std::vector<std::string_view> keys = {};

  // Keyed merge; none when mergeQuery is empty. The query's name reports a failure.
  std::string_view dataset = {};
  std::string_view mergeQuery = {};
  unsigned mergeVariants = kPlain;

  // Delete cache; none when cacheDataset is empty.
  std::string_view cacheDataset = {};
  // The columns of DSKEYCACHE, in its order, where that order is not the keys'.
  std::vector<std::string_view> cacheKeys = {};
  bool cacheStamps = false;  // every row takes the newest deletion time afterwards
  bool cacheLedger = false;  // the download ledger records the deletion time

  // Position in vDatasControle / vDatasBase, and the column read for it when not updateColumn.
  std::optional<int> requestSlot = std::nullopt;
  std::string_view requestColumn = {};

  std::optional<LedgerControl> control = std::nullopt;

  bool hasMerge() const { return !mergeQuery.empty(); }
  bool hasDeleteCache() const { return !cacheDataset.empty(); }
  const std::vector<std::string_view>& deleteCacheKeys() const {
    return cacheKeys.empty() ? keys : cacheKeys;
  }
  std::string_view requestDateColumn() const {
    return requestColumn.empty() ? updateColumn : requestColumn;
  }
};

// Every table, the keyed-merge members first in the order the table sequence runs them.
std::span<const CatalogueTable> tableCatalogue();
// The entry of a table; raises std::out_of_range for a table the catalogue does not hold.
const CatalogueTable& catalogueTable(std::string_view table);

}  // namespace download
