#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/embedded/ddl/token_cursor.h"

struct sqlite3;

// T-SQL procedures and triggers, kept as catalogued objects (listed, their text readable,
// droppable, enabled and disabled); the procedural engine runs them.
namespace db::embedded::ddl {

// Each trigger of a table has a marker trigger of this prefix and its name in SQLite's schema,
// which SQLite drops with the table and a rebuild carries over: a trigger goes with its table.
inline constexpr std::string_view kMarkerPrefix = "kivtab_marker_";

// CREATE [OR ALTER] / ALTER PROCEDURE|PROC|TRIGGER; the cursor is past CREATE or ALTER.
int64_t createProcedural(sqlite3* db, TokenCursor& cursor, bool alter);
// DROP PROCEDURE|PROC|TRIGGER [IF EXISTS] name[, name]; the cursor is past DROP.
int64_t dropProcedural(sqlite3* db, TokenCursor& cursor);
// ENABLE|DISABLE TRIGGER {name[, name] | ALL} ON table; the cursor is at TRIGGER.
int64_t enableTriggers(sqlite3* db, TokenCursor& cursor, bool enable);
// ALTER TABLE t ENABLE|DISABLE TRIGGER {name[, name] | ALL}; the cursor is at TRIGGER.
int64_t enableTableTriggers(sqlite3* db, TokenCursor& cursor, const std::string& table,
                            bool enable);

// True when any object of the database (table, view, constraint, procedure, trigger) has the name.
bool objectExists(sqlite3* db, std::string_view name);

}  // namespace db::embedded::ddl
