#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace db::embedded {

class ExpressionWriter;
struct TranslationContext;

// One column of CREATE TABLE, as SQLite declares it: the type text kept
// as written (VARCHAR(MAX) as VARCHAR(-1)), texts compared without regard to case.
struct ColumnDefinition {
  std::string name;  // as written
  std::string sql;   // the SQLite column definition
  bool identity = false;
  int64_t identitySeed = 1;  // the first number IDENTITY(seed, increment) hands out
  bool primaryKey = false;   // PRIMARY KEY written on the column
  bool nullable = true;
};

ColumnDefinition translateColumn(TranslationContext& ctx, ExpressionWriter& writer,
                                 std::pair<size_t, size_t> range);

// A table constraint (PRIMARY KEY, UNIQUE, FOREIGN KEY, CHECK) with the SQL Server-only words
// (CLUSTERED, NONCLUSTERED, WITH options, ON filegroup) left out.
std::string translateTableConstraint(TranslationContext& ctx, ExpressionWriter& writer,
                                     std::pair<size_t, size_t> range);

}  // namespace db::embedded
