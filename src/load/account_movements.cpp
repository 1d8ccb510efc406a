#include "load/account_movements.h"

#include <optional>

#include "db/core/sql_text.h"
#include "db/core/text.h"
#include "download/component_error.h"
#include "download/ledger/control_ledger.h"
#include "load/held_movements.h"
#include "load/keyed_merge.h"
#include "load/load_sql.h"

namespace load {

namespace {

constexpr std::string_view kDataset = "cdsMoviClie";
constexpr std::string_view kQuery = "adqCliMoviClie";

std::optional<db::DateTime> secondOrNull(const db::Field& field) {
  const db::Value when = field.value();
  if (when.kind() != db::Value::Kind::DateTime && when.asText().empty()) return std::nullopt;
  return when.asDateTime();
}

// The current row's movement, as the search for an identical local one compares it.
class DownloadedMovement {
 public:
  explicit DownloadedMovement(db::DataSet& rows)
      : client_(rows.fieldByName("CDCLIENTE")),
        consumer_(rows.fieldByName("CDCONSUMIDOR")),
        moved_(rows.fieldByName("DTMOVCLI")),
        opened_(rows.fieldByName("DTABERCAIX")),
        value_(rows.fieldByName("VRMOVCLI")) {}

  MovementKey key() const {
    std::string consumer = consumer_.asString();
    return {client_.asString(),
            consumer.empty() ? std::nullopt : std::optional<std::string>(std::move(consumer)),
            secondOrNull(moved_), secondOrNull(opened_), value_.asFloat()};
  }

 private:
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
    db::Field type = rows->fieldByName("IDTIPMOCVLI");
    const DownloadedMovement downloaded(*rows);
    std::optional<HeldMovements> local;
    if (localRows) local.emplace(conn);
    const size_t total = rows->recordCount();
    size_t i = 1;
    for (rows->first(); !rows->eof(); rows->next(), ++i) {
      const MovementKey movement = downloaded.key();
      const bool held =
          local && (local->held(movement, type.asString()) || local->held(movement, "X"));
      if (!held) {
        const std::string number = std::to_string(nextCode_.PrxMovClie(movement.client, 1, "SRV"));
        for (size_t c = 0; c < columns.size(); ++c)
          insert.bind(c, c == numberColumn ? db::Value(number) : rows->field(fields[c]).value());
        insert.execute();
        if (local) local->inserted(movement.client, number);
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
