#pragma once

#include "load/account_movements.h"
#include "load/bulk_writer.h"
#include "load/consumer_merge.h"
#include "load/keyed_merge.h"
#include "load/load_ports.h"
#include "load/statement_merge.h"
#include "outside/app_server.h"

namespace load {

// Consumers, account movements, benefit movements, balances and the statement, for the modes
// TABELAS and EXTRATOCONS: merged locally when the base already holds them, loaded from the
// server-built files (consumers, statement) or fetched in pages (benefits) when it does not.
class ConsumerBlock {
 public:
  static constexpr int64_t kConsumerRange = 100000;
  static constexpr int64_t kBenefitPage = 30000;
  static constexpr size_t kBenefitBatch = 50;
  static constexpr std::string_view kBalances = "cdsSALDOCONS";

  ConsumerBlock(LoadContext& context, KeyedMerge& merge, BulkWriter& writer,
                outside::KivProxCodigo& nextCode, outside::AppServer& server, ServerFiles& files,
                CentralMirror& mirror)
      : ctx_(context),
        merge_(merge),
        writer_(writer),
        nextCode_(nextCode),
        server_(server),
        files_(files),
        mirror_(mirror) {}

  void run();

  void consumers();
  void benefits();
  void balances();
  void statement();
  // Merges the downloaded benefit rows; records their greatest date unless told not to (the
  // pages of a first load come in key order, so a page's date says nothing of the pages after).
  void InsertCliMOVBENEFICIOCTR(bool recordDate = true);

 private:
  bool balancesOpen() const;
  void reconnect();
  void fileLoad(std::string_view script, std::string_view kind, int64_t upper, int64_t lower);
  void recordLedger(std::string_view table, const db::Value& date);
  void incomplete(std::string_view line);

  LoadContext& ctx_;
  KeyedMerge& merge_;
  BulkWriter& writer_;
  outside::KivProxCodigo& nextCode_;
  outside::AppServer& server_;
  ServerFiles& files_;
  CentralMirror& mirror_;
};

}  // namespace load
