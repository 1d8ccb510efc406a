#include "db/embedded/statement_core.h"

#include <sqlite3.h>

#include "db/embedded/value_codec.h"

namespace db::embedded {
StatementCore::StatementCore(std::shared_ptr<ConnectionState> state, sqlite3_stmt* stmt,
                             std::string text)
    : state_(std::move(state)), stmt_(stmt), text_(std::move(text)) {}

StatementCore::~StatementCore() { sqlite3_finalize(stmt_); }

std::string_view StatementCore::translated() const {
  const char* sql = sqlite3_sql(stmt_);
  return sql ? std::string_view(sql) : std::string_view();
}

uint64_t StatementCore::restart() {
  sqlite3_reset(stmt_);
  busy_ = false;
  return ++run_;
}

void StatementCore::finish(uint64_t run) {
  if (run != run_ || !busy_) return;
  if (usable()) sqlite3_reset(stmt_);
  busy_ = false;
}

const std::vector<Column>& StatementCore::columns() {
  if (!described_ || columns_.size() != static_cast<size_t>(sqlite3_column_count(stmt_)))
    describe();
  return columns_;
}

const std::vector<ColumnRead>& StatementCore::reads() {
  columns();
  return reads_;
}

void StatementCore::describe() {
  const int n = sqlite3_column_count(stmt_);
  columns_.clear();
  reads_.clear();
  for (int i = 0; i < n; ++i) {
    const char* name = sqlite3_column_name(stmt_, i);
    const char* type = sqlite3_column_decltype(stmt_, i);
    Column c{name ? name : "", type ? type : ""};
    reads_.push_back(columnReadFor(c.declaredType));
    columns_.push_back(std::move(c));
  }
  described_ = true;
}

}  // namespace db::embedded
