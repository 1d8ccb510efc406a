#include "download/query_rows.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "db/core/text.h"

namespace download {
namespace {

constexpr int kDefaultTextWidth = 255;

int declaredWidth(std::string_view declared) {
  const auto open = declared.find('(');
  if (open == std::string_view::npos) return kDefaultTextWidth;
  // "(MAX)" is declared "(-1)" by the embedded engine and written out by others.
  try {
    const int width = std::stoi(std::string(declared.substr(open + 1)));
    return width > 0 ? width : kDefaultTextWidth;
  } catch (const std::exception&) {
    return kDefaultTextWidth;
  }
}

std::optional<db::FieldDef> fromDeclared(const db::Column& column) {
  const std::string type = db::upper(column.declaredType);
  auto has = [&type](const char* part) { return type.find(part) != std::string::npos; };
  using T = db::FieldType;
  if (has("CHAR") || has("TEXT")) return db::makeField(column.name, T::String, declaredWidth(type));
  if (has("DATE") || has("TIME")) return db::makeField(column.name, T::DateTime);
  if (has("BIGINT")) return db::makeField(column.name, T::Int64);
  if (has("SMALLINT") || has("TINYINT")) return db::makeField(column.name, T::Int16);
  if (has("INT")) return db::makeField(column.name, T::Int32);
  if (has("BIT")) return db::makeField(column.name, T::Boolean);
  if (has("DEC") || has("NUM") || has("FLOAT") || has("REAL") || has("MONEY") || has("DOUBLE"))
    return db::makeField(column.name, T::Float);
  return std::nullopt;
}

db::FieldDef fromValues(const std::string& name, const std::vector<std::vector<db::Value>>& rows,
                        size_t index) {
  using T = db::FieldType;
  size_t width = 1;
  for (const auto& row : rows) {
    const db::Value& v = row[index];
    switch (v.kind()) {
      case db::Value::Kind::Null:
        continue;
      case db::Value::Kind::Bool:
        return db::makeField(name, T::Boolean);
      case db::Value::Kind::Int:
        return db::makeField(name, T::Int64);
      case db::Value::Kind::Double:
        return db::makeField(name, T::Float);
      case db::Value::Kind::DateTime:
        return db::makeField(name, T::DateTime);
      case db::Value::Kind::Text:
        width = std::max(width, v.getText().size());
        continue;
      default:
        return db::makeField(name, T::Blob);
    }
  }
  return db::makeField(name, T::String, static_cast<int>(width));
}

}  // namespace

void copyRowsInto(db::Rows& rows, db::DataSet& target) {
  std::vector<std::vector<db::Value>> values;
  const size_t width = rows.columns().size();
  while (rows.next()) {
    auto& row = values.emplace_back();
    row.reserve(width);
    for (size_t i = 0; i < width; ++i) row.push_back(rows.at(i));
  }
  std::vector<db::FieldDef> fields;
  for (size_t i = 0; i < width; ++i) {
    const db::Column& column = rows.columns()[i];
    auto declared = fromDeclared(column);
    fields.push_back(declared ? *declared : fromValues(column.name, values, i));
  }
  target.close();
  target.createDataSet(std::move(fields));
  for (const auto& row : values) target.appendRecord(row);
}

}  // namespace download
