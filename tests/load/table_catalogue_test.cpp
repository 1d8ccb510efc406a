#include "download/table_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "download/ledger/controlled_tables.h"
#include "download/orchestrator/handover_lists.h"
#include "load/delete_cache_tables.h"
#include "load/merge_tables.h"
#include "load/request_dates.h"
#include "load/table_sequence.h"

namespace load {
namespace {

bool holds(const std::vector<std::string_view>& columns, std::string_view column) {
  return std::find(columns.begin(), columns.end(), column) != columns.end();
}

TEST(TableCatalogue, HoldsEachTableOnce) {
  std::set<std::string_view> names;
  for (const auto& entry : download::tableCatalogue())
    EXPECT_TRUE(names.insert(entry.table).second) << entry.table;
}

TEST(TableCatalogue, TheDeleteCacheWalksEveryCachedTableOnceByTheTablesOwnKeys) {
  std::set<std::string_view> walked;
  for (const DeleteCacheTable& table : deleteCacheTables()) {
    EXPECT_TRUE(walked.insert(table.table).second) << table.table;
    EXPECT_FALSE(table.dataset.empty()) << table.table;
    EXPECT_FALSE(table.keys.empty()) << table.table;
    EXPECT_FALSE(table.comparedColumn.empty()) << table.table;
    const auto& entry = download::catalogueTable(table.table);
    for (std::string_view key : table.keys) EXPECT_TRUE(holds(entry.keys, key)) << table.table;
  }
  for (const auto& entry : download::tableCatalogue())
    EXPECT_EQ(entry.hasDeleteCache(), walked.contains(entry.table)) << entry.table;
}

TEST(TableCatalogue, EveryRequestSlotHasOneTableAndColumn) {
  std::set<std::string_view> tables;
  for (const DateSlot& slot : dateSlots()) {
    EXPECT_FALSE(slot.column.empty()) << slot.table;
    EXPECT_TRUE(tables.insert(slot.table).second) << slot.table;
  }
  EXPECT_EQ(tables.size(), download::kDateSlots);
}

TEST(TableCatalogue, ControlledTablesOwnTheirSlotAndTheLedgerRecordsOnlyThem) {
  std::set<std::string_view> controlled;
  for (const auto& table : download::controlledTables()) {
    EXPECT_TRUE(controlled.insert(table.name).second) << table.name;
    EXPECT_EQ(dateSlots().at(static_cast<size_t>(table.position)).table, table.name);
  }
  for (const auto& entry : download::tableCatalogue()) {
    EXPECT_EQ(entry.control.has_value(), controlled.contains(entry.table)) << entry.table;
    const bool recorded = entry.cacheLedger || (entry.mergeVariants & download::kLedger) != 0;
    if (recorded) {
      EXPECT_TRUE(entry.control.has_value()) << entry.table;
    }
  }
}

// A dataset name the reply never fills would leave its merge or delete cache reading nothing.
TEST(TableCatalogue, TheTabelasReplyFillsEveryDatasetTheLoadReads) {
  std::set<std::string_view> handedOver;
  for (const auto& position : download::handOverFor(download::kModeTabelas).positions)
    handedOver.insert(position.dataset);
  for (const auto& entry : download::tableCatalogue()) {
    // Only the screen-configuration anticipation brings CONFTELACAIXA.
    if (entry.hasMerge() && entry.table != "CONFTELACAIXA") {
      EXPECT_TRUE(handedOver.contains(entry.dataset)) << entry.table;
    }
    if (entry.hasDeleteCache()) {
      EXPECT_TRUE(handedOver.contains(entry.cacheDataset)) << entry.table;
    }
  }
}

TEST(TableCatalogue, EveryKeyedStepOfTheSequenceHasAMergeMember) {
  for (const SequenceStep& step : tableSequence()) {
    if (step.kind == StepKind::Merge || step.kind == StepKind::MergeFlag) {
      EXPECT_NO_THROW(mergeTable(step.table)) << step.table;
    }
  }
}

}  // namespace
}  // namespace load
