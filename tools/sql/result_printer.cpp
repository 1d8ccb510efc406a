#include "result_printer.h"

namespace kivtab_sql {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string escapeText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string formatValue(const db::Value& value) {
  switch (value.kind()) {
    case db::Value::Kind::Null:
      return "NULL";
    case db::Value::Kind::Bool:
      return value.getBool() ? "1" : "0";
    case db::Value::Kind::Text:
      return escapeText(value.getText());
    case db::Value::Kind::Bytes: {
      std::string out = "0x";
      for (uint8_t b : value.getBytes()) {
        out += kHexDigits[b >> 4];
        out += kHexDigits[b & 0x0F];
      }
      return out;
    }
    case db::Value::Kind::Array: {
      std::string out = "(";
      for (const auto& item : value.getArray())
        out += (out.size() > 1 ? "," : "") + formatValue(item);
      return out + ")";
    }
    default:
      return value.asText();
  }
}

namespace {

void printHeader(const std::vector<db::Column>& columns, std::ostream& out) {
  for (size_t i = 0; i < columns.size(); ++i) out << (i ? "\t" : "") << columns[i].name;
  out << '\n';
}

}  // namespace

void printRows(db::Rows& rows, std::ostream& out) {
  const auto& columns = rows.columns();
  printHeader(columns, out);
  while (rows.next()) {
    for (size_t i = 0; i < columns.size(); ++i) out << (i ? "\t" : "") << formatValue(rows.at(i));
    out << '\n';
  }
}

void printResultSet(const db::ResultSet& set, std::ostream& out) {
  printHeader(set.columns, out);
  for (const auto& row : set.rows) {
    for (size_t i = 0; i < row.size(); ++i) out << (i ? "\t" : "") << formatValue(row[i]);
    out << '\n';
  }
}

void printBatch(const db::BatchResult& batch, std::ostream& out) {
  for (const auto& set : batch.resultSets) printResultSet(set, out);
  for (const auto& message : batch.messages) out << message << '\n';
}

}  // namespace kivtab_sql
