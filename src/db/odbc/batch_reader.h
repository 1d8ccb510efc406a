#pragma once

#include <sql.h>
#include <sqlext.h>

#include "db/core/connection.h"
#include "db/odbc/diagnostics.h"

namespace db::odbc {

// Reads everything an executed batch produced, from the result `executed` of SQLExecute or
// SQLExecDirect on: every result set in full (SQLMoreResults between them), the rows affected by
// the last statement that counts them, and the informational messages (PRINT) in order.
BatchResult readBatch(SQLHSTMT statement, SQLRETURN executed, const ErrorContext& context);

// The informational messages of a handle's last call, without the driver's "[vendor][...]"
// prefixes.
void appendMessages(SQLSMALLINT handleType, SQLHANDLE handle, std::vector<std::string>& out);

}  // namespace db::odbc
