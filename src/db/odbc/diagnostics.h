#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <string_view>
#include <vector>

#include "db/core/error.h"

namespace db::odbc {

struct Diagnostic {
  std::string state;  // SQLSTATE, five characters
  int nativeCode = 0;
  std::string message;
};

std::vector<Diagnostic> readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// The engine-independent kind of a driver error, from its SQLSTATE and, for drivers that report
// everything as HY000, from its text.
ErrorKind errorKindFor(const Diagnostic& diagnostic);

// What an error is raised about: the statement's text, and the password to keep out of it.
struct ErrorContext {
  std::string statement;
  std::string secret;
};

// Throws db::Error built from the handle's diagnostics: "<what>: [state] message; ...".
[[noreturn]] void raise(SQLSMALLINT handleType, SQLHANDLE handle, std::string_view what,
                        const ErrorContext& context);

// Raises unless rc reports success.
inline void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, std::string_view what,
                  const ErrorContext& context) {
  if (!SQL_SUCCEEDED(rc)) raise(handleType, handle, what, context);
}

// `text` with every occurrence of `secret` replaced by "***".
std::string scrub(std::string text, std::string_view secret);

}  // namespace db::odbc
