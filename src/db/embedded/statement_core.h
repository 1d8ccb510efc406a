#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/connection.h"
#include "db/embedded/value_codec.h"

struct sqlite3;
struct sqlite3_stmt;

namespace db::embedded {

// Shared between a connection and everything it hands out, so that rows or statements that
// outlive close() fail cleanly instead of touching a closed handle.
struct ConnectionState {
  sqlite3* db = nullptr;
  bool open() const { return db != nullptr; }
};

// One prepared SQLite statement with what its result columns need; owned jointly by the
// Statement that prepared it and the Rows reading it.
class StatementCore {
 public:
  StatementCore(std::shared_ptr<ConnectionState> state, sqlite3_stmt* stmt, std::string text);
  ~StatementCore();
  StatementCore(const StatementCore&) = delete;
  StatementCore& operator=(const StatementCore&) = delete;

  sqlite3_stmt* stmt() const { return stmt_; }
  const std::string& text() const { return text_; }  // the original T-SQL, for errors
  std::string_view translated() const;               // the SQLite text it was prepared from
  bool usable() const { return state_->open(); }
  sqlite3* db() const { return state_->db; }

  // Starts a new run: resets the statement and invalidates rows of earlier runs.
  uint64_t restart();
  uint64_t run() const { return run_; }
  // Ends run `run` if it is still the current one (rows finished or dropped).
  void finish(uint64_t run);
  bool busy() const { return busy_; }
  void setBusy() { busy_ = true; }

  // Result columns, read once per prepared statement.
  const std::vector<Column>& columns();
  const std::vector<ColumnRead>& reads();

 private:
  void describe();

  std::shared_ptr<ConnectionState> state_;
  sqlite3_stmt* stmt_;
  std::string text_;
  uint64_t run_ = 0;
  bool busy_ = false;
  bool described_ = false;
  std::vector<Column> columns_;
  std::vector<ColumnRead> reads_;
};

}  // namespace db::embedded
