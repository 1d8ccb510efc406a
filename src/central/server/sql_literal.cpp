#include "central/server/sql_literal.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace central::server {

std::string sqlLiteral(const db::Value& value) {
  using K = db::Value::Kind;
  switch (value.kind()) {
    case K::Null:
      return "NULL";
    case K::Bool:
      return value.getBool() ? "1" : "0";
    case K::Int:
      return std::to_string(value.getInt());
    case K::Double: {
      double d = value.getDouble();
      if (!std::isfinite(d)) return "NULL";
      return value.asText();
    }
    case K::Text: {
      // Line breaks leave the quotes as CHAR(13)/CHAR(10), so each statement stays one line.
      std::string out = "'";
      for (char c : value.getText()) {
        if (c == '\r' || c == '\n') {
          out += c == '\r' ? "' + CHAR(13) + '" : "' + CHAR(10) + '";
          continue;
        }
        if (c == '\'') out += '\'';
        out += c;
      }
      return out + "'";
    }
    case K::DateTime:
      return "'" + value.getDateTime().iso() + "'";
    case K::Bytes: {
      static constexpr char kHex[] = "0123456789ABCDEF";
      std::string out = "0x";
      for (uint8_t b : value.getBytes()) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
      }
      return out;
    }
    case K::Array:
      throw std::invalid_argument("an array has no SQL literal");
  }
  return "NULL";
}

}  // namespace central::server
