#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/core/connection.h"
#include "db/core/value.h"
#include "download/download_state.h"
#include "download/later_stages.h"
#include "download/orchestrator/handover_lists.h"
#include "download/orchestrator/packet_spool.h"
#include "download/run_values.h"
#include "download/services.h"
#include "outside/app_server.h"

namespace download {

// The later stages the download calls into.
struct OrchestratorStages {
  LoadStage& load;
  AnticipationStage& anticipation;
  CleanupStage& cleanup;
};

// What the local database is; the MOVICLIE set-aside is written differently on Oracle.
enum class LocalDialect { SqlServer, Oracle };

// The table download of dtmBaixaTabelas: prepares the local state, sends the one download
// request, hands every packet of the mode to its client dataset in `state`, then starts the
// local load, the date comparison and the trigger check.
class Orchestrator {
 public:
  Orchestrator(db::Connection& local, outside::AppServer& netProcedimentos,
               const Services& services, DownloadState& state, OrchestratorStages stages,
               LocalDialect dialect = LocalDialect::SqlServer);

  // True when the download ran to its end. A failure is logged as "Except: <message>" (and shown
  // to an attended register) and answers false: the run has failed.
  bool iniciaBaixaTabelas(const RunValues& values);

 private:
  bool buscaTabelas();
  void startRun();
  void download();
  void requestAndHandOver();
  bool isMode(std::string_view mode) const;

  // Local preparation before the request.
  void readRegister();
  void setAsideMoviclie();
  void prepareFirstLoad();
  void preparaMSDEExtCons();
  void markExtractRows(std::string_view select, std::string_view logLine);
  void readPendingAndDates();
  bool returnsRow(std::string_view sql, const db::Params& params = {});
  std::string indicatorWhenEmpty(std::string_view sql) { return returnsRow(sql) ? "N" : "S"; }

  // The request and the hand-over.
  void setEveryModeIndicators();
  std::vector<db::Value> requestArguments() const;
  void readShiftPackets();
  // `spool` holds the packets taken from the reply as it was read (nullptr when none were).
  void handOver(const db::ValueArray& reply, const ModeHandOver& mode, PacketSpool* spool);
  void handOverOne(const db::Value& packet, const HandOver& position, PacketSpool* spool);
  void fill(const db::Value& packet, const HandOver& position, PacketSpool* spool);
  std::string countOf(db::DataSet& dataset, const HandOver& position);
  void checkTriggers();

  db::Connection& local_;
  outside::AppServer& net_;
  const Services& s_;
  DownloadState& state_;
  OrchestratorStages stages_;
  LocalDialect dialect_;

  // Request arguments read from the local database on the way.
  bool extractWithoutControl_ = false;  // argument 6
  bool moviclieEmpty_ = false;          // argument 7
  std::string highestExtractSequence_;  // argument 8
  db::Value recentShifts_;              // argument 11
  db::Value closedShifts_;              // argument 12
  db::Value registers_;                 // argument 13
  std::string tableCount_;
};

}  // namespace download
