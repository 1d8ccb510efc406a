#include "load/load_context.h"

#include "load/load_sql.h"

namespace load {

db::DataSet* LoadContext::rowsOf(std::string_view datasetName) const {
  db::DataSet* dataSet = state.findDataset(datasetName);
  if (dataSet == nullptr || !dataSet->active() || dataSet->isEmpty()) return nullptr;
  return dataSet;
}

std::string withTable(std::string_view sql, std::string_view table) {
  std::string text(sql);
  const size_t at = text.find("{T}");
  if (at != std::string::npos) text.replace(at, 3, table);
  return text;
}

std::vector<std::string> tableColumns(db::Connection& conn, std::string_view table) {
  auto rows = conn.query(withTable(sql::kSelectNone, table));
  std::vector<std::string> names;
  for (const auto& column : rows->columns()) names.push_back(column.name);
  return names;
}

db::Value scalar(db::Connection& conn, std::string_view sql, const db::Params& params) {
  auto rows = conn.query(sql, params);
  return rows->next() ? rows->at(0) : db::Value();
}

db::Value greatestOf(db::DataSet& dataSet, std::string_view column) {
  db::Field field = dataSet.fieldByName(column);
  db::Value greatest;
  for (dataSet.first(); !dataSet.eof(); dataSet.next()) {
    if (field.isNull()) continue;
    const db::DateTime value = field.asDateTime();
    if (greatest.isNull() || value > greatest.getDateTime()) greatest = value;
  }
  dataSet.first();
  return greatest;
}

}  // namespace load
