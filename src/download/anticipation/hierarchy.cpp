#include <string>
#include <vector>

#include "download/anticipation/anticipation.h"
#include "download/anticipation/hierarchies.h"
#include "download/anticipation/rows.h"
#include "download/anticipation/statements.h"
#include "download/anticipation/text.h"
#include "outside/package/check_result.h"

namespace download {
namespace {

constexpr std::string_view kLedgerDataset = "cdsCliCtrlAtualTab";

// A level's merge: the price items and products leave the download ledger to the main request;
// the screen menu merges the run's register.
MergeSettings settingsFor(std::string_view table, const std::string& cashRegister) {
  MergeSettings settings;
  if (table == "ITEMPRECOGER" || table == "ITEMPRECODIAGER" || table == "PRODUTO")
    settings.recordLedger = false;
  if (table == "ITMENUCONFTE") {
    settings.recordLedger = false;
    settings.cashRegister = cashRegister;
  }
  return settings;
}

// getDadosTabCtrl answers an array of packets from position 1; anything else is the server's
// error text.
const db::ValueArray& packetsOf(const db::Value& result, size_t expected) {
  if (result.kind() == db::Value::Kind::Text)
    throw outside::ServerError("getDadosTabCtrl: " + result.getText());
  if (result.kind() != db::Value::Kind::Array)
    throw outside::ServerError("getDadosTabCtrl returned " +
                               std::string(db::kindName(result.kind())) +
                               " instead of an array of data packets");
  const db::ValueArray& packets = result.getArray();
  if (packets.size() < expected + 1)
    throw outside::ServerError("getDadosTabCtrl returned " + std::to_string(packets.size()) +
                               " positions; " + std::to_string(expected + 1) + " expected");
  return packets;
}

}  // namespace

void Anticipation::antecipaPorHierarquia(const std::string& branch, const std::string& cashRegister,
                                         std::string_view group) {
  if (server_.call("getBanco").asText() != "ORACLE") return;

  const bool preco = group == kGroupPreco;
  s_.log(preco ? "Antecipação dos dados referentes à rotina da tabela de preços geral"
               : "Antecipação dos dados referentes à rotina de configuração de leiaute de caixa.",
         "3");
  for (const AnticipatedLevel& level : anticipatedLevels(group)) {
    const bool top = preco && level.table == kTopPriceLevel;
    const std::string key = top ? "%" + branch : "";
    const db::Value since = ledger_.dataCtrlAtualTab(level.table, key);
    // The fourth text narrows the central ledger: the branch, or branch_register for a layout.
    const std::string narrowing = preco ? (top ? "" : branch) : branch + "_" + cashRegister;
    std::vector<db::Value> args{db::Value(level.table),
                                db::Value(key),
                                since.isNull() ? db::Value(db::DateTime()) : since,
                                db::Value(narrowing),
                                db::Value(group),
                                db::Value(branch)};
    db::DataSet& ledgerRows = state_.dataset(kLedgerDataset);
    outside::CheckResultServ(server_.call("getDtCtrlAtualTab", args), ledgerRows,
                             "getDtCtrlAtualTab");
    if (ledgerRows.isEmpty()) continue;

    ledgerRows.first();
    const std::string ledgerKey = ledgerRows.fieldByName("DSCHAVE").asString();
    runLevel(level, branch, cashRegister, ledgerKey);
    ledger_.gravaCtrlAtualTab(level.table, group, receivedRowsOf(ledgerRows));
    return;
  }
}

void Anticipation::runLevel(const AnticipatedLevel& level, const std::string& branch,
                            const std::string& cashRegister, const std::string& ledgerKey) {
  s_.log("Antecipando tabelas relacionadas à tabela " + std::string(level.table) + "...", "3");
  const int64_t count = static_cast<int64_t>(level.packets.size());
  std::vector<db::Value> args;
  if (level.argument == LevelArgument::LedgerKey) {
    args = {db::Value(level.table), db::Value(ledgerKey),    db::Value(count),      db::Value(""),
            db::Value(branch),      db::Value(cashRegister), db::Value(level.group)};
  } else {
    args = {db::Value(level.table), db::Value(""),
            db::Value(count),       db::Value(state_.dataset(kLedgerDataset).data()),
            db::Value(branch),      db::Value(cashRegister),
            db::Value(level.group)};
  }
  const db::Value result = server_.call("getDadosTabCtrl", args);
  const db::ValueArray& packets = packetsOf(result, level.packets.size());

  for (size_t i = 0; i < level.packets.size(); ++i) {
    const AnticipatedPacket& packet = level.packets[i];
    db::DataSet& dataSet = state_.dataset(packet.dataset);
    outside::CheckResultServ(packets[i + 1], dataSet, "getDadosTabCtrl");
    // Counted before the merge, which may empty the dataset once written.
    const size_t records = dataSet.recordCount();
    merges_.mergeTable(packet.table, settingsFor(packet.table, cashRegister));
    s_.log(std::string(packet.logName) +
               " baixada antecipadamente. Reg. Antecipados: " + std::to_string(records),
           "3");
  }

  if (level.table == kTopPriceLevel) keepOnlyPriceTable(args[1].asText());
  s_.log("Antecipação dos dados referentes à tabela " + std::string(level.table) +
             " realizada com sucesso!",
         "3");
}

void Anticipation::keepOnlyPriceTable(const std::string& ledgerKey) {
  // A key too short to name a price table would match no code and wipe every general price
  // table just brought down.
  if (ledgerKey.size() < kPriceTableCodeLength) {
    s_.log("Chave da FILITABGER sem tabela de preços (\"" + ledgerKey +
               "\"); nenhuma tabela de preços geral foi apagada.",
           "3");
    return;
  }
  const std::string priceTable = ledgerKey.substr(0, kPriceTableCodeLength);
  for (std::string_view table : priceTablesNarrowedByKey()) {
    auto& remove =
        local_.prepare(fillStatement(anticipation_sql::kDelOtherPriceTables, {{"TABLE", table}}));
    remove.bind("P_CDTABEPREC", priceTable);
    remove.execute();
  }
}

}  // namespace download
