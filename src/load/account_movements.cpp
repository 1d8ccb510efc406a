#include "load/account_movements.h"

#include "db/core/text.h"
#include "download/component_error.h"
#include "download/ledger/control_ledger.h"
#include "load/load_sql.h"

namespace load {

namespace {

constexpr std::string_view kDataset = "cdsMoviClie";
constexpr std::string_view kQuery = "adqCliMoviClie";

// Movements match to the second, as the register shows them.
db::Params secondRange(std::string_view prefix, const db::Field& field) {
  if (field.isNull() || field.asString().empty())
    return {{std::string(prefix) + "_DE", db::Value()},
            {std::string(prefix) + "_ATE", db::Value()}};
  const db::DateTime when = field.asDateTime();
  const db::DateTime second(when.msSinceZero() - when.msSinceZero() % 1000);
  return {{std::string(prefix) + "_DE", second},
          {std::string(prefix) + "_ATE", second.addMs(1000)}};
}

}  // namespace

bool AccountMovements::alreadyHeld(db::DataSet& rows, const std::string& type) {
  db::Statement& search = ctx_.conn.prepare(sql::kSelMoviClieIgual);
  const std::string consumer = rows.fieldByName("CDCONSUMIDOR").asString();
  search.bind("P_CDCLIENTE", db::Value(rows.fieldByName("CDCLIENTE").asString()));
  search.bind("P_CDCONSUMIDOR", consumer.empty() ? db::Value() : db::Value(consumer));
  for (const auto& p : secondRange("P_DTMOVCLI", rows.fieldByName("DTMOVCLI")))
    search.bind(p.name, p.value);
  for (const auto& p : secondRange("P_DTABERCAIX", rows.fieldByName("DTABERCAIX")))
    search.bind(p.name, p.value);
  search.bind("P_IDTIPMOCVLI", db::Value(type));
  search.bind("P_VRMOVCLI", db::Value(rows.fieldByName("VRMOVCLI").asFloat()));
  return search.query()->next();
}

void AccountMovements::run() {
  ctx_.env.processMessages();
  db::DataSet* rows = ctx_.rowsOf(kDataset);
  if (rows == nullptr) return;
  db::Connection& conn = ctx_.conn;
  try {
    if (!conn.inTransaction()) conn.begin();
    const bool localRows = scalar(conn, sql::kCountMoviclieRegs).asInt() > 0;
    ctx_.log("Início InsertCliMoviClie", "2");
    const auto columns = tableColumns(conn, "MOVICLIE");
    std::vector<size_t> fields;
    std::string names, params;
    size_t numberColumn = 0;
    for (size_t c = 0; c < columns.size(); ++c) {
      fields.push_back(rows->fieldByName(columns[c]).index());
      if (db::iequals(columns[c], "NRSEQMOVCLI")) numberColumn = c;
      names += (names.empty() ? "" : ", ") + columns[c];
      params += (params.empty() ? ":P_" : ", :P_") + columns[c];
    }
    db::Statement& insert =
        conn.prepare("INSERT INTO MOVICLIE (" + names + ") VALUES (" + params + ")");
    db::Field client = rows->fieldByName("CDCLIENTE");
    db::Field type = rows->fieldByName("IDTIPMOCVLI");
    const size_t total = rows->recordCount();
    size_t i = 1;
    for (rows->first(); !rows->eof(); rows->next(), ++i) {
      const bool held =
          localRows && (alreadyHeld(*rows, type.asString()) || alreadyHeld(*rows, "X"));
      if (!held) {
        for (size_t c = 0; c < columns.size(); ++c) {
          insert.bind(
              c, c == numberColumn
                     ? db::Value(std::to_string(nextCode_.PrxMovClie(client.asString(), 1, "SRV")))
                     : rows->field(fields[c]).value());
        }
        insert.execute();
      }
      // The last batch commits below, together with the ledger row that covers it.
      if (i != total && i % kBatch == 0) {
        conn.commit();
        ctx_.log("Inserido " + std::to_string(i) + " de " + std::to_string(total), "2");
        conn.begin();
      }
    }
    ctx_.log("Inserido " + std::to_string(total) + " de " + std::to_string(total), "2");
    ctx_.log("Fim InsertCliMoviClie", "2");
    download::gravaCtrlBaixaTab(conn, ctx_.state.branch, "MOVICLIE", "",
                                greatestOf(*rows, "DTULTATUMCLI"));
    conn.commit();
  } catch (const std::exception& error) {
    if (conn.inTransaction()) conn.rollback();
    throw download::ComponentError(std::string(kQuery), error.what());
  }
}

}  // namespace load
