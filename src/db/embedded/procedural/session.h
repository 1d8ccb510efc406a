#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/core/connection.h"
#include "db/embedded/procedural/program.h"

namespace db::embedded::procedural {

// An error raised inside a procedure or trigger: the message names the object and the statement
// once, at the innermost level; `original` keeps the bare message for ERROR_MESSAGE().
class ObjectError : public Error {
 public:
  ObjectError(const Error& cause, std::string original, std::string object, int number)
      : Error(cause.kind(), cause.what(), cause.statement(), cause.nativeCode()),
        original_(std::move(original)),
        object_(std::move(object)),
        number_(number) {}
  const std::string& original() const { return original_; }
  const std::string& object() const { return object_; }
  int number() const { return number_; }

 private:
  std::string original_;
  std::string object_;
  int number_;
};

// The error a CATCH block is handling, for ERROR_MESSAGE() and its siblings.
struct CaughtError {
  std::string message;
  int64_t number = 0;
  int64_t severity = 16;
  int64_t state = 1;
  std::string procedure;
};

// A cursor's rows are read whole when it is opened, as a STATIC cursor reads them.
struct Cursor {
  std::shared_ptr<Program> program;  // keeps the SELECT alive
  Query* select = nullptr;
  bool open = false;
  std::vector<std::vector<Value>> rows;
  size_t next = 0;
};

struct Frame {
  std::shared_ptr<Program> program;
  std::vector<Value> values;
  std::unordered_map<std::string, Cursor> cursors;  // LOCAL cursors
  std::vector<std::string> tempTables;              // #tables this procedure created
  std::optional<CaughtError> caught;
  int64_t returnValue = 0;
  bool procedure = false;
};

// What a batch or call sends back: result sets, messages, rows affected.
struct Output {
  std::vector<ResultSet> resultSets;
  std::vector<std::string> messages;
  int64_t rowsAffected = 0;
};

// What lives as long as the connection: the values every statement sees and global cursors.
struct Session {
  int64_t rowCount = 0;
  int64_t error = 0;
  int64_t fetchStatus = -1;
  int64_t tranCount = 0;  // BEGIN TRAN nesting opened by batches
  int nestLevel = 0;
  std::unordered_map<std::string, Cursor> cursors;  // GLOBAL cursors
};

}  // namespace db::embedded::procedural
