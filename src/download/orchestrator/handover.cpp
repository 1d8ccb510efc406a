// The download request and the hand-over of its packets to the client datasets.
#include <algorithm>
#include <array>
#include <string>

#include "download/ledger/control_ledger.h"
#include "download/orchestrator/orchestrator.h"
#include "download/orchestrator/packets.h"
#include "download/orchestrator/statements.h"
#include "outside/package/check_result.h"

namespace download {
namespace {

namespace sql = orchestrator_sql;

constexpr int kRecentShiftDays = 30;
constexpr int kStatementShiftDays = 60;
// The general price tables no longer linked to the branch are cleaned once their delete cache
// (the last of them) is in, before the positions that follow.
constexpr int kLastGeneralPricePosition = 269;
// Indicators every mode sets; ESTOQUE leaves the others unassigned.
constexpr std::array<size_t, 4> kIndicatorsOfEveryMode{2, 6, 7, 8};

db::Value textArray(const std::vector<std::string>& texts, bool onlyEveryMode) {
  db::ValueArray array(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    const bool set = !onlyEveryMode ||
                     std::find(kIndicatorsOfEveryMode.begin(), kIndicatorsOfEveryMode.end(), i) !=
                         kIndicatorsOfEveryMode.end();
    if (set) array[i] = db::Value(texts[i]);
  }
  return db::Value(std::move(array));
}

}  // namespace

void Orchestrator::readShiftPackets() {
  registers_ = queryPacket(local_, sql::kSelCaixas);
  if (!returnsRow(sql::kSelCaixaVendas,
                  {{"P_CDFILIAL", state_.branch}, {"P_CDCAIXA", state_.cashRegister}}))
    return;
  s_.log("Busca dados da Turcaixa para serem baixados", "3");
  recentShifts_ =
      queryPacket(local_, sql::kSelTurCaixa,
                  {{"P_CDFILIAL", state_.branch}, {"P_NRDIASBXVNDMSDE", kRecentShiftDays}});
  s_.log("Busca dados da Turcaixa dos ultimos 60 dias para a tabela ExtratoCons", "3");
  closedShifts_ =
      queryPacket(local_, sql::kSelTurCaixaFechados,
                  {{"P_CDFILIAL", state_.branch}, {"P_NRDIASBXVNDMSDE", kStatementShiftDays}});
}

void Orchestrator::setEveryModeIndicators() {
  auto& ind = state_.vectors.vIndicadores;
  ind[2] = indicatorWhenEmpty(sql::kSelUsoCupomDescKiv);
  ind[6] = indicatorWhenEmpty(sql::kSelGruPromocProd);
  ind[7] = indicatorWhenEmpty(sql::kSelGruPromocPrFil);
  ind[8] = indicatorWhenEmpty(sql::kSelHistPedCons);
}

std::vector<db::Value> Orchestrator::requestArguments() const {
  const RequestVectors& v = state_.vectors;
  return {
      db::Value(state_.branch),
      db::Value(state_.cashRegister),
      db::Value(state_.cdLoja),
      db::Value(db::ValueArray(v.vDatasControle)),
      db::Value(db::ValueArray(v.vDatasBase)),
      db::Value(extractWithoutControl_),
      db::Value(moviclieEmpty_),
      db::Value(highestExtractSequence_),
      db::Value(std::string()),
      db::Value(state_.mode),
      recentShifts_,
      closedShifts_,
      registers_,
      textArray(v.vIndicadores, isMode(kModeEstoque)),
  };
}

void Orchestrator::handOver(const db::ValueArray& reply, const ModeHandOver& mode,
                            PacketSpool* spool) {
  const bool tabelas = isMode(kModeTabelas);
  for (const HandOver& position : mode.positions) {
    handOverOne(reply[static_cast<size_t>(position.position)], position, spool);
    state_.releaseSpooled();
    if (tabelas && position.position == kLastGeneralPricePosition)
      stages_.cleanup.cleanGeneralPriceTables();
  }
  tableCount_ = std::string(mode.tableCount);
}

// A spooled packet is read here all the same: a bad one fails the hand-over before any load.
void Orchestrator::fill(const db::Value& packet, const HandOver& position, PacketSpool* spool) {
  std::string source = "getTabelas (posição " + std::to_string(position.position) + ", " +
                       std::string(position.table) + ")";
  if (auto spooled = spool != nullptr ? spool->take(position.position) : std::nullopt) {
    spooled->source = std::move(source);
    state_.spool(position.dataset, std::move(*spooled));
    state_.dataset(position.dataset);
    return;
  }
  outside::CheckResultServ(packet, state_.dataset(position.dataset), source);
}

void Orchestrator::handOverOne(const db::Value& packet, const HandOver& position,
                               PacketSpool* spool) {
  const std::string table(position.table);
  const bool extractLater =
      position.count == CountRule::ExtractByFile && !extractControlled(local_);
  if (extractLater || position.count == CountRule::DownloadedLater) {
    s_.log(extractLater ? "EXTRATOCONS terá seu conteúdo baixado posteriormente."
                        : "Tabela CACHEPRODSEG será baixada via Download posteriormente...",
           "3");
    fill(packet, position, spool);
    s_.log(" ", "3");
    return;
  }
  s_.log("Início da Importação da Tabela: " + table, "3");
  fill(packet, position, spool);
  s_.log("    Fim da Importação da Tabela: " + table +
             " - Nr.Registros: " + countOf(state_.dataset(position.dataset), position),
         "2");
  s_.log(" ", "3");
}

std::string Orchestrator::countOf(db::DataSet& dataset, const HandOver& position) {
  const auto& ind = state_.vectors.vIndicadores;
  std::string_view totalField;
  if (position.count == CountRule::ConsumerTotal && ind[0] == "S") totalField = "QTDCONSUMIDOR";
  if (position.count == CountRule::BenefitTotal && ind[1] == "S") totalField = "QTDMOVBENEFICIOCTR";
  if (totalField.empty()) return std::to_string(dataset.recordCount());
  db::Field total = dataset.fieldByName(totalField);
  if (dataset.isEmpty()) return "0";
  dataset.first();
  return total.asString();
}

}  // namespace download
