#include "download/anticipation_rows.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace download {
namespace {

constexpr int kDefaultTextWidth = 255;

std::string upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return out;
}

db::FieldDef fieldFor(const db::Column& column) {
  const std::string type = upper(column.declaredType);
  const std::string base = type.substr(0, type.find('('));
  db::FieldDef def;
  def.name = column.name;
  if (base == "DATETIME" || base == "SMALLDATETIME" || base == "DATE") {
    def.type = db::FieldType::DateTime;
  } else if (base == "INT" || base == "INTEGER" || base == "SMALLINT" || base == "TINYINT") {
    def.type = db::FieldType::Int32;
  } else if (base == "BIGINT") {
    def.type = db::FieldType::Int64;
  } else if (base == "DECIMAL" || base == "NUMERIC" || base == "FLOAT" || base == "REAL" ||
             base == "MONEY") {
    def.type = db::FieldType::Float;
  } else {
    def.type = db::FieldType::String;
    const size_t open = type.find('(');
    def.size = kDefaultTextWidth;
    if (open != std::string::npos) {
      const int width = std::atoi(type.c_str() + open + 1);
      if (width > 0) def.size = width;
    }
  }
  return def;
}

}  // namespace

void copyRowsInto(db::Rows& rows, db::DataSet& target) {
  std::vector<db::FieldDef> fields;
  for (const auto& column : rows.columns()) fields.push_back(fieldFor(column));
  target.close();
  target.createDataSet(fields);
  std::vector<db::Value> values(fields.size());
  while (rows.next()) {
    for (size_t i = 0; i < values.size(); ++i) values[i] = rows.at(i);
    target.appendRecord(values);
  }
}

ReceivedRows receivedRowsOf(db::DataSet& dataSet) {
  ReceivedRows received;
  for (const auto& def : dataSet.fieldDefs()) received.fields.push_back(def.name);
  for (dataSet.first(); !dataSet.eof(); dataSet.next()) {
    std::vector<db::Value> row;
    for (size_t i = 0; i < dataSet.fieldCount(); ++i) row.push_back(dataSet.field(i).value());
    received.rows.push_back(std::move(row));
  }
  dataSet.first();
  return received;
}

}  // namespace download
