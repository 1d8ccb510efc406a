#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "db/core/connection.h"
#include "download/anticipation/levels.h"
#include "download/download_state.h"
#include "download/later_stages.h"
#include "download/ledger/update_ledger.h"
#include "download/services.h"
#include "download/statement_files/file_kinds.h"
#include "download/statement_files/server_file_transfer.h"
#include "outside/app_server.h"

namespace download {

// How one anticipated packet is merged.
struct MergeSettings {
  // False: the merge leaves the download ledger (CTRLBAIXATAB) alone, so the main download still
  // asks for the table from its own date.
  bool recordLedger = true;
  // The register whose rows ITMENUCONFTE merges; empty elsewhere.
  std::string cashRegister;
};

// The local load's per-table merges as the anticipated downloads use them: each merges the
// table's client dataset held in the download state ("cdsConfTelaCaixa", "cdsConsumidor", ...)
// into the local table and raises on failure.
class AnticipationMerges {
 public:
  virtual ~AnticipationMerges() = default;
  virtual void mergeTable(std::string_view table, const MergeSettings& settings) = 0;
};

// Central data brought down ahead of the main request: screen configurations, the price-table
// and screen-layout hierarchies driven by the central update ledger, and large consumer
// catch-ups as server-built files, with the steps that follow each of their statement files.
class Anticipation : public AnticipationStage, public FileKindHooks {
 public:
  Anticipation(db::Connection& local, outside::AppServer& server, ServerFileTransfer& files,
               const Services& services, DownloadState& state, AnticipationMerges& merges,
               CleanupStage& cleanup);

  // Errors are raised to the download.
  void anticipateConfTelaCaixa(const std::string& branch, const std::string& cashRegister) override;
  // Only with an Oracle central database; only the highest level with central changes runs, and
  // it brings every table below it. Errors are raised to the download.
  void antecipaPorHierarquia(const std::string& branch, const std::string& cashRegister,
                             std::string_view group) override;

  // Catch-ups of more than kConsumerThreshold consumers. Failures after the count roll back and
  // leave the request dates as they stand, so the main request brings the consumers instead.
  void catchUpConsumersByChangeDate(const std::string& branch) override;
  void catchUpConsumersByClienFilial(const std::string& branch) override;

  void afterConsDt(int64_t fileStatements) override;
  void afterConsClienFil(int64_t fileStatements) override;

  static constexpr int64_t kConsumerThreshold = 9999;

 private:
  void runLevel(const AnticipatedLevel& level, const std::string& branch,
                const std::string& cashRegister, const std::string& ledgerKey);
  void keepOnlyPriceTable(const std::string& ledgerKey);
  void fetchConsumerFile(std::string_view kind, std::string_view tempTable, int64_t total,
                         const db::Value& valores, const std::string& branch);
  void recreateTempTable(std::string_view table);
  void insertNewConsumers(std::string_view tempTable, std::string_view component,
                          int64_t fileStatements);
  void rollbackQuietly();
  // Both catch-ups: the central count of consumers changed since the slot's date; above the
  // threshold, `work` between dashed log lines, then committed. Any failure rolls back quietly.
  void catchUpConsumers(const std::string& branch, size_t slot, std::string_view countMethod,
                        std::string_view by,
                        const std::function<void(int64_t total, const db::Value& since)>& work);

  db::Connection& local_;
  outside::AppServer& server_;
  ServerFileTransfer& files_;
  const Services& s_;
  DownloadState& state_;
  AnticipationMerges& merges_;
  CleanupStage& cleanup_;
  UpdateLedger ledger_;
};

}  // namespace download
