#include "db/odbc/batch_reader.h"

#include "db/odbc/column_reader.h"

namespace db::odbc {
namespace {

// "[FreeTDS][SQL Server]text" -> "text".
std::string withoutPrefixes(std::string message) {
  size_t start = 0;
  while (start < message.size() && message[start] == '[') {
    const size_t close = message.find(']', start);
    if (close == std::string::npos) break;
    start = close + 1;
  }
  return message.substr(start);
}

ResultSet readResultSet(SQLHSTMT statement, const std::vector<ResultColumn>& columns,
                        const ErrorContext& context) {
  ResultSet set;
  for (const auto& c : columns) set.columns.push_back(c.column);
  for (;;) {
    const SQLRETURN rc = SQLFetch(statement);
    if (rc == SQL_NO_DATA) return set;
    check(rc, SQL_HANDLE_STMT, statement, "Cannot fetch a row", context);
    std::vector<Value> row;
    row.reserve(columns.size());
    for (size_t i = 0; i < columns.size(); ++i)
      row.push_back(readColumn(statement, static_cast<SQLUSMALLINT>(i + 1), columns[i], context));
    set.rows.push_back(std::move(row));
  }
}

}  // namespace

void appendMessages(SQLSMALLINT handleType, SQLHANDLE handle, std::vector<std::string>& out) {
  for (auto& d : readDiagnostics(handleType, handle))
    if (d.state.starts_with("01")) out.push_back(withoutPrefixes(std::move(d.message)));
}

BatchResult readBatch(SQLHSTMT statement, SQLRETURN executed, const ErrorContext& context) {
  BatchResult out;
  SQLRETURN rc = executed;
  while (rc != SQL_NO_DATA) {
    if (rc == SQL_SUCCESS_WITH_INFO) appendMessages(SQL_HANDLE_STMT, statement, out.messages);
    const auto columns = describeColumns(statement, context);
    if (!columns.empty()) {
      out.resultSets.push_back(readResultSet(statement, columns, context));
    } else {
      SQLLEN count = -1;
      check(SQLRowCount(statement, &count), SQL_HANDLE_STMT, statement,
            "Cannot read the rows affected", context);
      if (count >= 0) out.rowsAffected = count;
    }
    rc = SQLMoreResults(statement);
    if (rc != SQL_NO_DATA)
      check(rc, SQL_HANDLE_STMT, statement, "A later statement of the batch failed", context);
  }
  return out;
}

}  // namespace db::odbc
