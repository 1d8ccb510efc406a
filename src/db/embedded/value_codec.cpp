#include "db/embedded/value_codec.h"

#include <sqlite3.h>

#include "db/core/error.h"
#include "db/core/text.h"

namespace db::embedded {

bool isDateType(std::string_view declaredType) {
  const std::string_view t = trim(declaredType);
  return iequals(t, "DATETIME") || iequals(t, "SMALLDATETIME") || iequals(t, "DATE");
}

int bindValue(sqlite3_stmt* stmt, int index, const Value& value) {
  switch (value.kind()) {
    case Value::Kind::Null:
      return sqlite3_bind_null(stmt, index);
    case Value::Kind::Bool:
      return sqlite3_bind_int(stmt, index, value.getBool() ? 1 : 0);
    case Value::Kind::Int:
      return sqlite3_bind_int64(stmt, index, value.getInt());
    case Value::Kind::Double:
      return sqlite3_bind_double(stmt, index, value.getDouble());
    case Value::Kind::Text: {
      const std::string& s = value.getText();
      return sqlite3_bind_text(stmt, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    case Value::Kind::DateTime:
      return sqlite3_bind_double(stmt, index, value.getDateTime().toDays());
    case Value::Kind::Bytes: {
      const Bytes& b = value.getBytes();
      return sqlite3_bind_blob(stmt, index, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
    }
    case Value::Kind::Array:
      break;
  }
  throw Error(ErrorKind::Conversion, "An array cannot be bound as a statement parameter",
              sqlite3_sql(stmt) ? sqlite3_sql(stmt) : "");
}

ColumnRead columnReadFor(std::string_view declaredType) {
  if (isDateType(declaredType)) return ColumnRead::Date;
  const std::string t = upper(trim(declaredType));
  if (t.starts_with("DECIMAL") || t.starts_with("NUMERIC") || t.starts_with("FLOAT") ||
      t == "REAL" || t == "MONEY" || t == "SMALLMONEY")
    return ColumnRead::Decimal;
  return ColumnRead::Plain;
}

void readColumn(sqlite3_stmt* stmt, int column, ColumnRead read, Value& out) {
  const bool isDate = read == ColumnRead::Date;
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
      out = Value();
      return;
    case SQLITE_INTEGER: {
      const int64_t i = sqlite3_column_int64(stmt, column);
      if (isDate)
        out = DateTime(i * DateTime::kMsPerDay);
      else if (read == ColumnRead::Decimal)
        out = static_cast<double>(i);
      else
        out = i;
      return;
    }
    case SQLITE_FLOAT: {
      const double d = sqlite3_column_double(stmt, column);
      out = isDate ? Value(DateTime::fromDays(d)) : Value(d);
      return;
    }
    case SQLITE_TEXT: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
      const std::string_view s(p, static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
      if (isDate) {
        if (auto t = DateTime::parse(s)) {
          out = *t;
          return;
        }
      }
      out = Value(s);
      return;
    }
    default: {
      const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt, column));
      out = Value(Bytes(p, p + sqlite3_column_bytes(stmt, column)));
      return;
    }
  }
}

}  // namespace db::embedded
