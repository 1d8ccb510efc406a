#include "db/embedded/select_into.h"

#include <sqlite3.h>

#include "db/embedded/embedded_connection.h"
#include "db/embedded/sql_quoting.h"
#include "db/embedded/sqlite_error.h"
#include "db/embedded/translate/context.h"
#include "db/embedded/translate/type_names.h"
#include "db/embedded/value_codec.h"

namespace db::embedded {
namespace {

constexpr std::string_view kSavepoint = "SAVEPOINT kivtab_select_into";
constexpr std::string_view kRelease = "RELEASE kivtab_select_into";
constexpr std::string_view kRollbackTo = "ROLLBACK TO kivtab_select_into";

std::string createTableFor(const std::string& target, StatementCore& select) {
  std::string sql = createTableWords(target) + target + " (";
  bool first = true;
  for (const auto& column : select.columns()) {
    if (!first) sql += ", ";
    first = false;
    sql += quoteIdentifier(column.name);
    if (!column.declaredType.empty()) sql += " " + column.declaredType;
    if (isTextType(column.declaredType)) sql += " COLLATE NOCASE";
  }
  return sql + ")";
}

}  // namespace

int64_t selectInto(EmbeddedConnection& connection, StatementCore& select,
                   const Translation& translation, const std::vector<Value>& parameters) {
  const std::string& original = select.text();
  if (select.columns().empty())
    throw Error(ErrorKind::Syntax, "SELECT ... INTO needs a column list", original);
  connection.run(std::string(kSavepoint), original);
  try {
    connection.run(createTableFor(translation.target, select), original);
    auto insert = connection.prepareCore(
        "INSERT INTO " + translation.target + " " + translation.sql, original);
    for (size_t i = 0; i < parameters.size(); ++i) {
      const int rc = bindValue(insert->stmt(), static_cast<int>(i) + 1, parameters[i]);
      if (rc != SQLITE_OK) throwSqliteError(connection.db(), rc, original);
    }
    insert->restart();
    int rc;
    while ((rc = sqlite3_step(insert->stmt())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) throwSqliteError(connection.db(), rc, original);
    const int64_t rows = sqlite3_changes64(connection.db());
    connection.run(std::string(kRelease), original);
    return rows;
  } catch (...) {
    connection.run(std::string(kRollbackTo), original);
    connection.run(std::string(kRelease), original);
    throw;
  }
}

}  // namespace db::embedded
