#include "load/statement_merge.h"

#include "db/core/sql_text.h"
#include "db/core/text.h"
#include "download/component_error.h"
#include "download/ledger/control_ledger.h"
#include "load/keyed_merge.h"
#include "load/load_sql.h"

namespace load {

namespace {

const std::vector<std::string_view> kKeys = {"CDCLIENTE", "CDCONSUMIDOR", "CDFAMILISALD",
                                             "DTMOVEXTCONS", "NRSEQMOVEXT"};

bool isKey(std::string_view column) {
  for (auto key : kKeys) {
    if (db::iequals(key, column)) return true;
  }
  return false;
}

bool isTextType(db::FieldType type) {
  return type == db::FieldType::String || type == db::FieldType::FixedString ||
         type == db::FieldType::WideString;
}

// The statement row writer's rule for one downloaded cell.
db::Value statementCell(db::Field& field) {
  if (isDateTimeType(field.type())) return dateOrNull(field);
  if (field.type() == db::FieldType::Float) return field.asFloat();
  if (!isTextType(field.type())) return field.value();
  if (db::iequals(field.name(), "IDIMPEXTRATO")) return "S";
  return textOrNull(field.asString());
}

// UPDATE ... SET (columns but the keys and the skipped ones) WHERE key, and the INSERT.
struct StatementWrites {
  db::Statement* update;
  db::Statement* insert;
  std::vector<size_t> updateColumns;  // column index per SET parameter
  std::vector<size_t> keyColumns;
  std::vector<size_t> keyParameters;  // the UPDATE's parameter per key column
};

StatementWrites prepareWrites(db::Connection& conn, const std::vector<std::string>& columns,
                              std::string_view skippedOnUpdate) {
  StatementWrites writes{};
  std::vector<std::string> sets;
  for (size_t c = 0; c < columns.size(); ++c) {
    if (isKey(columns[c])) {
      writes.keyColumns.push_back(c);
      continue;
    }
    if (db::iequals(columns[c], skippedOnUpdate)) continue;
    sets.push_back(columns[c]);
    writes.updateColumns.push_back(c);
  }
  writes.update = &conn.prepare(
      db::sql::updateStatement("EXTRATOCONS", db::sql::assignmentList(sets), sql::kExtratoConsKey));
  writes.insert = &conn.prepare(db::sql::insertStatement("EXTRATOCONS", columns));
  std::vector<std::string> keyNames;
  for (size_t k : writes.keyColumns) keyNames.push_back("K_" + columns[k]);
  writes.keyParameters = parameterIndices(*writes.update, keyNames);
  return writes;
}

// Binds the key and runs the update; true when the movement exists.
bool updateExisting(StatementWrites& writes, const std::vector<db::Value>& values) {
  for (size_t s = 0; s < writes.updateColumns.size(); ++s)
    writes.update->bind(s, values[writes.updateColumns[s]]);
  for (size_t k = 0; k < writes.keyColumns.size(); ++k) {
    const db::Value& key = values[writes.keyColumns[k]];
    writes.update->bind(
        writes.keyParameters[k],
        key.kind() == db::Value::Kind::DateTime || key.isNull() ? key : db::Value(key.asText()));
  }
  return writes.update->execute() > 0;
}

void insertRow(StatementWrites& writes, const std::vector<db::Value>& values) {
  for (size_t c = 0; c < values.size(); ++c) writes.insert->bind(c, values[c]);
  writes.insert->execute();
}

}  // namespace

void StatementMerge::AplicaExtratoCons(std::string_view datasetName) {
  db::Connection& conn = ctx_.conn;
  try {
    const bool localEmpty = !conn.query(sql::kAnyExtratoCons)->next();
    if (!conn.inTransaction()) conn.begin();
    if (db::DataSet* rows = ctx_.rowsOf(datasetName)) {
      std::vector<std::string> columns;
      for (const auto& def : rows->fieldDefs()) columns.push_back(def.name);
      // The main statement keeps the register's own sale number on an update.
      const bool mainStatement = db::iequals(datasetName, "cdsEXTRATOCONS");
      auto writes = prepareWrites(conn, columns, mainStatement ? "NRSEQVENDA" : "");
      size_t stampColumn = columns.size();
      size_t dateColumn = columns.size();
      for (size_t c = 0; c < columns.size(); ++c) {
        if (db::iequals(columns[c], "DTULTATUEXT")) stampColumn = c;
        if (db::iequals(columns[c], "DTMOVEXTCONS")) dateColumn = c;
      }
      const db::DateTime now = ctx_.env.now();
      const db::DateTime oldest = now.date().addDays(-kDaysKept);
      std::vector<db::Value> values(columns.size());
      for (rows->first(); !rows->eof(); rows->next()) {
        for (size_t c = 0; c < columns.size(); ++c) {
          db::Field field = rows->field(c);
          values[c] = statementCell(field);
        }
        if (stampColumn < columns.size() && values[stampColumn].isNull())
          values[stampColumn] = now.addDays(-1);
        try {
          if (localEmpty) {
            insertRow(writes, values);
          } else if (!updateExisting(writes, values)) {
            const bool recent = dateColumn < columns.size() && !values[dateColumn].isNull() &&
                                values[dateColumn].asDateTime() >= oldest;
            if (recent) insertRow(writes, values);
          }
        } catch (const db::Error& error) {
          if (!refusedRow(error)) throw;  // a refused movement is dropped, as a cancelled post was
        }
        if (!localEmpty) ctx_.keepAlive.mantemConexao(false);
      }
      download::gravaCtrlBaixaTab(conn, ctx_.state.branch, "EXTRATOCONS", "",
                                  greatestOf(*rows, "DTULTATUEXT"));
    }
    if (conn.inTransaction()) conn.commit();
    ctx_.keepAlive.mantemConexao(true);
    if (db::DataSet* rows = ctx_.rowsOf(datasetName)) rows->emptyDataSet();
  } catch (const std::exception& error) {
    if (conn.inTransaction()) conn.rollback();
    throw download::ComponentError("adqExtratoCons", error.what());
  }
}

void StatementMerge::mergeReimported() {
  constexpr std::string_view kDataset = "cdsVExtratoCons";
  db::DataSet* rows = ctx_.rowsOf(kDataset);
  if (rows == nullptr) return;
  db::Connection& conn = ctx_.conn;
  try {
    const auto columns = tableColumns(conn, "EXTRATOCONS");
    const auto plan = writer_.plan(kDataset, columns, *rows);
    auto writes = prepareWrites(conn, columns, "DTULTATUEXT");
    if (!conn.inTransaction()) conn.begin();
    std::vector<db::Value> values(columns.size());
    for (rows->first(); !rows->eof(); rows->next()) {
      for (size_t c = 0; c < columns.size(); ++c) values[c] = writer_.cell(plan, c, *rows);
      try {
        if (!updateExisting(writes, values)) insertRow(writes, values);
      } catch (const db::Error& error) {
        if (!refusedRow(error)) throw;
      }
    }
    conn.commit();
  } catch (const std::exception& error) {
    if (conn.inTransaction()) conn.rollback();
    throw download::ComponentError("adqConfExtCons", error.what());
  }
}

}  // namespace load
