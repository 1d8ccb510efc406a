#include "db/odbc/column_reader.h"

#include <array>
#include <charconv>
#include <string>

#include "db/core/text.h"
#include "db/odbc/parameter_buffer.h"

namespace db::odbc {
namespace {

constexpr size_t kChunkSize = 8192;

enum class ReadAs { Text, Bit, Integer, Real, Decimal, Timestamp, Binary };

ReadAs readAsFor(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_BIT:
      return ReadAs::Bit;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return ReadAs::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return ReadAs::Real;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return ReadAs::Decimal;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_DATETIME:
    case SQL_TIMESTAMP:
      return ReadAs::Timestamp;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return ReadAs::Binary;
    default:
      return ReadAs::Text;
  }
}

// Type names that carry a length, or a precision and scale, in a declaration.
constexpr std::array<std::string_view, 6> kSizedTypes{"CHAR",     "VARCHAR", "NCHAR",
                                                      "NVARCHAR", "BINARY",  "VARBINARY"};
constexpr std::array<std::string_view, 2> kScaledTypes{"DECIMAL", "NUMERIC"};

template <size_t N>
bool contains(const std::array<std::string_view, N>& names, std::string_view name) {
  for (auto n : names)
    if (n == name) return true;
  return false;
}

std::string declaredType(std::string typeName, const ResultColumn& c) {
  typeName = upper(trim(typeName));
  if (typeName.empty() || typeName.find('(') != std::string::npos) return typeName;
  if (contains(kSizedTypes, typeName)) {
    const bool isMax = c.size == 0 || c.size > kLongDataThreshold;
    return typeName + "(" + (isMax ? std::string("MAX") : std::to_string(c.size)) + ")";
  }
  if (contains(kScaledTypes, typeName))
    return typeName + "(" + std::to_string(c.size) + "," + std::to_string(c.digits) + ")";
  return typeName;
}

// Reads a text or binary column in chunks; nothing when it is NULL.
template <typename Out>
bool readLong(SQLHSTMT statement, SQLUSMALLINT number, SQLSMALLINT cType, Out& out,
              const ErrorContext& context) {
  std::array<char, kChunkSize> chunk;
  // SQL_C_CHAR writes a terminating zero into every chunk.
  const size_t usable = cType == SQL_C_CHAR ? chunk.size() - 1 : chunk.size();
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(statement, number, cType, chunk.data(),
                                    static_cast<SQLLEN>(chunk.size()), &indicator);
    if (rc == SQL_NO_DATA) return true;
    check(rc, SQL_HANDLE_STMT, statement, "Cannot read column " + std::to_string(number), context);
    if (indicator == SQL_NULL_DATA) return false;
    const bool more = indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) > usable;
    const size_t got = more ? usable : static_cast<size_t>(indicator);
    out.insert(out.end(), chunk.data(), chunk.data() + got);
    if (!more) return true;
  }
}

template <typename T>
bool readFixed(SQLHSTMT statement, SQLUSMALLINT number, SQLSMALLINT cType, T& out,
               const ErrorContext& context) {
  SQLLEN indicator = 0;
  check(SQLGetData(statement, number, cType, &out, sizeof out, &indicator), SQL_HANDLE_STMT,
        statement, "Cannot read column " + std::to_string(number), context);
  return indicator != SQL_NULL_DATA;
}

Value decimalValue(const std::string& text, SQLSMALLINT scale, const ErrorContext& context) {
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  if (scale == 0) {
    int64_t i = 0;
    auto [p, ec] = std::from_chars(begin, end, i);
    if (ec == std::errc() && p == end) return Value(i);
  }
  double d = 0;
  auto [p, ec] = std::from_chars(begin, end, d);
  if (ec != std::errc() || p != end)
    throw Error(ErrorKind::Conversion, "the driver returned '" + text + "' for a decimal column",
                context.statement);
  return Value(d);
}

}  // namespace

std::vector<ResultColumn> describeColumns(SQLHSTMT statement, const ErrorContext& context) {
  SQLSMALLINT count = 0;
  check(SQLNumResultCols(statement, &count), SQL_HANDLE_STMT, statement,
        "Cannot describe the result", context);
  std::vector<ResultColumn> columns(static_cast<size_t>(count));
  for (SQLSMALLINT i = 0; i < count; ++i) {
    auto& c = columns[static_cast<size_t>(i)];
    std::array<SQLCHAR, 512> name{};
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT nullable = 0;
    check(SQLDescribeCol(statement, static_cast<SQLUSMALLINT>(i + 1), name.data(),
                         static_cast<SQLSMALLINT>(name.size()), &nameLength, &c.sqlType, &c.size,
                         &c.digits, &nullable),
          SQL_HANDLE_STMT, statement, "Cannot describe column " + std::to_string(i + 1), context);
    c.column.name = reinterpret_cast<const char*>(name.data());
    std::array<char, 256> typeName{};
    SQLSMALLINT typeLength = 0;
    if (SQL_SUCCEEDED(SQLColAttribute(
            statement, static_cast<SQLUSMALLINT>(i + 1), SQL_DESC_TYPE_NAME, typeName.data(),
            static_cast<SQLSMALLINT>(typeName.size()), &typeLength, nullptr)))
      c.column.declaredType = declaredType(typeName.data(), c);
  }
  return columns;
}

Value readColumn(SQLHSTMT statement, SQLUSMALLINT number, const ResultColumn& column,
                 const ErrorContext& context) {
  switch (readAsFor(column.sqlType)) {
    case ReadAs::Bit: {
      unsigned char bit = 0;
      return readFixed(statement, number, SQL_C_BIT, bit, context) ? Value(bit != 0) : Value();
    }
    case ReadAs::Integer: {
      int64_t i = 0;
      return readFixed(statement, number, SQL_C_SBIGINT, i, context) ? Value(i) : Value();
    }
    case ReadAs::Real: {
      double d = 0;
      return readFixed(statement, number, SQL_C_DOUBLE, d, context) ? Value(d) : Value();
    }
    case ReadAs::Timestamp: {
      SQL_TIMESTAMP_STRUCT ts{};
      return readFixed(statement, number, SQL_C_TYPE_TIMESTAMP, ts, context)
                 ? Value(fromTimestamp(ts))
                 : Value();
    }
    case ReadAs::Binary: {
      Bytes bytes;
      return readLong(statement, number, SQL_C_BINARY, bytes, context) ? Value(std::move(bytes))
                                                                       : Value();
    }
    case ReadAs::Decimal: {
      std::string text;
      if (!readLong(statement, number, SQL_C_CHAR, text, context)) return Value();
      return decimalValue(std::string(trim(text)), column.digits, context);
    }
    case ReadAs::Text:
      break;
  }
  std::string text;
  return readLong(statement, number, SQL_C_CHAR, text, context) ? Value(std::move(text)) : Value();
}

}  // namespace db::odbc
