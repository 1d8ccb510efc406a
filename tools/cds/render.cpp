#include "render.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "db/core/base64.h"

namespace cds {
namespace {

using Json = nlohmann::ordered_json;

double fifteenDigits(double v) {
  char b[40];
  std::snprintf(b, sizeof b, "%.15g", v);
  return std::strtod(b, nullptr);
}

std::string isoMs(db::DateTime t) {
  const db::DateTime::Parts p = t.parts();
  char b[32];
  std::snprintf(b, sizeof b, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", p.year, p.month, p.day, p.hour,
                p.minute, p.second, p.millisecond);
  return b;
}

Json rowsJson(db::DataSet& ds);

Json valueJson(db::DataSet& ds, const db::Field& field) {
  if (field.type() == db::FieldType::Nested) return rowsJson(ds.nested(field.name()));
  const db::Value v = field.value();
  switch (v.kind()) {
    case db::Value::Kind::Null:
      return nullptr;
    case db::Value::Kind::Bool:
      return v.getBool();
    case db::Value::Kind::Int:
      return v.getInt();
    case db::Value::Kind::Double:
      return fifteenDigits(v.getDouble());
    case db::Value::Kind::Text:
      return v.getText();
    case db::Value::Kind::DateTime:
      return isoMs(v.getDateTime());
    case db::Value::Kind::Bytes:
      return db::base64Encode(v.getBytes());
    case db::Value::Kind::Array:
      return v.asText();
  }
  return nullptr;
}

Json rowsJson(db::DataSet& ds) {
  Json rows = Json::array();
  std::vector<db::Field> fields;
  for (size_t f = 0; f < ds.fieldCount(); ++f) fields.push_back(ds.field(f));
  for (ds.first(); !ds.eof(); ds.next()) {
    Json row = Json::object();
    for (const db::Field& field : fields) row[field.name()] = valueJson(ds, field);
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string csvCell(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string renderJson(db::DataSet& dataSet) {
  Json doc = Json::object();
  Json fields = Json::array();
  for (const db::FieldDef& def : dataSet.fieldDefs()) {
    fields.push_back(Json{{"name", def.name},
                          {"type", std::string(db::fieldTypeName(def.type))},
                          {"size", def.size}});
  }
  doc["fields"] = std::move(fields);
  doc["rows"] = rowsJson(dataSet);
  return doc.dump(1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string renderCsv(db::DataSet& dataSet) {
  std::string out;
  std::vector<db::Field> fields;
  for (size_t f = 0; f < dataSet.fieldCount(); ++f) fields.push_back(dataSet.field(f));
  for (size_t f = 0; f < fields.size(); ++f) out += (f ? "," : "") + csvCell(fields[f].name());
  out += "\r\n";
  for (dataSet.first(); !dataSet.eof(); dataSet.next()) {
    for (size_t f = 0; f < fields.size(); ++f) {
      const Json v = valueJson(dataSet, fields[f]);
      std::string cell = v.is_null() ? "" : (v.is_string() ? v.get<std::string>() : v.dump());
      out += (f ? "," : "") + csvCell(cell);
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace cds
