#include "download/ledger/request_dates.h"

#include <stdexcept>
#include <string>

#include "db/core/text.h"
#include "download/ledger/control_ledger.h"
#include "download/ledger/controlled_tables.h"
#include "download/ledger/statements.h"

namespace download {
namespace {

struct ControlRow {
  bool found = false;
  int64_t cont = 0;
  db::Value date;
};

ControlRow firstRow(db::Statement& statement) {
  auto rows = statement.query();
  ControlRow row;
  if (rows->next()) {
    row.found = true;
    row.cont = (*rows)["CONT"].asInt();
    row.date = (*rows)["DTULTATU"];
  }
  return row;
}

std::string requestQuery(const ControlledTable& table) {
  const bool minusFive = table.rule == RequestRule::ExtractFiveDays;
  std::string text(minusFive ? sql::kReqDateMinusFivePrefix : sql::kReqDatePrefix);
  text += "'" + std::string(table.name) + "'";
  if (minusFive)
    text += " AND EXISTS(SELECT 1 FROM " + std::string(table.name) + ")";
  else if (table.emptyMeansUncontrolled)
    text += " AND EXISTS (SELECT 1 FROM " + std::string(table.name) + ")";
  text += sql::kReqDateGroup;
  return text;
}

std::string associatedRegisters(db::Connection& conn, const RequestRun& run) {
  auto& select = conn.prepare(sql::kSelCaixaTab);
  select.bind({{"P_CDFILIAL", run.cdFilial}, {"P_CDCAIXA", run.cdCaixa}});
  auto rows = select.query();
  std::string text = rows->next() ? (*rows)["DSCAIXATAB"].asText() : std::string();
  return text + "_" + run.cdCaixa;
}

int64_t daysToLookBack(db::Connection& conn, const RequestRun& run) {
  auto& select = conn.prepare(sql::kSelParavendMoviclie);
  select.bind("P_CDFILIAL", run.cdFilial);
  auto rows = select.query();
  return rows->next() ? (*rows)["NRDIASVERMOVCLI"].asInt() : 0;
}

bool salesNameAConsumer(db::Connection& conn) {
  return conn.prepare(sql::kSelVendaComConsumidor).query()->next();
}

class Reader {
 public:
  Reader(db::Connection& conn, const RequestRun& run, RequestVectors& vectors, db::DateTime now)
      : conn_(conn), run_(run), v_(vectors), now_(now) {}

  void read(const ControlledTable& table) {
    const size_t p = static_cast<size_t>(table.position);
    if (table.rule == RequestRule::ScreenMenu) return readScreenMenu(p);

    auto& statement = conn_.prepare(requestQuery(table));
    statement.bind("P_CDFILIAL", run_.cdFilial);
    const ControlRow row = firstRow(statement);
    setFromRow(p, row);
    if (table.indicatorWhenMissing)
      v_.vIndicadores[static_cast<size_t>(*table.indicatorWhenMissing)] = row.found ? "N" : "S";

    switch (table.rule) {
      case RequestRule::Consumer:
        return applyConsumerRule(p, row);
      case RequestRule::ExtractFiveDays:
        return applySixtyDayFloor(p);
      case RequestRule::CustomerMovement:
        applySixtyDayFloor(p);
        return lookFurtherBack(p);
      default:
        return;
    }
  }

 private:
  void setFromRow(size_t p, const ControlRow& row) {
    v_.vDatasControle[p] = dataPedido(row.cont, 1, row.date, now_);
    v_.vDatasBase[p] = dataPedido(row.cont, 2, row.date, now_);
  }

  void readScreenMenu(size_t p) {
    if (run_.mode == "TABELAS" && run_.itMenuConfTeEmpty) {
      v_.vDatasControle[p] = db::Value(int64_t{0});
      v_.vDatasBase[p] = db::Value(int64_t{0});
      return;
    }
    const std::string associated = associatedRegisters(conn_, run_);
    auto& statement = conn_.prepare(sql::kReqDateMenu);
    statement.bind({{"P_CDFILIAL", run_.cdFilial},
                    {"P_CDCAIXA", run_.cdCaixa},
                    {"P_CDCAIXAASSOC", associated}});
    setFromRow(p, firstRow(statement));
  }

  // An uncontrolled consumer base is loaded whole unless sales already point at consumers, in
  // which case only the last 90 days are asked for.
  void applyConsumerRule(size_t p, const ControlRow& row) {
    v_.vIndicadores[0] = "N";
    if (row.found || run_.existeVendaPendente || run_.existeExtratoPendente) return;
    if (!salesNameAConsumer(conn_)) {
      v_.vIndicadores[0] = "S";
      return;
    }
    const db::DateTime fallback = now_.date().addDays(-90);
    v_.vDatasControle[p] = fallback;
    v_.vDatasBase[p] = fallback;
  }

  void applySixtyDayFloor(size_t p) {
    v_.vDatasControle[p] = pisoSessentaDias(v_.vDatasControle[p].asDateTime(), now_);
    v_.vDatasBase[p] = pisoSessentaDias(v_.vDatasBase[p].asDateTime(), now_);
  }

  void lookFurtherBack(size_t p) {
    const db::DateTime base = v_.vDatasBase[p].asDateTime();
    if (base >= now_.addDays(-100)) v_.vDatasBase[p] = base.addDays(-daysToLookBack(conn_, run_));
  }

  db::Connection& conn_;
  const RequestRun& run_;
  RequestVectors& v_;
  db::DateTime now_;
};

}  // namespace

void readRequestDates(db::Connection& conn, const RequestRun& run, RequestVectors& vectors,
                      db::DateTime now) {
  if (vectors.vDatasControle.size() < kDateSlots || vectors.vDatasBase.size() < kDateSlots ||
      vectors.vIndicadores.size() < kIndicatorSlots)
    throw std::invalid_argument("request vectors too short for the controlled tables' slots");
  Reader reader(conn, run, vectors, now);
  for (const auto& table : controlledTables()) reader.read(table);
}

}  // namespace download
