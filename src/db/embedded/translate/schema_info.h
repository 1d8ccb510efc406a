#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace db::embedded {

// What a statement's expressions are, as far as the translator needs to know.
enum class ExprType { Unknown, Text, Number, Date };

ExprType exprTypeOfDeclared(std::string_view declaredType);

// Declared column types of tables and views, read from SQLite and kept until the schema changes.
class SchemaInfo {
 public:
  struct ColumnInfo {
    std::string name;
    std::string declaredType;
    bool key = false;  // part of the primary key
  };

  explicit SchemaInfo(sqlite3* db);
  ~SchemaInfo();
  SchemaInfo(const SchemaInfo&) = delete;
  SchemaInfo& operator=(const SchemaInfo&) = delete;

  // Empty when there is no such table or view. `schema` names an attached database; empty
  // searches as SQLite resolves an unqualified name (TEMP objects first).
  const std::vector<ColumnInfo>& columns(std::string_view table, std::string_view schema = {});
  // The table numbers its rows itself (an IDENTITY column: its only key column, INTEGER).
  bool hasIdentity(std::string_view table, std::string_view schema = {});
  // The unqualified name reaches a table (not a view) of the connection's own database or of
  // TEMP whose rows SQLite numbers (_rowid_).
  bool numbersRows(std::string_view table);
  void clear();
  void detach();  // the connection is closing

 private:
  sqlite3* db_;
  sqlite3_stmt* query_ = nullptr;
  sqlite3_stmt* schemaQuery_ = nullptr;
  sqlite3_stmt* rowidQuery_ = nullptr;
  std::unordered_map<std::string, std::vector<ColumnInfo>> tables_;
};

}  // namespace db::embedded
