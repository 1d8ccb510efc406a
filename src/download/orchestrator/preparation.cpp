// The local work before the download request: the register's store, the MOVICLIE set-aside,
// the first load of a branch, the extract and sales marks, the pending exports and the request
// dates.
#include <string>
#include <vector>

#include "download/anticipation/hierarchies.h"
#include "download/ledger/control_ledger.h"
#include "download/ledger/hygiene.h"
#include "download/ledger/request_dates.h"
#include "download/ledger/update_ledger.h"
#include "download/orchestrator/orchestrator.h"
#include "download/orchestrator/statements.h"
#include "download/transaction.h"

namespace download {
namespace {

namespace sql = orchestrator_sql;

constexpr std::string_view kNoExtractSequence = "00000000000000000000";

}  // namespace

bool Orchestrator::returnsRow(std::string_view sql, const db::Params& params) {
  auto& statement = local_.prepare(sql);
  statement.bind(params);
  return statement.query()->next();
}

void Orchestrator::readRegister() {
  auto& select = local_.prepare(sql::kSelCaixaLoja);
  select.bind({{"P_CDCAIXA", state_.cashRegister}, {"P_CDFILIAL", state_.branch}});
  auto rows = select.query();
  if (!rows->next()) return;
  state_.cdLoja = (*rows)["CDLOJA"].asText();
  state_.idUtilAberAuto = (*rows)["IDUTILABERAUTO"].asText();
}

// The customer movements are kept aside once, before the first download replaces them; the copy
// then stays, so later runs leave MOVICLIE alone.
void Orchestrator::setAsideMoviclie() {
  const bool oracle = dialect_ == LocalDialect::Oracle;
  if (returnsRow(oracle ? sql::kSelBackupMoviclieOracle : sql::kSelBackupMoviclie)) return;
  inTransaction(local_, [&] {
    local_.execute(oracle ? sql::kCopyMoviclieOracle : sql::kCopyMoviclie);
    local_.execute(sql::kDelMoviclie);
  });
}

void Orchestrator::prepareFirstLoad() {
  if (!returnsRow(sql::kSelFilial, {{"P_CDFILIAL", state_.branch}})) {
    inTransaction(local_, [&] {
      for (std::string_view table : firstLoadTables())
        local_.execute(std::string(sql::kDeleteFromPrefix) + std::string(table));
    });
  }
  state_.itMenuConfTeEmpty = !returnsRow(sql::kSelItMenuConfTe);
  stages_.anticipation.anticipateConfTelaCaixa(state_.branch, state_.cashRegister);
  s_.log("Antecipando algumas tabelas por DTULTATU antes do getTabelas...", "3");
  stages_.anticipation.antecipaPorHierarquia(state_.branch, "", kGroupPreco);
  stages_.anticipation.antecipaPorHierarquia(state_.branch, state_.cashRegister, kGroupLeiaute);
  UpdateLedger(local_, s_).limpaDatasAntigas();
  stages_.load.BuscaDtUltAtuTabelas(state_.vectors);
}

// Marks the extract rows that can never be exported (their sale is gone, or they belong to no
// shift) as done; the keys are read first so the table is not changed under an open cursor.
void Orchestrator::markExtractRows(std::string_view select, std::string_view logLine) {
  static constexpr std::string_view kKey[] = {"CDCLIENTE", "CDCONSUMIDOR", "CDFAMILISALD",
                                              "DTMOVEXTCONS", "NRSEQMOVEXT"};
  std::vector<db::Params> keys;
  {
    auto rows = local_.prepare(select).query();
    while (rows->next()) {
      db::Params& key = keys.emplace_back();
      for (std::string_view column : kKey)
        key.push_back({"P_" + std::string(column), (*rows)[column]});
    }
  }
  if (keys.empty()) return;
  auto& update = local_.prepare(sql::kUpdExtConsImpExtrato);
  for (const auto& key : keys) {
    update.bind(key);
    update.execute();
  }
  s_.log(logLine, "3");
}

void Orchestrator::preparaMSDEExtCons() {
  s_.log("Função preparaMSDEExtCons", "3");
  markExtractRows(sql::kSelExtConsSemVenda, "Executa acmUpdExtConsIMPEXTRATO 1");
  markExtractRows(sql::kSelExtConsCredito, "Executa acmUpdExtConsIMPEXTRATO 2");
  local_.prepare(sql::kUpdVendaSemTurCaixa).execute();
  s_.log("Executa acmUpdVendaSemTurCaixa", "3");
  local_.prepare(sql::kUpdMovCaixaSemTurCaixa).execute();
  s_.log("Executa acmUpdMovCaixaSemTurCaixa", "3");
}

void Orchestrator::readPendingAndDates() {
  preparaMSDEExtCons();
  state_.existeVendaPendente = returnsRow(sql::kExisteVendaPendente);
  state_.existeExtratoPendente = returnsRow(sql::kExisteExtratoPendente);
  LedgerHygiene(local_, s_)
      .checaCtrlBaixaTab(state_.cashRegister, state_.existeVendaPendente,
                         state_.existeExtratoPendente);
  state_.extractPresent = returnsRow(sql::kSelExtratoPresente);

  const RequestRun run{state_.branch,
                       state_.cashRegister,
                       state_.mode,
                       state_.existeVendaPendente,
                       state_.existeExtratoPendente,
                       state_.itMenuConfTeEmpty};
  readRequestDates(local_, run, state_.vectors, s_.now());
  {
    auto rows = local_.prepare(sql::kSelMaxSeqExtrato).query();
    const db::Value highest = rows->next() ? rows->at(0) : db::Value();
    highestExtractSequence_ = highest.isNull() ? std::string(kNoExtractSequence) : highest.asText();
  }
  state_.vectors.vIndicadores[3] = indicatorWhenEmpty(sql::kSelTotalDiaCaixa);
  extractWithoutControl_ = !extractControlled(local_);
  moviclieEmpty_ = !returnsRow(sql::kSelMoviclie);
}

}  // namespace download
