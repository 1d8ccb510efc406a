#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/core/connection.h"
#include "db/odbc/diagnostics.h"
#include "db/odbc/handle.h"
#include "db/odbc/parameter_buffer.h"
#include "db/odbc/parameter_markers.h"

namespace db::odbc {

// One statement on an ODBC connection. A prepared one is sent to the driver once and executed
// many times; a direct one is executed from its text each time it runs.
class OdbcStatement : public Statement {
 public:
  enum class Mode { Prepared, Direct };

  OdbcStatement(SQLHDBC connection, std::string text, Mode mode, std::string secret);

  const std::string& text() const override { return context_.statement; }
  const std::vector<std::string>& parameterNames() const override { return marked_.names; }
  void bind(size_t index, const Value& value) override;
  using Statement::bind;
  int64_t execute() override;
  std::unique_ptr<Rows> query() override;
  // Runs the text as a batch and reads everything it produced.
  BatchResult batch();

 private:
  // Binds and runs the statement; the driver's result (SQL_NO_DATA for a searched UPDATE or
  // DELETE that touched no row).
  SQLRETURN run();
  void drainResults();
  void closeCursor();

  ErrorContext context_;
  MarkedStatement marked_;
  Mode mode_;
  Handle handle_;
  std::vector<ParameterBuffer> parameters_;
};

}  // namespace db::odbc
