#pragma once

#include <cstdint>
#include <string_view>

#include "db/core/value.h"

struct sqlite3_stmt;

namespace db::embedded {

// True for the declared types whose values are date-times held as REAL days since the zero date.
bool isDateType(std::string_view declaredType);

// Binds `value` to parameter `index` (1-based). Date-times become REAL days since 1899-12-30,
// booleans 0/1, bytes a blob. Arrays cannot be bound (db::Error, Conversion). Returns the SQLite
// result code.
int bindValue(sqlite3_stmt* stmt, int index, const Value& value);

// How a result column's stored values are read back, from its declared type.
enum class ColumnRead : uint8_t {
  Plain,    // by storage class
  Date,     // DATETIME, SMALLDATETIME, DATE: numbers are days since the zero date, texts parsed
  Decimal,  // DECIMAL, NUMERIC, FLOAT, REAL, MONEY: always a double, even when stored whole
};

ColumnRead columnReadFor(std::string_view declaredType);

// Reads column `column` of the current row into `out`.
void readColumn(sqlite3_stmt* stmt, int column, ColumnRead read, Value& out);

}  // namespace db::embedded
