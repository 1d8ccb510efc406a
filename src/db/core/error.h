#pragma once

#include <stdexcept>
#include <string>

namespace db {

// What went wrong, independent of the engine, so callers can react without reading messages.
enum class ErrorKind {
  General,
  Syntax,           // the statement does not parse
  Unsupported,      // a construct the embedded engine does not speak
  DuplicateKey,     // primary key or unique index violated
  Constraint,       // NOT NULL, CHECK or foreign key violated
  Busy,             // the database is locked by someone else
  NotADatabase,     // the file is not a database
  Connection,       // cannot connect, or the connection was lost
  Conversion,       // a value could not be converted to the column's type
};

// A database failure. what() is the engine's message; statement() the SQL it concerned
// (never a connection string, which may hold a password).
class Error : public std::runtime_error {
 public:
  Error(ErrorKind kind, const std::string& message, std::string statement = {},
        int nativeCode = 0)
      : std::runtime_error(message),
        kind_(kind),
        statement_(std::move(statement)),
        nativeCode_(nativeCode) {}

  ErrorKind kind() const { return kind_; }
  const std::string& statement() const { return statement_; }
  int nativeCode() const { return nativeCode_; }

 private:
  ErrorKind kind_;
  std::string statement_;
  int nativeCode_;
};

}  // namespace db
