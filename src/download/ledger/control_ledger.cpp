#include "download/ledger/control_ledger.h"

#include <stdexcept>
#include <string>

#include "download/ledger/statements.h"

namespace download {

db::DateTime baseDate() { return db::DateTime::fromParts(1985, 1, 1, 12, 0, 0); }

void gravaCtrlBaixaTab(db::Connection& conn, std::string_view cdFilial, std::string_view nmTabela,
                       std::string_view cdCaixa, const db::Value& dtUltAtuTab) {
  const db::Params key{{"P_CDFILIAL", cdFilial}, {"P_NMTABELA", nmTabela}, {"P_CDCAIXA", cdCaixa}};
  bool exists = false;
  {
    auto& select = conn.prepare(sql::kSelCtrlBaixaTab);
    select.bind(key);
    exists = select.query()->next();
  }
  auto& write = conn.prepare(exists ? sql::kUpdCtrlBaixaTab : sql::kInsCtrlBaixaTab);
  write.bind(key);
  write.bind("P_DTULTATUTAB", dtUltAtuTab);
  write.execute();
}

namespace {

db::Value firstValue(db::Statement& statement) {
  auto rows = statement.query();
  if (!rows->next() || rows->at(0).isNull()) return {};
  return rows->at(0).asDateTime();
}

}  // namespace

db::Value consumerLoadedDate(db::Connection& conn, std::string_view cdFilial) {
  auto& select = conn.prepare(sql::kMaxDtConsumidor);
  select.bind("P_CDFILIAL", cdFilial);
  return firstValue(select);
}

db::Value extractLoadedDate(db::Connection& conn) {
  return firstValue(conn.prepare(sql::kMaxDtExtratoCons));
}

bool extractControlled(db::Connection& conn) {
  return conn.prepare(sql::kSelCtrlExtratoCons).query()->next();
}

db::DateTime dataPedido(int64_t cont, int kind, const db::Value& date, db::DateTime now) {
  if (kind != 1 && kind != 2)
    throw std::invalid_argument("dataPedido: kind must be 1 or 2, not " + std::to_string(kind));
  if (kind == 1 && cont == 0) return now.addDays(1);
  if (date.isNull()) return baseDate();
  const db::DateTime value = date.asDateTime();
  return value == db::DateTime() ? baseDate() : value;
}

db::DateTime pisoSessentaDias(db::DateTime date, db::DateTime now) {
  return date <= baseDate() ? now.addDays(-60) : date;
}

}  // namespace download
