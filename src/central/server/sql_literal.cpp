#include "central/server/sql_literal.h"

#include <cmath>
#include <stdexcept>

namespace central::server {

void appendSqlLiteral(std::string& out, const db::Value& value) {
  using K = db::Value::Kind;
  switch (value.kind()) {
    case K::Null:
      out += "NULL";
      return;
    case K::Bool:
      out += value.getBool() ? '1' : '0';
      return;
    case K::Int:
      out += std::to_string(value.getInt());
      return;
    case K::Double:
      out += std::isfinite(value.getDouble()) ? value.asText() : "NULL";
      return;
    case K::Text:
      // Line breaks leave the quotes as CHAR(13)/CHAR(10), so each statement stays one line.
      out += '\'';
      for (char c : value.getText()) {
        if (c == '\r' || c == '\n') {
          out += c == '\r' ? "' + CHAR(13) + '" : "' + CHAR(10) + '";
          continue;
        }
        if (c == '\'') out += '\'';
        out += c;
      }
      out += '\'';
      return;
    case K::DateTime:
      out.append("'").append(value.getDateTime().iso()).append("'");
      return;
    case K::Bytes: {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "0x";
      for (uint8_t b : value.getBytes()) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
      }
      return;
    }
    case K::Array:
      throw std::invalid_argument("an array has no SQL literal");
  }
}

}  // namespace central::server
