#pragma once

#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "db/core/error.h"
#include "db/embedded/catalog/sqlite_access.h"
#include "db/embedded/extension.h"
#include "db/embedded/tokenizer.h"

namespace db::embedded::test_support {

// A private in-memory database with foreign keys on and the catalogue installed, used directly
// through SQLite so that these tests stand apart from the statement translator.
class CatalogDb {
 public:
  explicit CatalogDb(const std::string& user = "sa", const std::string& path = ":memory:") {
    sqlite3_open(path.c_str(), &db_);
    sqlite::exec(db_, "PRAGMA foreign_keys = ON");
    catalog::install(db_, user);
  }
  ~CatalogDb() { sqlite3_close(db_); }
  CatalogDb(const CatalogDb&) = delete;
  CatalogDb& operator=(const CatalogDb&) = delete;

  sqlite3* get() const { return db_; }

  void exec(const std::string& sql) { sqlite::exec(db_, sql); }

  // Runs a T-SQL statement through the DDL; fails the test when it is not taken.
  int64_t ddl(const std::string& sql) {
    auto tokens = significant(tokenize(sql));
    auto result = ddl::tryExecute(db_, tokens, sql);
    if (!result) throw std::runtime_error("statement not taken by the DDL: " + sql);
    return *result;
  }

  // The db::Error with which the DDL refuses a statement, and its message.
  Error refused(const std::string& sql) {
    try {
      ddl(sql);
    } catch (const Error& e) {
      return e;
    }
    throw std::runtime_error("statement not refused by the DDL: " + sql);
  }
  std::string refusal(const std::string& sql) { return refused(sql).what(); }

  // All rows of a query, each row's columns joined with '|', NULL as "NULL".
  std::vector<std::string> rows(const std::string& sql,
                                const std::vector<std::string>& params = {}) {
    sqlite::Stmt stmt(db_, sql);
    for (size_t i = 0; i < params.size(); ++i) stmt.bind(static_cast<int>(i + 1), params[i]);
    std::vector<std::string> out;
    while (stmt.step()) {
      std::string row;
      for (int i = 0; i < stmt.columnCount(); ++i) {
        if (i) row += '|';
        row += stmt.isNull(i) ? "NULL" : stmt.text(i);
      }
      out.push_back(row);
    }
    return out;
  }

  std::string scalar(const std::string& sql) { return sqlite::scalarText(db_, sql); }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace db::embedded::test_support
