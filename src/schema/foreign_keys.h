#pragma once

#include <string_view>
#include <vector>

#include "db/core/connection.h"
#include "schema/services.h"

namespace schema {

// Which section banner a statement opens: the banner's text is the asterisks before, the title
// with the table, and the asterisks after.
struct ForeignKeyBanner {
  int starsBefore = 0;
  std::string_view table;
  int starsAfter = 0;
};

// One statement of the foreign-key step with what it logs. An empty success line logs nothing on
// success; an empty error prefix means a failure is ignored without a line.
struct ForeignKeyStatement {
  std::string_view component;
  std::string_view text;
  std::string_view successLine;
  std::string_view errorPrefix;
  bool failureCounts = false;  // a failure makes the step's result false
  ForeignKeyBanner banner;     // no banner when the table is empty
};

// The 44 statements of the sale and order tables, in the order they run.
const std::vector<ForeignKeyStatement>& foreignKeyStatements();

// Applies the foreign keys and their indexes on a SQL Server-kind database (`usedDatabase`
// "MSSQL"); any other kind is left alone. Every statement is tried, each on its own: one that
// exists already fails and is logged, the rest go on. True when no counted statement failed.
bool applyForeignKeys(db::Connection& local, std::string_view usedDatabase, const LogLine& log);

}  // namespace schema
