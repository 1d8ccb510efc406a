#pragma once

#include <sql.h>
#include <sqlext.h>

#include <vector>

#include "db/core/connection.h"
#include "db/odbc/diagnostics.h"

namespace db::odbc {

struct ResultColumn {
  Column column;  // name and declared type ("VARCHAR(10)", "DECIMAL(17,3)", "DATETIME")
  SQLSMALLINT sqlType = SQL_UNKNOWN_TYPE;
  SQLULEN size = 0;
  SQLSMALLINT digits = 0;
};

// Describes the columns of the statement's current result set.
std::vector<ResultColumn> describeColumns(SQLHSTMT statement, const ErrorContext& context);

// Reads column `number` (1-based) of the current row as the value kind its SQL type calls for.
Value readColumn(SQLHSTMT statement, SQLUSMALLINT number, const ResultColumn& column,
                 const ErrorContext& context);

}  // namespace db::odbc
