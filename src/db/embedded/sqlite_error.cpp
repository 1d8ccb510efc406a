#include "db/embedded/sqlite_error.h"

#include <sqlite3.h>

#include <string>

namespace db::embedded {

ErrorKind errorKindOf(int extendedCode, std::string_view message) {
  switch (extendedCode) {
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE:
      return ErrorKind::DuplicateKey;
    case SQLITE_CONSTRAINT_DATATYPE:
      return ErrorKind::Conversion;
    default:
      break;
  }
  switch (extendedCode & 0xff) {
    case SQLITE_CONSTRAINT:
      return ErrorKind::Constraint;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return ErrorKind::Busy;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      return ErrorKind::NotADatabase;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_READONLY:
      return ErrorKind::Connection;
    case SQLITE_MISMATCH:
    case SQLITE_RANGE:
      return ErrorKind::Conversion;
    case SQLITE_ERROR:
      if (message.find("syntax error") != std::string_view::npos ||
          message.find("incomplete input") != std::string_view::npos ||
          message.find("unrecognized token") != std::string_view::npos)
        return ErrorKind::Syntax;
      // A function or construct SQLite lacks is one this engine does not speak.
      if (message.find("no such function") != std::string_view::npos) return ErrorKind::Unsupported;
      return ErrorKind::General;
    default:
      return ErrorKind::General;
  }
}

Error sqliteError(sqlite3* db, int code, std::string_view statement) {
  const int extended = db ? sqlite3_extended_errcode(db) : code;
  std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  // A failed step reports its own code; the connection's may be stale when the call was not
  // made on it (for example a code returned by sqlite3_reset of another statement).
  const int effective = (extended & 0xff) == (code & 0xff) ? extended : code;
  return Error(errorKindOf(effective, message), message, std::string(statement), effective);
}

void throwSqliteError(sqlite3* db, int code, std::string_view statement) {
  throw sqliteError(db, code, statement);
}

}  // namespace db::embedded
