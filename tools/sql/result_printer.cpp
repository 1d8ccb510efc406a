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

void printRows(db::Rows& rows, std::ostream& out) {
  const auto& columns = rows.columns();
  for (size_t i = 0; i < columns.size(); ++i) out << (i ? "\t" : "") << columns[i].name;
  out << '\n';
  while (rows.next()) {
    for (size_t i = 0; i < columns.size(); ++i) out << (i ? "\t" : "") << formatValue(rows.at(i));
    out << '\n';
  }
}

}  // namespace kivtab_sql
