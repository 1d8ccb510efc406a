#pragma once

#include <ostream>
#include <string>

#include "db/core/connection.h"

namespace kivtab_sql {

// A field as the shell prints it: NULL as "NULL", date-times as "YYYY-MM-DD HH:MM:SS.mmm",
// booleans as 1/0, bytes as 0x and hex digits. In texts a backslash, tab, line feed and carriage
// return are written \\, \t, \n and \r so that every row stays one line of tab-separated fields.
std::string formatValue(const db::Value& value);

// A header line of column names, then one line per row.
void printRows(db::Rows& rows, std::ostream& out);
void printResultSet(const db::ResultSet& set, std::ostream& out);

// What a batch produced: each result set as printRows prints it, then its messages, one a line.
void printBatch(const db::BatchResult& batch, std::ostream& out);

}  // namespace kivtab_sql
