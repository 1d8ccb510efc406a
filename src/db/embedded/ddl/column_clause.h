#pragma once

#include <optional>
#include <string>

#include "db/embedded/ddl/table_def.h"
#include "db/embedded/ddl/token_cursor.h"

// A column as ALTER TABLE ... ADD and ALTER COLUMN write it in T-SQL.
namespace db::embedded::ddl {

struct ColumnClause {
  std::string name;
  std::string type;                        // SQLite declared type: upper case, MAX as -1
  std::string collation;                   // "NOCASE" or "BINARY"
  std::optional<bool> notNull;             // NULL / NOT NULL when written
  std::string defaultName;                 // CONSTRAINT name of the default, when written
  std::optional<std::string> defaultTerm;  // SQLite DEFAULT term
  bool withValues = false;

  // The column's definition for SQLite.
  ColumnDef toColumnDef() const;
};

// "type[(n[,m])|(MAX)]" at the cursor.
std::string readType(TokenCursor& cursor);
// "[COLLATE name]": the SQLite collation for it, or for the type when none is written (texts
// compare without regard to case, as under the server's default collation).
std::string readCollation(TokenCursor& cursor, const std::string& type);
// A column definition of ADD: name type [COLLATE c] [CONSTRAINT n] [NULL|NOT NULL]
// [DEFAULT x] [WITH VALUES], the clauses in any order; stops before ',' or the end.
ColumnClause readColumnClause(TokenCursor& cursor);

}  // namespace db::embedded::ddl
