#include "load/account_movements.h"

#include <optional>

#include "db/core/sql_text.h"
#include "db/core/text.h"
#include "download/component_error.h"
#include "download/ledger/control_ledger.h"
#include "load/keyed_merge.h"
#include "load/load_sql.h"

namespace load {

namespace {

constexpr std::string_view kDataset = "cdsMoviClie";
constexpr std::string_view kQuery = "adqCliMoviClie";

// Movements match to the second, as the register shows them.
void bindSecond(db::Statement& search, size_t from, size_t to, const db::Value& when) {
  if (when.kind() != db::Value::Kind::DateTime && when.asText().empty()) {
    search.bind(from, db::Value());
    search.bind(to, db::Value());
    return;
  }
  const db::DateTime at = when.asDateTime();
  const db::DateTime second(at.msSinceZero() - at.msSinceZero() % 1000);
  search.bind(from, second);
  search.bind(to, second.addMs(1000));
}

// The search for an identical movement, prepared once for the download's fields.
class MovementSearch {
 public:
  MovementSearch(db::Connection& conn, db::DataSet& rows)
      : statement_(conn.prepare(sql::kSelMoviClieIgual)),
        at_(parameterIndices(
            statement_, {"P_CDCLIENTE", "P_CDCONSUMIDOR", "P_DTMOVCLI_DE", "P_DTMOVCLI_ATE",
                         "P_DTABERCAIX_DE", "P_DTABERCAIX_ATE", "P_IDTIPMOCVLI", "P_VRMOVCLI"})),
        client_(rows.fieldByName("CDCLIENTE")),
        consumer_(rows.fieldByName("CDCONSUMIDOR")),
        moved_(rows.fieldByName("DTMOVCLI")),
        opened_(rows.fieldByName("DTABERCAIX")),
        value_(rows.fieldByName("VRMOVCLI")) {}

  // Binds the current row's movement; `held` then asks for it by type.
  void bindRow() {
    statement_.bind(at_[0], db::Value(client_.asString()));
    const std::string consumer = consumer_.asString();
    statement_.bind(at_[1], consumer.empty() ? db::Value() : db::Value(consumer));
    bindSecond(statement_, at_[2], at_[3], moved_.value());
    bindSecond(statement_, at_[4], at_[5], opened_.value());
    statement_.bind(at_[7], db::Value(value_.asFloat()));
  }

  bool held(const std::string& type) {
    statement_.bind(at_[6], db::Value(type));
    return statement_.query()->next();
  }

 private:
  db::Statement& statement_;
  std::vector<size_t> at_;
  db::Field client_, consumer_, moved_, opened_, value_;
};

}  // namespace

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
    size_t numberColumn = 0;
    for (size_t c = 0; c < columns.size(); ++c) {
      fields.push_back(rows->fieldByName(columns[c]).index());
      if (db::iequals(columns[c], "NRSEQMOVCLI")) numberColumn = c;
    }
    db::Statement& insert = conn.prepare(db::sql::insertStatement("MOVICLIE", columns));
    db::Field client = rows->fieldByName("CDCLIENTE");
    db::Field type = rows->fieldByName("IDTIPMOCVLI");
    std::optional<MovementSearch> search;
    if (localRows) search.emplace(conn, *rows);
    const size_t total = rows->recordCount();
    size_t i = 1;
    for (rows->first(); !rows->eof(); rows->next(), ++i) {
      if (search) search->bindRow();
      const bool held = search && (search->held(type.asString()) || search->held("X"));
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
