#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <string_view>
#include <vector>

#include "db/core/connection.h"

namespace db::odbc {

// The text that calls a stored procedure with parameter markers: the ODBC call escape
// "{? = call name(?, ?)}" when every argument is positional, else "EXEC ? = name ?, @b = ?
// OUTPUT" (named arguments have no place in the escape). Marker 1 is the return value, then one
// per argument in order. Throws db::Error for a name or argument name that is not an identifier,
// and for a positional argument after a named one (as SQL Server refuses it).
std::string procedureCallText(std::string_view name, const std::vector<ProcedureArgument>& args);

// Calls the procedure on `connection` and reads everything it returned.
ProcedureResult callProcedure(SQLHDBC connection, std::string_view name,
                              const std::vector<ProcedureArgument>& args,
                              const std::string& secret);

}  // namespace db::odbc
