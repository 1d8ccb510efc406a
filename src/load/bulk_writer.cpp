#include "load/bulk_writer.h"

#include <array>

#include "db/core/text.h"
#include "download/component_error.h"
#include "load/keyed_merge.h"

namespace load {

namespace {

// Consumer-limit columns whose empty value means "no limit" and must stay NULL.
constexpr std::array<std::string_view, 7> kNullableLimits = {
    "VRCONSDIAFAM", "QTCONSDIAFAM",  "VRCONSDIARAL", "QTCONSDIARAL",
    "VRGTFIN",      "VRSALDOBASICO", "VRSALDOEXTRA"};

}  // namespace

enum class BulkWriter::Rule {
  Flag,            // set "S": the movement came back from the central side
  NextCashMove,    // a new NRSEQUMOVI of the register's till opening
  NextSale,        // a new NRSEQVENDA, remembered for the item tables
  RenumberedSale,  // the new NRSEQVENDA of the row's sale, or NULL
  Text,
  Integer,
  Float,
  NullableFloat,
  DateTime,
  AsIs,
};

namespace {

using Rule = BulkWriter::Rule;

bool is(std::string_view a, std::string_view b) { return db::iequals(a, b); }

bool isInteger(db::FieldType type) {
  using T = db::FieldType;
  return type == T::Int8 || type == T::Int16 || type == T::Int32 || type == T::UInt8 ||
         type == T::UInt16;
}

Rule ruleFor(std::string_view dataset, std::string_view column, db::FieldType type,
             bool renumbering) {
  if (is(dataset, "cdsTurcaixa") && (is(column, "IDIMPTCAIXA") || is(column, "IDATUTURCAIXA")))
    return Rule::Flag;
  if (is(dataset, "cdsVenda") && is(column, "IDIMPVENDA")) return Rule::Flag;
  if (is(dataset, "cdsMovCaixa") && is(column, "IDIMPMOVCAIXA")) return Rule::Flag;
  if (is(dataset, "cdsVExtratoCons") && is(column, "IDIMPEXTRATO")) return Rule::Flag;
  if (is(dataset, "cdsMovCaixa") && is(column, "NRSEQUMOVI")) return Rule::NextCashMove;
  if (is(dataset, "cdsVenda") && is(column, "NRSEQVENDA")) return Rule::NextSale;
  if (is(column, "NRSEQVENDA") && renumbering) return Rule::RenumberedSale;
  using T = db::FieldType;
  if (type == T::String || type == T::FixedString || type == T::WideString) return Rule::Text;
  if (isInteger(type)) return Rule::Integer;
  if (type == T::Float) {
    bool nullable = is(dataset, "cdsREGRAFISPDV");
    for (auto limit : kNullableLimits) nullable = nullable || is(column, limit);
    return nullable ? Rule::NullableFloat : Rule::Float;
  }
  if (isDateTimeType(type)) return Rule::DateTime;
  return Rule::AsIs;
}

}  // namespace

db::Value textOrNull(std::string text) {
  return text.empty() ? db::Value() : db::Value(std::move(text));
}

db::Value dateOrNull(const db::Field& field) {
  if (field.isNull()) return {};
  const db::DateTime value = field.asDateTime();
  return value.msSinceZero() == 0 ? db::Value() : db::Value(value);
}

BulkWriter::ColumnPlan BulkWriter::plan(std::string_view datasetName,
                                        const std::vector<std::string>& columns,
                                        db::DataSet& rows) const {
  ColumnPlan plan;
  for (const auto& column : columns) {
    const db::Field field = rows.fieldByName(column);
    plan.fields.push_back(field.index());
    plan.rules.push_back(ruleFor(datasetName, column, field.type(), !renumbering_.empty()));
  }
  return plan;
}

db::Value BulkWriter::cell(const ColumnPlan& plan, size_t c, db::DataSet& rows) {
  const db::Field field = rows.field(plan.fields[c]);
  switch (plan.rules[c]) {
    case Rule::Flag:
      return "S";
    case Rule::NextCashMove:
      return std::to_string(nextCode_.PrxMovCaixa(rows.fieldByName("CDFILIAL").asString(),
                                                  rows.fieldByName("CDCAIXA").asString(),
                                                  rows.fieldByName("DTABERCAIX").asDateTime()));
    case Rule::NextSale: {
      const std::string branch = rows.fieldByName("CDFILIAL").asString();
      const std::string cashRegister = rows.fieldByName("CDCAIXA").asString();
      std::string number = std::to_string(nextCode_.PrxPedidoVenda(branch, cashRegister, "SRV"));
      renumbering_.add({branch, cashRegister, field.asString()}, number);
      return number;
    }
    case Rule::RenumberedSale:
      if (const auto* number =
              renumbering_.find({rows.fieldByName("CDFILIAL").asString(),
                                 rows.fieldByName("CDCAIXA").asString(), field.asString()}))
        return *number;
      return {};
    case Rule::Text:
      return textOrNull(field.asString());
    case Rule::Integer:
      return field.asInteger();
    case Rule::Float:
      return field.asFloat();
    case Rule::NullableFloat:
      if (field.isNull() || field.asString().empty()) return {};
      return field.asFloat();
    case Rule::DateTime:
      return dateOrNull(field);
    case Rule::AsIs:
      break;
  }
  db::Value value = field.value();
  if (value.kind() == db::Value::Kind::Text && value.getText().empty()) return {};
  return value;
}

void BulkWriter::InsereDados(std::string_view datasetName, std::string_view table,
                             std::string_view component) {
  db::DataSet* rows = ctx_.rowsOf(datasetName);
  if (rows == nullptr) return;
  db::Connection& conn = ctx_.conn;
  try {
    const auto columns = tableColumns(conn, table);
    ctx_.env.processMessages();
    if (!conn.inTransaction()) conn.begin();

    const ColumnPlan columnPlan = plan(datasetName, columns, *rows);
    std::string names, params;
    for (const auto& column : columns) {
      names += (names.empty() ? "" : ", ") + column;
      params += (params.empty() ? ":P_" : ", :P_") + column;
    }
    db::Statement& insert = conn.prepare("INSERT INTO " + std::string(table) + " (" + names +
                                         ") VALUES (" + params + ")");
    const bool tickRows = is(datasetName, "cdsSALDOCONS");
    std::vector<db::Value> values(columns.size());
    size_t refused = 0;
    for (rows->first(); !rows->eof(); rows->next()) {
      for (size_t c = 0; c < columns.size(); ++c) values[c] = cell(columnPlan, c, *rows);
      try {
        for (size_t c = 0; c < columns.size(); ++c) insert.bind(c, values[c]);
        insert.execute();
      } catch (const db::Error& error) {
        // The row is refused (a key already present, a constraint): skip it, as posting did.
        if (!refusedRow(error)) throw;
        ++refused;
      }
      if (tickRows) ctx_.keepAlive.mantemConexao(false);
    }
    // The table's request date moves past the refused rows: say which table lost how many.
    if (refused > 0)
      ctx_.log("Linhas recusadas na tabela " + std::string(table) + ": " + std::to_string(refused) +
                   " de " + std::to_string(rows->recordCount()),
               "3");
    if (!holdCommit_) conn.commit();
  } catch (const std::exception& error) {
    if (conn.inTransaction()) conn.rollback();
    throw download::ComponentError(std::string(component), error.what());
  }
}

BulkWriter::Together::Together(BulkWriter& writer) : writer_(writer) {
  if (!writer_.ctx_.conn.inTransaction()) writer_.ctx_.conn.begin();
  writer_.holdCommit_ = true;
}

BulkWriter::Together::~Together() {
  writer_.holdCommit_ = false;
  if (done_) return;
  try {
    if (writer_.ctx_.conn.inTransaction()) writer_.ctx_.conn.rollback();
  } catch (const std::exception&) {
    // Unwinding from the failure that is being reported; a failed rollback discards the work
    // all the same.
  }
}

void BulkWriter::Together::commit() {
  writer_.holdCommit_ = false;
  if (writer_.ctx_.conn.inTransaction()) writer_.ctx_.conn.commit();
  done_ = true;
}

bool refusedRow(const db::Error& error) {
  return error.kind() == db::ErrorKind::DuplicateKey || error.kind() == db::ErrorKind::Constraint ||
         error.kind() == db::ErrorKind::Conversion;
}

}  // namespace load
