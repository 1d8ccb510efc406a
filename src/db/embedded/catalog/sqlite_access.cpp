#include "db/embedded/catalog/sqlite_access.h"

#include <sqlite3.h>

#include "db/core/error.h"
#include "db/embedded/sqlite_error.h"

namespace db::embedded::sqlite {

void fail(sqlite3* db, std::string_view sql) {
  throwSqliteError(db, sqlite3_extended_errcode(db), sql);
}

void exec(sqlite3* db, std::string_view sql) {
  const std::string text(sql);
  if (sqlite3_exec(db, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) fail(db, sql);
}

Stmt::Stmt(sqlite3* db, std::string_view sql) : db_(db), sql_(sql) {
  if (sqlite3_prepare_v2(db, sql_.data(), static_cast<int>(sql_.size()), &stmt_, nullptr) !=
      SQLITE_OK)
    fail(db, sql_);
}

Stmt::~Stmt() { sqlite3_finalize(stmt_); }

Stmt& Stmt::bind(int index, std::string_view text) {
  if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT) != SQLITE_OK)
    fail(db_, sql_);
  return *this;
}

Stmt& Stmt::bind(int index, int64_t number) {
  if (sqlite3_bind_int64(stmt_, index, number) != SQLITE_OK) fail(db_, sql_);
  return *this;
}

bool Stmt::step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  fail(db_, sql_);
}

void Stmt::run() {
  while (step()) {
  }
}

void Stmt::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int Stmt::columnCount() const { return sqlite3_column_count(stmt_); }

bool Stmt::isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

std::string Stmt::text(int column) const {
  const auto* p = sqlite3_column_text(stmt_, column);
  return p ? std::string(reinterpret_cast<const char*>(p),
                         static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
           : std::string();
}

std::string_view Stmt::view(int column) const {
  const auto* p = sqlite3_column_text(stmt_, column);
  return p ? std::string_view(reinterpret_cast<const char*>(p),
                              static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
           : std::string_view();
}

int64_t Stmt::integer(int column) const { return sqlite3_column_int64(stmt_, column); }

double Stmt::real(int column) const { return sqlite3_column_double(stmt_, column); }

std::string scalarText(sqlite3* db, std::string_view sql) {
  Stmt stmt(db, sql);
  return stmt.step() ? stmt.text(0) : std::string();
}

}  // namespace db::embedded::sqlite
