#include "load/load_driver.h"

#include "download/component_error.h"
#include "download/transaction.h"
#include "fault/fault.h"
#include "load/load_sql.h"
#include "load/movement_reimport.h"
#include "load/pending_deletions.h"
#include "load/request_dates.h"
#include "load/staging.h"

namespace load {

namespace {

const std::string kStars(126, '*');
constexpr std::string_view kTitle =
    "********************* INÍCIO DA INSERÇÃO DE DADOS NAS TABELAS DA BASE LOCAL "
    "*********************";

// Downloaded sets a full wipe empties besides the delete-cache images.
constexpr std::string_view kWipedDownloads[] = {"cdsConsMoviClie", "cdsProdambiente",
                                                "cdsCorPedido", "cdsSetorProduto", "cdsSALDOCONS"};

}  // namespace

LoadDriver::LoadDriver(db::Connection& local, download::DownloadState& state,
                       LoadEnvironment environment, LoadParts parts)
    : conn_(local),
      state_(state),
      env_(std::move(environment)),
      parts_(parts),
      ctx_{local, state, env_, parts.keepAlive},
      nextCode_(local),
      merge_(ctx_),
      writer_(ctx_, nextCode_),
      sequence_(ctx_, merge_, writer_) {}

bool LoadDriver::ChamaInsereMSDE(const download::LoadRunValues& values,
                                 std::vector<db::Value>& salesVector) {
  bool result = false;
  try {
    ctx_.log("before InsereMSDE", "2");
    ctx_.log("Filial: " + values.branch + " Caixa: " + values.cashRegister +
                 " Tipo: " + values.mode + " nr tabelas: " + values.tableCount,
             "2");
    result = InsereMSDE(values.branch, values.cashRegister, values.tableCount, values.mode);
    ctx_.log("after InsereMSDE", "2");
    ctx_.log("ApagaRotFabricaVencida", "3");
    parts_.cleanup.ApagaRotFabricaVencida();
    ctx_.log("ApagaGruPromocVencido", "3");
    parts_.cleanup.ApagaGruPromocVencido();
    ctx_.log("InativaOperadores", "3");
    parts_.cleanup.InativaOperadores();
    if (values.flag) validateMovements(salesVector);
  } catch (const std::exception& error) {
    result = false;
    ctx_.log("Exception ChamaInsereMSDE: " + std::string(error.what()), "2");
    env_.showMessage(error.what());
  }
  // A load that did not succeed never lets the run report success.
  if (!result) env_.clearRunFlag();
  return result;
}

void LoadDriver::validateMovements(std::vector<db::Value>& salesVector) {
  std::string answer;
  try {
    answer = salesVector.size() > 8 ? salesVector[8].asText() : std::string();
    ctx_.log("Retorno do get: ", "3");
    ctx_.log(answer, "3");
  } catch (const std::exception&) {
    // Only a diagnostic line; the answer is read again below.
  }
  if (!answer.empty()) return;
  ctx_.log("Validacao de Dados Msde", "3");
  try {
    reimportMovements(ctx_, writer_, salesVector);
  } catch (const std::exception& error) {
    // The register's movements come back again with the next run; the load itself stands.
    ctx_.log("Exception Validacao de Dados Msde: " + std::string(error.what()), "3");
  }
}

bool LoadDriver::InsereMSDE(const std::string& branch, const std::string& cashRegister,
                            const std::string&, const std::string& mode) {
  ctx_.log("", "3");
  ctx_.log(kTitle, "3");
  ctx_.log(kStars, "3");
  lastError_.clear();
  state_.branch = branch;
  state_.cashRegister = cashRegister;
  // Whatever the outcome, the staging folder holds no dataset file afterwards.
  struct ClearSpool {
    download::DownloadState& state;
    ~ClearSpool() { state.clearSpool(); }
  } clearSpool{state_};
  try {
    load(branch, cashRegister, mode);
  } catch (const LoadCancelled&) {
    env_.logError(kCanc);
    lastError_ = kCanc;
    return false;
  } catch (const download::ComponentError& error) {
    ctx_.log("Exception: " + std::string(error.what()), "2");
    lastError_ = "Componente :" + error.component() + " - Erro : " + error.what();
    env_.logError(lastError_);
    throw LoadFailure(lastError_);
  } catch (const std::exception& error) {
    ctx_.log("Exception: " + std::string(error.what()), "2");
    lastError_ = error.what();
    env_.logError(lastError_);
    ctx_.log("Exception InsereMSDE: " + lastError_, "2");
    return false;
  }
  ctx_.log(kStars, "3");
  return lastError_.empty();
}

void LoadDriver::load(const std::string& branch, const std::string& cashRegister,
                      const std::string& mode) {
  const auto staging = stagingDirectory(env_.programDirectory);
  stageDatasets(state_, staging);
  keepPendingDeletions(state_, staging);
  fault::reach("load.staged");
  if (!conn_.isOpen()) {
    env_.logError(kCaixaSem);
    lastError_ = kCaixaSem;
    return;
  }
  if (mode == "TABELAS") {
    fullWipe();
    parts_.keepAlive.mantemConexao(true);
    parts_.keepAlive.resetCounter();
    sequence_.run();
    fault::reach("load.sequence");
  }
  ctx_.log("FIM DELETE", "2");
  if (env_.cancelled()) throw LoadCancelled();
  if (mode == "TABELAS" || mode == "EXTRATOCONS") {
    ConsumerBlock(ctx_, merge_, writer_, nextCode_, parts_.server, parts_.files, parts_.mirror)
        .run();
    fault::reach("load.consumers");
  }
  if (mode == "ESTOQUE") {
    conn_.execute(sql::kDelPosEstatu);
    writer_.InsereDados("cdsPOSESTATU", "POSESTATU");
  }
  if (mode == "TABELAS") {
    parts_.deleteCache.runDeleteCache(branch, cashRegister, true);
    dropPendingDeletions(staging);
    fault::reach("load.deletecache");
    if (sequence_.prodAtivFilial()) parts_.cleanup.ApagaProdutosInativosFilial();
  }
}

// The order goes only once the wipe it orders is committed, all tables or none.
void LoadDriver::fullWipe() {
  const auto staging = stagingDirectory(env_.programDirectory);
  if (!readFullReloadOrder(staging)) return;
  download::inTransaction(conn_, [&] {
    for (const auto& statement : fullWipeStatements()) conn_.execute(statement);
  });
  removeFullReloadOrder(staging);
  parts_.deleteCache.emptyCacheImagesOf(fullWipeTables());
  for (auto name : kWipedDownloads) {
    db::DataSet* rows = state_.findDataset(name);
    if (rows != nullptr && rows->active()) rows->emptyDataSet();
  }
}

// A full reload wipes before the request dates are read, so that they ask for whole tables;
// wiped after the download, the tables would keep only the rows changed since the old dates.
void LoadDriver::BuscaDtUltAtuTabelas(download::RequestVectors& vectors) {
  fullWipe();
  load::BuscaDtUltAtuTabelas(ctx_, vectors);
}

}  // namespace load
