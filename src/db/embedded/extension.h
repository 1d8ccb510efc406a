#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/embedded/tokenizer.h"

struct sqlite3;

// What the embedded engine adds to SQLite beyond statement translation: the SQL Server
// catalogue, and the DDL and procedural objects SQLite does not have.
namespace db::embedded {

namespace catalog {
// Creates the catalogue views, the engine's metadata tables and helper SQL functions on a
// freshly opened database. `user` is the login the catalogue reports.
void install(sqlite3* db, const std::string& user);
// The name of the view that stands for a SQL Server catalogue name ("SYSOBJECTS",
// "sys.indexes", "MASTER.DBO.SYSLOGINS", "INFORMATION_SCHEMA.COLUMNS", "dbo.SYSCOLUMNS"...),
// matched without regard to case; nothing when the name is not a catalogue name.
std::optional<std::string> viewFor(std::string_view qualifiedName);
// The SELECT standing for catalogue view `view` (a name viewFor gave) of the database attached
// as SQLite schema `schema`; empty for views that are the same from every database.
std::string viewSelectFor(std::string_view view, const std::string& schema);
}  // namespace catalog

namespace ddl {
// Runs a statement SQLite cannot run itself (ALTER TABLE ... ALTER COLUMN / ADD CONSTRAINT /
// DROP CONSTRAINT / ADD DEFAULT / DROP COLUMN, CREATE/ALTER/DROP PROCEDURE and TRIGGER,
// ENABLE/DISABLE TRIGGER, ...). `tokens` are the statement's significant tokens.
// Returns the rows affected, or nothing when the statement is not one of these.
std::optional<int64_t> tryExecute(sqlite3* db, const std::vector<Token>& tokens,
                                  std::string_view sql);
}  // namespace ddl

}  // namespace db::embedded
