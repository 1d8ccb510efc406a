#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// The few SQLite calls the catalogue and the DDL need, with failures turned into db::Error.
namespace db::embedded::sqlite {

// Throws db::Error for the connection's last failure, its kind taken from the result code.
[[noreturn]] void fail(sqlite3* db, std::string_view sql);

// Runs one or more statements that return no rows.
void exec(sqlite3* db, std::string_view sql);

// One prepared statement, finalized on destruction.
class Stmt {
 public:
  Stmt(sqlite3* db, std::string_view sql);
  ~Stmt();
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  Stmt& bind(int index, std::string_view text);
  Stmt& bind(int index, int64_t number);
  // Moves to the next row; false when done. Throws on failure.
  bool step();
  void run();    // steps to the end
  void reset();  // ready to run again with new bindings
  int columnCount() const;
  bool isNull(int column) const;
  std::string text(int column) const;
  // The text where SQLite holds it, valid until the next step, reset or column read.
  std::string_view view(int column) const;
  int64_t integer(int column) const;
  double real(int column) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
  std::string sql_;
};

// One value from a query with no parameters: first column of the first row, or "".
std::string scalarText(sqlite3* db, std::string_view sql);

}  // namespace db::embedded::sqlite
