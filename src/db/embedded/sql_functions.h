#pragma once

struct sqlite3;

namespace db::embedded {

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
