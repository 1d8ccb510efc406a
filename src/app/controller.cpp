#include "app/controller.h"

#include <array>
#include <filesystem>

#include "app/controller_sql.h"
#include "fault/fault.h"

namespace app {
namespace {

constexpr std::array<std::string_view, 3> kFiscalModes = {"SINTEGRA", "SPED", "DIGITAL"};
constexpr std::array<std::string_view, 5> kUpdateModes = {"ESTRUTURA", "TABELAS", "", "ESTOQUE",
                                                          "EXTRATOCONS"};

template <size_t N>
bool oneOf(std::string_view mode, const std::array<std::string_view, N>& modes) {
  for (const auto m : modes)
    if (mode == m) return true;
  return false;
}

// PARAVEND of the branch; empty texts when the branch has no row yet.
struct Paravend {
  std::string nmSqlNameDb, nmSqlSchemaDb, idDebConsCentral, idExtConsCentral, idSenConsCentral;
};

Paravend readParavend(db::Connection& local, const std::string& branch) {
  auto rows = local.query(sql::kDadosParavend, {{"P_CDFILIAL", branch}});
  if (!rows->next()) return {};
  return {(*rows)["NMSQLNAMEDB"].asText(), (*rows)["NMSQLSCHEMADB"].asText(),
          (*rows)["IDDEBCONSCENTRAL"].asText(), (*rows)["IDEXTCONSCENTRAL"].asText(),
          (*rows)["IDSENCONSCENTRAL"].asText()};
}

}  // namespace

Controller::Controller(const outside::Package& package, RunLog& log, ErrorLog& errorLog,
                       RunView& view, RunSteps& steps, ConnectionFactories factories,
                       ParameterFileReader parameterFile)
    : package_(package),
      log_(log),
      errorLog_(errorLog),
      view_(view),
      steps_(steps),
      parameterFile_(std::move(parameterFile)),
      connections_(package, log, flag_, std::move(factories)),
      status_(statusRow(std::nullopt)) {}

Controller::~Controller() = default;

RunContext Controller::context() {
  return {package_, log_, errorLog_, flag_, slots_, connections_};
}

db::Connection& Controller::adcBaixaTabelas() {
  if (!adcBaixaTabelas_ || !adcBaixaTabelas_->isOpen()) {
    auto opened = connections_.openLocal(package_._GetStringConexKiv());
    package_.SetADODBSession(*opened);
    adcBaixaTabelas_ = std::move(opened);
  }
  return *adcBaixaTabelas_;
}

RemoteStatus Controller::statusRow(std::optional<int64_t> id) {
  return RemoteStatus(id, [this]() -> db::Connection& { return adcBaixaTabelas(); });
}

RunOutcome Controller::run(std::string_view argument) {
  try {
    return runSteps(argument);
  } catch (const std::exception&) {
    // Leave no status row reading "executing" forever behind a run that stopped.
    try {
      status_.finish("NOK");
    } catch (const std::exception&) {
      // The original failure is the one to report.
    }
    throw;
  }
}

RunOutcome Controller::runSteps(std::string_view argument) {
  std::filesystem::create_directories(RunLog::directoryBelow(package_.programDirectory()));

  std::optional<ParameterError> rejected;
  try {
    slots_ = CarregaParametros(argument, parameterFile_);
  } catch (const ParameterError& e) {
    rejected = e;
    slots_ = e.slots();
  }
  view_.setHidden(slots_.hidden);
  if (rejected) return rejectParameters(*rejected);

  status_ = statusRow(remoteExecutionId(slots_.remoteId()));
  status_.start();
  fault::reach("run.start");
  log_.GravaLog("Parâmetro da Baixa de Tabelas: " + slots_.mode(), "3");

  const bool mayUpdate = VerificaCaixaServidor();
  const bool fiscal = oneOf(slots_.mode(), kFiscalModes);
  RunOutcome outcome;
  if (mayUpdate && !fiscal) {
    if (oneOf(slots_.mode(), kUpdateModes)) updateLocalDatabase();
    if (flag_.ok()) {
      afterSuccessfulUpdate();
      fault::reach("run.end");
      status_.finish("OK");
      outcome = finish(final_text::kSucesso, MessageColour::Green, true);
    } else {
      status_.finish("NOK");
      outcome = finish(final_text::kErro, MessageColour::Red, true);
    }
  } else {
    outcome = finish(fiscal ? final_text::kFiscal : final_text::kNaoParametrizado,
                     MessageColour::Black, fiscal);
    status_.finish("NOK");
  }

  if (fiscal) {
    RunContext run = context();
    connections_.dtmFuncoesServidor();
    if (connections_.OpenADOFuncoes()) {
      log_.GravaLog("Entrada na função de baixa do arquivo Sintegra(getSintegra)", "3");
      steps_.fiscal->getSintegra(run);
    }
    connections_.CloseADOFuncoes();
    outcome.success = flag_.ok();
  }
  view_.finalMessage(outcome.finalMessage, outcome.colour);
  return outcome;
}

RunOutcome Controller::rejectParameters(const ParameterError& error) {
  flag_.clear();
  log_.GravaLog("Parâmetro da Baixa de Tabelas inválido: " + std::string(error.what()), "3");
  std::optional<int64_t> id;
  try {
    id = remoteExecutionId(slots_.remoteId());
  } catch (const std::invalid_argument&) {
    // An id that is no number names no status row to tell.
  }
  status_ = statusRow(id);
  status_.finish("NOK");
  RunOutcome outcome = finish(final_text::kErro, MessageColour::Red, false);
  view_.finalMessage(outcome.finalMessage, outcome.colour);
  return outcome;
}

RunOutcome Controller::finish(std::string_view text, MessageColour colour, bool updateAllowed) {
  log_.GravaLog(text, "3");
  return {flag_.ok(), updateAllowed, std::string(text), colour};
}

void Controller::updateLocalDatabase() {
  connections_.dtmBaixaEstrutura();
  status_.operation("ATUALIZA_ESTRUTURA");
  BaixaEstruturaMSDE();
  fault::reach("run.schema");
  if (connections_.OpenADOBaixa()) {
    RunContext run = context();
    steps_.foreignKeys->applyForeignKeys(run);
  }
  repairColumnType();
  if (connections_.OpenADOBaixa()) {
    checkBranchAndDownload();
  } else {
    // Without the download the local data was not brought up to date: the run failed.
    flag_.clear();
  }
  connections_.CloseADOBaixa();
}

void Controller::BaixaEstruturaMSDE() {
  try {
    if (connections_.OpenADOEstrutura()) {
      RunContext run = context();
      if (steps_.schema->UpdateMSDECache(run)) steps_.schema->AplicaProcedures(run);
    }
  } catch (const std::exception& e) {
    log_.GravaLog(std::string("Exception BaixaEstruturaMSDE: ") + e.what(), "1");
    flag_.clear();
  }
  connections_.CloseADOEstrutura();
}

void Controller::repairColumnType() {
  try {
    auto rows = adcBaixaTabelas().query(sql::kTipoTabela);
    log_.GravaLog("adqTipoTabela Open", "3");
    const std::string tipo = rows->next() ? (*rows)["Tipo"].asText() : std::string();
    rows.reset();
    if (tipo == "image") {
      // SQL Server converts image to VARCHAR(MAX) only by way of VARBINARY.
      adcBaixaTabelas().execute(sql::kUpdImage);
      log_.GravaLog("Execute acmUpdImage", "3");
      adcBaixaTabelas().execute(sql::kUpdVarBinary);
      log_.GravaLog("Execute acmUpdVarBinary", "3");
    }
  } catch (const std::exception&) {
    log_.GravaLog("Utilização de BANCO SQL 2005 ou inferior - adqtipotabela ", "3");
  }
}

void Controller::checkBranchAndDownload() {
  db::Connection& local = adcBaixaTabelas();
  std::string loadedBranch;
  {
    auto filial = local.query(sql::kDadosFilial);
    if (filial->next()) loadedBranch = (*filial)["CDFILIAL"].asText();
  }
  const Paravend paravend = readParavend(local, slots_.branch());
  if (!loadedBranch.empty() && loadedBranch != slots_.branch()) {
    flag_.clear();
    log_.GravaLog(final_text::kOutraFilial, "3");
    return;
  }
  status_.operation("BAIXA_DADOS");
  BaixaTabelasModule& module = connections_.dtmBaixaTabelas();
  module.idSenConsCentral = paravend.idSenConsCentral;
  module.nmSqlNameDb = paravend.nmSqlNameDb;
  RunContext run = context();
  steps_.download->iniciaBaixaTabelas(
      run, {slots_.branch(), slots_.cashRegister(), slots_.mode(), false, paravend.idSenConsCentral,
            paravend.nmSqlNameDb, paravend.nmSqlSchemaDb});
}

void Controller::afterSuccessfulUpdate() {
  RunContext run = context();
  steps_.siteHooks->AplicaTriggerTrilobit(run, slots_.branch());
  steps_.siteHooks->AplicaProcedureTrielo(run, slots_.branch());
  steps_.siteHooks->ArredondaPrecoDia(run);
  steps_.siteHooks->AplicaViewConsAtivo(run);

  const Paravend paravend = readParavend(adcBaixaTabelas(), slots_.branch());
  const ConsumerCentralTarget target{slots_.branch(), paravend.nmSqlNameDb, paravend.nmSqlSchemaDb};
  const bool any = paravend.idDebConsCentral == "S" || paravend.idExtConsCentral == "S" ||
                   paravend.idSenConsCentral == "S";
  if (any) connections_.dtmBaixaEstrutura();
  if (paravend.idDebConsCentral == "S") steps_.consumerCentral->setupDebit(run, target);
  if (paravend.idExtConsCentral == "S") steps_.consumerCentral->setupStatement(run, target);
  if (paravend.idSenConsCentral == "S") steps_.consumerCentral->setupPassword(run, target);
}

}  // namespace app
