#pragma once

#include <cstdint>

#include "db/embedded/ddl/token_cursor.h"

struct sqlite3;

namespace db::embedded::ddl {

// ALTER DATABASE name|CURRENT SET option[, option] [WITH termination]. The options are recorded
// for sys.databases (READ_COMMITTED_SNAPSHOT, ALLOW_SNAPSHOT_ISOLATION, SINGLE_USER,
// MULTI_USER, RESTRICTED_USER); SQLite's own locking is what actually isolates readers.
// The cursor is past ALTER DATABASE.
int64_t alterDatabase(sqlite3* db, TokenCursor& cursor);

}  // namespace db::embedded::ddl
