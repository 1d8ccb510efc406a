#include "load/request_dates.h"

#include <array>

#include "download/ledger/control_ledger.h"
#include "download/table_catalogue.h"
#include "load/load_sql.h"

namespace load {

namespace {

// Slots the control ledger fills (and CONFTELA, read per register below).
constexpr std::array<size_t, 12> kNotHere = {0, 1, 4, 5, 11, 12, 20, 45, 51, 55, 109, 111};
constexpr size_t kConfTelaSlot = 45;

bool readHere(size_t slot) {
  for (size_t skipped : kNotHere) {
    if (skipped == slot) return false;
  }
  return true;
}

std::string countMaxSql(const DateSlot& slot) {
  return std::string(sql::kCountMaxPrefix) + std::string(slot.column) + ") AS DTULTATU FROM " +
         std::string(slot.table);
}

void storeDates(db::Connection& conn, const std::string& text, const db::Params& params,
                size_t position, download::RequestVectors& vectors, db::DateTime now) {
  auto rows = conn.query(text, params);
  const bool any = rows->next();
  const int64_t count = any ? rows->at(0).asInt() : 0;
  const db::Value date = any ? rows->at(1) : db::Value();
  vectors.vDatasControle.at(position) = download::dataPedido(count, 1, date, now);
  vectors.vDatasBase.at(position) = download::dataPedido(count, 2, date, now);
}

}  // namespace

const std::vector<DateSlot>& dateSlots() {
  static const std::vector<DateSlot> slots = [] {
    std::vector<DateSlot> all(download::kDateSlots);
    for (const download::CatalogueTable& entry : download::tableCatalogue())
      if (entry.requestSlot)
        all.at(static_cast<size_t>(*entry.requestSlot)) = {entry.table, entry.requestDateColumn()};
    return all;
  }();
  return slots;
}

void BuscaDtUltAtuTabelas(LoadContext& context, download::RequestVectors& vectors) {
  const db::DateTime now = context.env.now();
  std::string text;
  try {
    for (size_t slot = 0; slot < dateSlots().size(); ++slot) {
      if (!readHere(slot)) continue;
      text = countMaxSql(dateSlots()[slot]);
      storeDates(context.conn, text, {}, slot, vectors, now);
    }
    text = std::string(sql::kConfTelaCaixa);
    auto current = context.conn.query(text, {{"P_CDFILIAL", db::Value(context.state.branch)},
                                             {"P_CDCAIXA", db::Value(context.state.cashRegister)},
                                             {"P_HOJE", db::Value(now)}});
    const db::Value screen = current->next() ? current->at(0) : db::Value();
    current.reset();
    text = countMaxSql(dateSlots()[kConfTelaSlot]) + " WHERE NRCONFTELA = :P_NRCONFTELA";
    storeDates(context.conn, text, {{"P_NRCONFTELA", db::Value(screen.asText())}}, kConfTelaSlot,
               vectors, now);
  } catch (const std::exception& error) {
    context.log("BuscaDtUltAtuTabelas Query: " + text, "3");
    context.log("BuscaDtUltAtuTabelas Except: " + std::string(error.what()), "3");
  }
}

}  // namespace load
