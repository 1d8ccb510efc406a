#include "db/embedded/sqlite_error.h"

#include <sqlite3.h>

#include <string>

namespace db::embedded {
namespace {

struct CodeRule {
  int code;
  ErrorKind kind;
};

// Extended codes that tell more than their primary code does.
constexpr CodeRule kExtendedCodes[] = {
    {SQLITE_CONSTRAINT_PRIMARYKEY, ErrorKind::DuplicateKey},
    {SQLITE_CONSTRAINT_UNIQUE, ErrorKind::DuplicateKey},
    {SQLITE_CONSTRAINT_DATATYPE, ErrorKind::Conversion},
};

constexpr CodeRule kPrimaryCodes[] = {
    {SQLITE_CONSTRAINT, ErrorKind::Constraint}, {SQLITE_BUSY, ErrorKind::Busy},
    {SQLITE_LOCKED, ErrorKind::Busy},           {SQLITE_NOTADB, ErrorKind::NotADatabase},
    {SQLITE_CORRUPT, ErrorKind::NotADatabase},  {SQLITE_CANTOPEN, ErrorKind::Connection},
    {SQLITE_PERM, ErrorKind::Connection},       {SQLITE_READONLY, ErrorKind::Connection},
    {SQLITE_MISMATCH, ErrorKind::Conversion},   {SQLITE_RANGE, ErrorKind::Conversion},
};

struct MessageRule {
  std::string_view fragment;
  ErrorKind kind;
};

// SQLITE_ERROR covers every failure to prepare; its message tells a text that does not parse
// from a function or construct SQLite lacks, which is one this engine does not speak.
constexpr MessageRule kErrorMessages[] = {
    {"syntax error", ErrorKind::Syntax},
    {"incomplete input", ErrorKind::Syntax},
    {"unrecognized token", ErrorKind::Syntax},
    {"no such function", ErrorKind::Unsupported},
};

}  // namespace

ErrorKind errorKindOf(int extendedCode, std::string_view message) {
  for (const auto& rule : kExtendedCodes)
    if (rule.code == extendedCode) return rule.kind;
  const int primary = extendedCode & 0xff;
  for (const auto& rule : kPrimaryCodes)
    if (rule.code == primary) return rule.kind;
  if (primary == SQLITE_ERROR)
    for (const auto& rule : kErrorMessages)
      if (message.find(rule.fragment) != std::string_view::npos) return rule.kind;
  return ErrorKind::General;
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
