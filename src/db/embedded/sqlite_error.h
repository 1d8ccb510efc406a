#pragma once

#include <string_view>

#include "db/core/error.h"

struct sqlite3;

namespace db::embedded {

// The engine-independent kind of an SQLite result code (extended codes give the key kinds).
ErrorKind errorKindOf(int extendedCode, std::string_view message);

// The db::Error for a failed SQLite call on `db`, carrying the statement's original text.
Error sqliteError(sqlite3* db, int code, std::string_view statement);

// Raises db::Error for a failed SQLite call on `db`, carrying the statement's original text.
[[noreturn]] void throwSqliteError(sqlite3* db, int code, std::string_view statement);

}  // namespace db::embedded
