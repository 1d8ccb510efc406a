#pragma once

#include <string>
#include <vector>

namespace db::embedded {

// What one T-SQL text becomes on SQLite. Most texts are one SQLite statement; a few need the
// connection's help (a SELECT ... INTO creates its table from the SELECT's column types; an IF
// runs its statement only when the probe returns a row).
struct Translation {
  enum class Kind {
    Plain,        // run `setup` (no parameters), then `sql`, then `after` (no parameters)
    SelectInto,   // `sql` is the SELECT whose rows fill the new table `target`
    Conditional,  // `sql` is a probe; when it returns a row, `body` (T-SQL) runs
  };

  Kind kind = Kind::Plain;
  std::string sql;
  std::vector<std::string> setup;
  std::vector<std::string> after;
  // Run (no parameters) when the statement fails after `setup` ran, to undo it.
  std::vector<std::string> undo;
  // Parameter names in order of first appearance (without ':'); `sql` numbers them ?1, ?2...
  std::vector<std::string> parameters;
  // Per parameter: compared with or assigned to a DATETIME column, so a text value is read as a
  // date-time (as SQL Server converts it).
  std::vector<bool> dateParameters;
  bool changesSchema = false;   // caches of names and types must be refreshed after it runs
  bool reportsChanges = false;  // INSERT, UPDATE, DELETE: rows affected come from SQLite
  bool identityInsert = false;  // an INSERT into a table with an IDENTITY column
  std::string target;           // SelectInto: the table to create
  // INSERT, UPDATE, DELETE: the table they change (as SQLite names it, as written) and how:
  // 'I', 'U' or 'D'; the table's triggers fire for it. 0 for other statements.
  std::string changedTable;
  char change = 0;
  std::string body;  // Conditional: the statement to run
  // An UPDATE whose condition names no row of its table, so that it changes every row or none:
  // the columns it sets, and a count of the rows it is to change with the same parameters. The
  // engine may then build the indexes of those columns again instead of moving each entry.
  std::vector<std::string> wholeTableColumns;
  std::string wholeTableCount;
};

}  // namespace db::embedded
