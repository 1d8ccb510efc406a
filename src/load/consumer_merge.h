#pragma once

#include "load/load_context.h"
#include "load/load_ports.h"

namespace load {

// InsertCliCONSUMIDOR: consumers merged in batches of 1500 rows, each batch committed on its
// own (and on the central mirror alongside). A consumer already present when the base started
// empty is counted as a duplicate and skipped.
class ConsumerMerge {
 public:
  static constexpr size_t kBatch = 1500;

  ConsumerMerge(LoadContext& context, CentralMirror& mirror) : ctx_(context), mirror_(mirror) {}
  void run();
  size_t duplicates() const { return duplicates_; }

 private:
  struct Plan;
  Plan prepare(db::DataSet& rows);
  void mergeRow(Plan& plan, db::DataSet& rows, bool lookUp);
  void updateRow(Plan& plan, db::DataSet& rows, const std::string& localFlag,
                 const db::Value& clientKey, const db::Value& consumerKey);
  // Whether the downloaded password may replace the local one, and the mirror's copy with it.
  bool passwordMayChange(const std::string& localFlag, const db::Value& client,
                         const db::Value& consumer);
  void updateMirrorPassword(const db::Value& client, const db::Value& consumer,
                            const db::Value& password);
  void commitBoth();
  void rollbackBoth();

  LoadContext& ctx_;
  CentralMirror& mirror_;
  size_t duplicates_ = 0;
};

}  // namespace load
