#include "db/odbc/diagnostics.h"

#include <array>

#include "db/core/text.h"

namespace db::odbc {
namespace {

// SQL Server's native codes for key violations, reported under the generic SQLSTATE 23000.
constexpr std::array kDuplicateKeyNativeCodes{2627, 2601};

struct StatePrefixRule {
  std::string_view prefix;
  ErrorKind kind;
};

constexpr std::array kStateRules{
    StatePrefixRule{"08", ErrorKind::Connection},    StatePrefixRule{"28", ErrorKind::Connection},
    StatePrefixRule{"IM", ErrorKind::Connection},    StatePrefixRule{"42", ErrorKind::Syntax},
    StatePrefixRule{"37", ErrorKind::Syntax},        StatePrefixRule{"22", ErrorKind::Conversion},
    StatePrefixRule{"07006", ErrorKind::Conversion}, StatePrefixRule{"40001", ErrorKind::Busy},
    StatePrefixRule{"HYT", ErrorKind::Busy},
};

struct MessageRule {
  std::string_view fragment;  // lower case
  ErrorKind kind;
};

// For drivers that put every failure under HY000, the message is all there is to go on.
constexpr std::array kMessageRules{
    MessageRule{"unique", ErrorKind::DuplicateKey},
    MessageRule{"duplicate", ErrorKind::DuplicateKey},
    MessageRule{"primary key", ErrorKind::DuplicateKey},
    MessageRule{"constraint", ErrorKind::Constraint},
    MessageRule{"not null", ErrorKind::Constraint},
    MessageRule{"syntax error", ErrorKind::Syntax},
    MessageRule{"no such", ErrorKind::Syntax},
    MessageRule{"locked", ErrorKind::Busy},
    MessageRule{"busy", ErrorKind::Busy},
    MessageRule{"not a database", ErrorKind::NotADatabase},
};

ErrorKind kindFromMessage(const std::string& message, ErrorKind otherwise) {
  const std::string text = lower(message);
  for (const auto& rule : kMessageRules)
    if (text.find(rule.fragment) != std::string::npos) return rule.kind;
  return otherwise;
}

}  // namespace

std::vector<Diagnostic> readDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
  std::vector<Diagnostic> out;
  if (handle == SQL_NULL_HANDLE) return out;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    std::array<SQLCHAR, 2048> message{};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRec(handleType, handle, record, state, &native, message.data(),
                                       static_cast<SQLSMALLINT>(message.size()), &length);
    if (!SQL_SUCCEEDED(rc)) break;
    out.push_back({reinterpret_cast<const char*>(state), static_cast<int>(native),
                   reinterpret_cast<const char*>(message.data())});
  }
  return out;
}

ErrorKind errorKindFor(const Diagnostic& d) {
  if (d.state.starts_with("23")) {
    for (int code : kDuplicateKeyNativeCodes)
      if (d.nativeCode == code) return ErrorKind::DuplicateKey;
    return kindFromMessage(d.message, ErrorKind::Constraint) == ErrorKind::DuplicateKey
               ? ErrorKind::DuplicateKey
               : ErrorKind::Constraint;
  }
  for (const auto& rule : kStateRules)
    if (d.state.starts_with(rule.prefix)) return rule.kind;
  return kindFromMessage(d.message, ErrorKind::General);
}

std::string scrub(std::string text, std::string_view secret) {
  if (secret.empty()) return text;
  for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3))
    text.replace(at, secret.size(), "***");
  return text;
}

void raise(SQLSMALLINT handleType, SQLHANDLE handle, std::string_view what,
           const ErrorContext& context) {
  const auto diagnostics = readDiagnostics(handleType, handle);
  std::string message(what);
  ErrorKind kind = ErrorKind::General;
  int native = 0;
  if (diagnostics.empty()) {
    message += ": the driver reported a failure without a message";
  } else {
    kind = errorKindFor(diagnostics.front());
    native = diagnostics.front().nativeCode;
    for (size_t i = 0; i < diagnostics.size(); ++i) {
      message += i == 0 ? ": " : "; ";
      message += "[" + diagnostics[i].state + "] " + diagnostics[i].message;
    }
  }
  throw Error(kind, scrub(std::move(message), context.secret),
              scrub(context.statement, context.secret), native);
}

}  // namespace db::odbc
