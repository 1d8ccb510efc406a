#include "download/orchestrator/orchestrator.h"

#include <exception>
#include <optional>

#include "db/core/text.h"
#include "download/ledger/date_sync.h"
#include "download/orchestrator/packets.h"
#include "fault/fault.h"
#include "outside/package/check_result.h"

namespace download {
namespace {

constexpr std::string_view kMethodGetTabelas = "getTabelas";
const std::string kStarLine(126, '*');

// A blank line, the section's title line and a line of stars.
void logSection(const Services& services, std::string_view title) {
  services.log("", "3");
  services.log(title, "3");
  services.log(kStarLine, "3");
}

}  // namespace

Orchestrator::Orchestrator(db::Connection& local, outside::AppServer& netProcedimentos,
                           const Services& services, DownloadState& state,
                           OrchestratorStages stages, LocalDialect dialect)
    : local_(local),
      net_(netProcedimentos),
      s_(services),
      state_(state),
      stages_(stages),
      dialect_(dialect) {}

bool Orchestrator::iniciaBaixaTabelas(const RunValues& values) {
  logSection(s_,
             "*************** INÍCIO DA BAIXA DAS TABELAS DE PREÇOS/PRODUTOS/PARAMETROS "
             "****************");

  state_.idSenConsCentral = values.idSenConsCentral;
  state_.nmSqlNameDb = values.nmSqlNameDb;
  state_.nmSqlSchemaDb = values.nmSqlSchemaDb;
  s_.log("==PARAMETROS UTILIZADOS==", "2");
  s_.log("CDFILIAL  : " + values.branch, "2");
  s_.log("CDCAIXA   : " + values.cashRegister, "2");
  s_.log("FUNÇÃO    : " + values.mode, "2");
  state_.branch = values.branch;
  state_.cashRegister = values.cashRegister;
  state_.mode = values.mode;
  return buscaTabelas();
}

bool Orchestrator::buscaTabelas() {
  try {
    download();
    return true;
  } catch (const std::exception& e) {
    // The register's operator sees the failure unless the register opens itself unattended.
    if (state_.idUtilAberAuto == "N") s_.showMessage(e.what());
    s_.log(std::string("Except: ") + e.what(), "3");
    return false;
  }
}

bool Orchestrator::isMode(std::string_view mode) const { return state_.mode == mode; }

void Orchestrator::startRun() {
  state_.vectors = RequestVectors{};
  state_.salesVector.assign(kSalesVectorSize, db::Value());
  state_.cdLoja.clear();
  state_.idUtilAberAuto.clear();
  extractWithoutControl_ = false;
  moviclieEmpty_ = false;
  highestExtractSequence_.clear();
  recentShifts_ = registers_ = closedShifts_ = db::Value();
  tableCount_.clear();
}

void Orchestrator::download() {
  startRun();
  readRegister();
  setAsideMoviclie();
  if (isMode(kModeTabelas)) {
    prepareFirstLoad();
  } else {
    state_.vectors.vDatasControle[0] = db::Value("@EXTRATOCONS");
  }
  if (!isMode(kModeEstoque)) readPendingAndDates();
  readShiftPackets();
  if (!isMode(kModeEstoque) && state_.vectors.vIndicadores[0] == "N") {
    stages_.anticipation.catchUpConsumersByChangeDate(state_.branch);
    stages_.anticipation.catchUpConsumersByClienFilial(state_.branch);
  }
  setEveryModeIndicators();
  requestAndHandOver();
  fault::reach("download.handover");

  LoadRunValues load{state_.branch, state_.cashRegister, state_.mode, true, tableCount_};
  stages_.load.ChamaInsereMSDE(load, state_.salesVector);
  fault::reach("download.loaded");
  sincronizaDatas(local_, net_, s_, state_.branch, state_.cashRegister);
  checkTriggers();
}

// The reply's packets go to the spool as they are read (small ones kept in memory, the others in
// the staging folder), so neither the reply nor all of its datasets are ever held at once; the
// load reads each dataset when it reaches its table.
void Orchestrator::requestAndHandOver() {
  s_.log("Buscando dados atualizados. Método getTabelas.", "3");
  std::vector<db::Value> arguments = requestArguments();
  const ModeHandOver mode = handOverFor(state_.mode);
  std::optional<PacketSpool> spool;
  if (!state_.spoolDirectory.empty()) spool.emplace(state_.spoolDirectory, mode);
  const db::Value result = spool ? net_.call(kMethodGetTabelas, arguments, *spool)
                                 : net_.call(kMethodGetTabelas, arguments);
  const db::ValueArray& reply = checkTabelasReply(result, mode);

  logSection(s_,
             "*************************** INÍCIO DA IMPORTAÇÃO DE TABELAS NA BASE LOCAL "
             "***************************");
  handOver(reply, mode, spool ? &*spool : nullptr);
  for (size_t i = 0; i < kSalesVectorSize; ++i)
    state_.salesVector[i] = reply[kSalesFirstPosition + i];
}

void Orchestrator::checkTriggers() {
  db::DataSet& triggers = state_.dataset("cdsTriggers");
  outside::CheckResultServ(net_.call("getTriggersNAplicadas"), triggers, "getTriggersNAplicadas");
  if (triggers.isEmpty()) return;
  s_.log("************************ ERRO **********************", "3");
  s_.log("* AS TRIGGERS LISTADAS ABAIXO NÃO ESTÃO APLICADAS! *", "3");
  db::Field name = triggers.fieldByName("NMTRIGGER");
  for (triggers.first(); !triggers.eof(); triggers.next()) s_.log("-> " + name.asString(), "3");
  s_.log("----------------------", "3");
}

}  // namespace download
