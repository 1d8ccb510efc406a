#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/error.h"
#include "db/core/value.h"

namespace db {

// A named statement parameter; the name is written without its ':' (":P_CDFILIAL" -> "P_CDFILIAL").
struct Param {
  std::string name;
  Value value;
};
using Params = std::vector<Param>;

struct Column {
  std::string name;
  std::string declaredType;  // as the engine declares it ("VARCHAR(10)", "DATETIME"); may be empty
};

// A result set read whole, as a batch or a procedure returns it.
struct ResultSet {
  std::vector<Column> columns;
  std::vector<std::vector<Value>> rows;
};

// What a T-SQL batch produced, in the order it produced it.
struct BatchResult {
  std::vector<ResultSet> resultSets;
  std::vector<std::string> messages;  // PRINT texts and RAISERROR texts of severity 10 or less
  int64_t rowsAffected = 0;           // of the last statement that counts rows
};

// An argument of a procedure call: by position when `name` is empty, else by parameter name
// (written without '@').
struct ProcedureArgument {
  std::string name;
  Value value;
  bool output = false;
};

struct ProcedureResult {
  std::vector<ResultSet> resultSets;
  std::vector<std::string> messages;
  // Every OUTPUT argument's value after the call, named by the procedure's parameter (no '@').
  Params outputs;
  int64_t returnValue = 0;
};

// The rows of an open query, positioned before the first row.
class Rows {
 public:
  virtual ~Rows() = default;
  virtual const std::vector<Column>& columns() const = 0;
  // Moves to the next row; false once past the last.
  virtual bool next() = 0;
  virtual const Value& at(size_t index) const = 0;

  // Case-insensitive; throws db::Error naming the column when it is absent.
  size_t indexOf(std::string_view name) const;
  bool hasColumn(std::string_view name) const;
  const Value& operator[](std::string_view name) const { return at(indexOf(name)); }
};

// A prepared statement, reusable across rows: bind, then execute or query.
class Statement {
 public:
  virtual ~Statement() = default;
  virtual const std::string& text() const = 0;
  // Names of the statement's parameters in order of first appearance, without ':'.
  virtual const std::vector<std::string>& parameterNames() const = 0;
  virtual void bind(size_t index, const Value& value) = 0;
  // Case-insensitive; throws db::Error when the statement has no such parameter.
  void bind(std::string_view name, const Value& value);
  void bind(const Params& params);
  virtual int64_t execute() = 0;  // rows affected
  virtual std::unique_ptr<Rows> query() = 0;
};

// One open database connection. Statements run with no time-out.
class Connection {
 public:
  virtual ~Connection() = default;

  virtual int64_t execute(std::string_view sql, const Params& params = {}) = 0;
  virtual std::unique_ptr<Rows> query(std::string_view sql, const Params& params = {}) = 0;
  // The connection keeps prepared statements by text and hands back the same one for the same
  // text; the reference stays valid until close().
  virtual Statement& prepare(std::string_view sql) = 0;

  // Runs a T-SQL batch: several statements, variables, control flow, procedure calls (no GO
  // separators; those belong to the tools that read script files). Every result set is read
  // whole. An engine without procedural code raises db::Error of kind Unsupported.
  virtual BatchResult executeBatch(std::string_view sql, const Params& params = {});
  // Calls a stored procedure with input and OUTPUT arguments.
  virtual ProcedureResult callProcedure(std::string_view name,
                                        const std::vector<ProcedureArgument>& args);

  virtual void begin() = 0;
  virtual void commit() = 0;
  virtual void rollback() = 0;
  virtual bool inTransaction() const = 0;

  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  virtual std::string_view engineName() const = 0;  // "embedded", "odbc"
};

}  // namespace db
