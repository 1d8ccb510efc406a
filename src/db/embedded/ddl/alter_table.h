#pragma once

#include <cstdint>
#include <optional>

#include "db/embedded/ddl/token_cursor.h"

struct sqlite3;

namespace db::embedded::ddl {

// ALTER TABLE t ...: ALTER COLUMN, ADD columns, ADD [CONSTRAINT n] PRIMARY KEY / FOREIGN KEY /
// DEFAULT x FOR c, DROP CONSTRAINT, DROP COLUMN, ENABLE|DISABLE TRIGGER. Changes SQLite cannot
// make in place rebuild the table. The cursor is past ALTER TABLE.
int64_t alterTable(sqlite3* db, TokenCursor& cursor);

}  // namespace db::embedded::ddl
