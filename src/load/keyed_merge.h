#pragma once

#include <string_view>

#include "load/load_context.h"
#include "load/merge_tables.h"

namespace load {

// Writes a downloaded dataset into its local table by key: a row whose key exists locally is
// rewritten with the downloaded values, any other row is inserted, local rows the download does
// not mention stay (unless the member deletes missing rows). One transaction per table; a
// failure rolls it back and raises download::ComponentError naming the member's lookup query.
class KeyedMerge {
 public:
  explicit KeyedMerge(LoadContext& context) : ctx_(context) {}

  // flagS: the flag "S" the load passes to the ledger-on-flag members.
  void run(const MergeTable& member, bool flagS = false);
  void run(std::string_view table, bool flagS = false) { run(mergeTable(table), flagS); }
  // The same upsert committed every `batch` rows, with the progress line "Inserido i de n".
  void runInBatches(const MergeTable& member, size_t batch);

 private:
  void upsertAll(const MergeTable& member, db::DataSet& rows, bool flagS);
  void insertDeliveryHistory(db::DataSet& rows);
  void deleteMissing(const MergeTable& member, db::DataSet& rows);

  LoadContext& ctx_;
  size_t batch_ = 0;  // 0: one transaction for the table
};

// A row's key as one text, for comparing downloaded keys with local ones.
std::string keyText(const std::vector<db::Value>& values);

// True for the field types the load treats as date-times.
bool isDateTimeType(db::FieldType type);

// The position of each name among a statement's parameters.
std::vector<size_t> parameterIndices(db::Statement& statement,
                                     const std::vector<std::string>& names);

}  // namespace load
