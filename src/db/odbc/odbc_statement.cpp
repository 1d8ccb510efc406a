#include "db/odbc/odbc_statement.h"

#include "db/odbc/batch_reader.h"
#include "db/odbc/buffered_rows.h"
#include "db/odbc/column_reader.h"

namespace db::odbc {

OdbcStatement::OdbcStatement(SQLHDBC connection, std::string text, Mode mode, std::string secret)
    : context_{std::move(text), std::move(secret)},
      marked_(markParameters(context_.statement)),
      mode_(mode) {
  SQLHANDLE statement = SQL_NULL_HANDLE;
  check(SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement), SQL_HANDLE_DBC, connection,
        "Cannot allocate a statement", context_);
  handle_ = Handle(SQL_HANDLE_STMT, statement);
  parameters_.resize(marked_.names.size());
  if (mode_ == Mode::Prepared) {
    auto* sql = reinterpret_cast<SQLCHAR*>(marked_.text.data());
    check(SQLPrepare(handle_.get(), sql, static_cast<SQLINTEGER>(marked_.text.size())),
          SQL_HANDLE_STMT, handle_.get(), "Cannot prepare the statement", context_);
  }
}

void OdbcStatement::bind(size_t index, const Value& value) {
  if (index >= parameters_.size())
    throw Error(ErrorKind::General, "Parameter index " + std::to_string(index) + " out of range",
                context_.statement);
  try {
    parameters_[index].set(value);
  } catch (const Error& e) {
    throw Error(e.kind(), "Parameter '" + marked_.names[index] + "': " + e.what(),
                context_.statement);
  }
}

SQLRETURN OdbcStatement::run() {
  for (size_t i = 0; i < parameters_.size(); ++i)
    if (!parameters_[i].isSet())
      throw Error(ErrorKind::General, "Parameter '" + marked_.names[i] + "' has no value",
                  context_.statement);
  for (size_t m = 0; m < marked_.markers.size(); ++m)
    check(parameters_[marked_.markers[m]].bindTo(handle_.get(), static_cast<SQLUSMALLINT>(m + 1)),
          SQL_HANDLE_STMT, handle_.get(),
          "Cannot bind parameter '" + marked_.names[marked_.markers[m]] + "'", context_);
  SQLRETURN rc;
  if (mode_ == Mode::Prepared) {
    rc = SQLExecute(handle_.get());
  } else {
    auto* sql = reinterpret_cast<SQLCHAR*>(marked_.text.data());
    rc = SQLExecDirect(handle_.get(), sql, static_cast<SQLINTEGER>(marked_.text.size()));
  }
  if (rc == SQL_NO_DATA || SQL_SUCCEEDED(rc)) return rc;
  try {
    raise(SQL_HANDLE_STMT, handle_.get(), "Statement failed", context_);
  } catch (...) {
    closeCursor();
    throw;
  }
}

BatchResult OdbcStatement::batch() {
  const SQLRETURN rc = run();
  try {
    BatchResult out = readBatch(handle_.get(), rc, context_);
    closeCursor();
    return out;
  } catch (...) {
    closeCursor();
    throw;
  }
}

void OdbcStatement::drainResults() {
  for (;;) {
    const SQLRETURN rc = SQLMoreResults(handle_.get());
    if (rc == SQL_NO_DATA) return;
    check(rc, SQL_HANDLE_STMT, handle_.get(), "A later statement of the batch failed", context_);
  }
}

void OdbcStatement::closeCursor() { SQLFreeStmt(handle_.get(), SQL_CLOSE); }

int64_t OdbcStatement::execute() {
  run();
  try {
    SQLLEN count = 0;
    check(SQLRowCount(handle_.get(), &count), SQL_HANDLE_STMT, handle_.get(),
          "Cannot read the rows affected", context_);
    drainResults();
    closeCursor();
    return count < 0 ? 0 : static_cast<int64_t>(count);
  } catch (...) {
    closeCursor();
    throw;
  }
}

std::unique_ptr<Rows> OdbcStatement::query() {
  run();
  try {
    // Row counts of a batch come before its result set; skip them.
    auto columns = describeColumns(handle_.get(), context_);
    while (columns.empty()) {
      const SQLRETURN rc = SQLMoreResults(handle_.get());
      if (rc == SQL_NO_DATA) break;
      check(rc, SQL_HANDLE_STMT, handle_.get(), "A later statement of the batch failed", context_);
      columns = describeColumns(handle_.get(), context_);
    }
    std::vector<Column> names;
    names.reserve(columns.size());
    for (const auto& c : columns) names.push_back(c.column);
    auto rows = std::make_unique<BufferedRows>(std::move(names));
    if (!columns.empty()) {
      for (;;) {
        const SQLRETURN rc = SQLFetch(handle_.get());
        if (rc == SQL_NO_DATA) break;
        check(rc, SQL_HANDLE_STMT, handle_.get(), "Cannot fetch a row", context_);
        std::vector<Value> row;
        row.reserve(columns.size());
        for (size_t i = 0; i < columns.size(); ++i)
          row.push_back(
              readColumn(handle_.get(), static_cast<SQLUSMALLINT>(i + 1), columns[i], context_));
        rows->append(std::move(row));
      }
      drainResults();
    }
    closeCursor();
    return rows;
  } catch (...) {
    closeCursor();
    throw;
  }
}

}  // namespace db::odbc
