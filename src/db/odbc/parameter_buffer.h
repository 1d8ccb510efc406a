#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <string>

#include "db/core/value.h"

namespace db::odbc {

// Beyond this many bytes SQL Server wants the long (MAX) variants of text and binary types.
inline constexpr SQLULEN kLongDataThreshold = 8000;
// How a timestamp parameter is declared: "yyyy-mm-dd hh:mm:ss.fff", to the millisecond.
inline constexpr SQLULEN kTimestampColumnSize = 23;
inline constexpr SQLSMALLINT kTimestampDigits = 3;
// Room for an OUTPUT text: SQL Server's longest VARCHAR short of MAX.
inline constexpr SQLLEN kOutputTextBytes = 8000;

// The storage behind one bound parameter. The driver keeps pointers into it between binding and
// execution, so a buffer must stay where it is while its statement runs.
class ParameterBuffer {
 public:
  // Copies the value in, for an input parameter. Throws db::Error(ErrorKind::Conversion) for an
  // array.
  void set(const Value& value);
  // Copies the value in, for an OUTPUT parameter: bound for input and output, with room for what
  // comes back in the type the input has (a bit comes back as an integer; a NULL, a text or bytes
  // as a text of up to kOutputTextBytes).
  void setOutput(const Value& value);
  // What an OUTPUT parameter holds once every result of its statement has been read.
  Value output() const;
  bool isSet() const { return set_; }
  // Binds the buffer as parameter `number` (1-based) of `statement`; returns the driver's code.
  SQLRETURN bindTo(SQLHSTMT statement, SQLUSMALLINT number);

 private:
  bool set_ = false;
  bool output_ = false;
  Value::Kind kind_ = Value::Kind::Null;
  int64_t integer_ = 0;
  double real_ = 0;
  unsigned char bit_ = 0;
  SQL_TIMESTAMP_STRUCT timestamp_{};
  std::string text_;
  Bytes bytes_;
  SQLLEN indicator_ = 0;
};

// SQL's timestamp structure and back, to the millisecond.
SQL_TIMESTAMP_STRUCT toTimestamp(DateTime t);
DateTime fromTimestamp(const SQL_TIMESTAMP_STRUCT& t);

}  // namespace db::odbc
