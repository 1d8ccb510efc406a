#include "db/odbc/parameter_buffer.h"

#include <algorithm>
#include <stdexcept>

#include "db/core/error.h"

namespace db::odbc {
namespace {

constexpr int kNanosPerMilli = 1'000'000;

}  // namespace

SQL_TIMESTAMP_STRUCT toTimestamp(DateTime t) {
  const auto p = t.parts();
  SQL_TIMESTAMP_STRUCT ts{};
  ts.year = static_cast<SQLSMALLINT>(p.year);
  ts.month = static_cast<SQLUSMALLINT>(p.month);
  ts.day = static_cast<SQLUSMALLINT>(p.day);
  ts.hour = static_cast<SQLUSMALLINT>(p.hour);
  ts.minute = static_cast<SQLUSMALLINT>(p.minute);
  ts.second = static_cast<SQLUSMALLINT>(p.second);
  ts.fraction = static_cast<SQLUINTEGER>(p.millisecond) * kNanosPerMilli;
  return ts;
}

DateTime fromTimestamp(const SQL_TIMESTAMP_STRUCT& ts) {
  // Round the nanoseconds; SQL Server's 1/300 s ticks arrive as e.g. .996666667.
  const int64_t ms = (static_cast<int64_t>(ts.fraction) + kNanosPerMilli / 2) / kNanosPerMilli;
  try {
    return DateTime::fromParts(ts.year, ts.month, ts.day, ts.hour, ts.minute, ts.second).addMs(ms);
  } catch (const std::invalid_argument& e) {
    throw Error(ErrorKind::Conversion, std::string("the driver returned an ") + e.what());
  }
}

void ParameterBuffer::set(const Value& value) {
  output_ = false;
  kind_ = value.kind();
  indicator_ = 0;
  switch (kind_) {
    case Value::Kind::Null:
      indicator_ = SQL_NULL_DATA;
      break;
    case Value::Kind::Bool:
      bit_ = value.getBool() ? 1 : 0;
      break;
    case Value::Kind::Int:
      integer_ = value.getInt();
      break;
    case Value::Kind::Double:
      real_ = value.getDouble();
      break;
    case Value::Kind::Text:
      text_ = value.getText();
      indicator_ = static_cast<SQLLEN>(text_.size());
      break;
    case Value::Kind::DateTime:
      timestamp_ = toTimestamp(value.getDateTime());
      break;
    case Value::Kind::Bytes:
      bytes_ = value.getBytes();
      indicator_ = static_cast<SQLLEN>(bytes_.size());
      break;
    case Value::Kind::Array:
      throw Error(ErrorKind::Conversion, "an array cannot be a statement parameter");
  }
  set_ = true;
}

void ParameterBuffer::setOutput(const Value& value) {
  switch (value.kind()) {
    case Value::Kind::Int:
    case Value::Kind::Double:
    case Value::Kind::DateTime:
      set(value);
      break;
    case Value::Kind::Bool:
      set(Value(int64_t{value.getBool() ? 1 : 0}));
      break;
    default:
      kind_ = Value::Kind::Text;
      text_.assign(static_cast<size_t>(kOutputTextBytes) + 1, '\0');
      indicator_ = SQL_NULL_DATA;
      if (!value.isNull()) {
        const std::string input = value.asText();
        const size_t kept = std::min(input.size(), static_cast<size_t>(kOutputTextBytes));
        text_.replace(0, kept, input, 0, kept);
        indicator_ = static_cast<SQLLEN>(kept);
      }
      set_ = true;
  }
  output_ = true;
}

Value ParameterBuffer::output() const {
  if (indicator_ == SQL_NULL_DATA) return Value();
  switch (kind_) {
    case Value::Kind::Int:
      return Value(integer_);
    case Value::Kind::Double:
      return Value(real_);
    case Value::Kind::DateTime:
      return Value(fromTimestamp(timestamp_));
    default:
      return Value(std::string(
          text_.c_str(), std::min<size_t>(static_cast<size_t>(indicator_), text_.size() - 1)));
  }
}

SQLRETURN ParameterBuffer::bindTo(SQLHSTMT statement, SQLUSMALLINT number) {
  SQLSMALLINT cType = SQL_C_CHAR;
  SQLSMALLINT sqlType = SQL_VARCHAR;
  SQLULEN size = 1;
  SQLSMALLINT digits = 0;
  SQLPOINTER data = nullptr;
  SQLLEN capacity = 0;
  switch (kind_) {
    case Value::Kind::Null:
    case Value::Kind::Array:
      data = text_.data();
      break;
    case Value::Kind::Bool:
      cType = SQL_C_BIT;
      sqlType = SQL_BIT;
      data = &bit_;
      break;
    case Value::Kind::Int:
      cType = SQL_C_SBIGINT;
      sqlType = SQL_BIGINT;
      size = 19;
      data = &integer_;
      break;
    case Value::Kind::Double:
      cType = SQL_C_DOUBLE;
      sqlType = SQL_DOUBLE;
      size = 15;
      data = &real_;
      break;
    case Value::Kind::Text:
      if (output_) {
        size = kOutputTextBytes;
        data = text_.data();
        capacity = kOutputTextBytes + 1;
        break;
      }
      size = std::max<SQLULEN>(text_.size(), 1);
      sqlType = size > kLongDataThreshold ? SQL_LONGVARCHAR : SQL_VARCHAR;
      data = text_.data();
      capacity = static_cast<SQLLEN>(text_.size());
      break;
    case Value::Kind::DateTime:
      cType = SQL_C_TYPE_TIMESTAMP;
      sqlType = SQL_TYPE_TIMESTAMP;
      size = kTimestampColumnSize;
      digits = kTimestampDigits;
      data = &timestamp_;
      break;
    case Value::Kind::Bytes:
      cType = SQL_C_BINARY;
      size = std::max<SQLULEN>(bytes_.size(), 1);
      sqlType = size > kLongDataThreshold ? SQL_LONGVARBINARY : SQL_VARBINARY;
      data = bytes_.data();
      capacity = static_cast<SQLLEN>(bytes_.size());
      break;
  }
  const SQLSMALLINT direction = output_ ? SQL_PARAM_INPUT_OUTPUT : SQL_PARAM_INPUT;
  return SQLBindParameter(statement, number, direction, cType, sqlType, size, digits, data,
                          capacity, &indicator_);
}

}  // namespace db::odbc
