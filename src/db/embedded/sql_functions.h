#pragma once

#include <span>

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

namespace db::embedded {

// One scalar function as SQLite registers it.
struct FunctionDef {
  const char* name;
  int arity;  // -1 for any number of arguments
  bool deterministic;
  void (*fn)(sqlite3_context*, int, sqlite3_value**);
};

void registerFunctions(sqlite3* db, std::span<const FunctionDef> functions);

// The T-SQL functions SQLite lacks, under their T-SQL names where SQLite can parse the call
// as written (GETDATE, LEN, CHARINDEX, REPLICATE, SERVERPROPERTY, YEAR, MONTH, DAY) and under
// KIVTAB_* names where the translator rewrites the call (RIGHT, CONVERT, DATEADD, DATEDIFF,
// DATEPART). Date-times are REAL days since 1899-12-30.
void registerSqlFunctions(sqlite3* db);

// The functions server-side code uses (STR, ISNUMERIC, STUFF, PATINDEX, QUOTENAME, NEWID) and
// the KIVTAB_* forms the translator writes for CONCAT, DATENAME, DATALENGTH and OBJECT_ID.
void registerServerFunctions(sqlite3* db);

// The version SERVERPROPERTY('productversion') reports: the SQL Server 2008 R2 family, which
// the program treats as a current server.
inline constexpr const char* kReportedProductVersion = "10.50.1600.1";

}  // namespace db::embedded
