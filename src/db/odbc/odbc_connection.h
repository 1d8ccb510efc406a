#pragma once

#include <deque>
#include <memory>
#include <string>
#include <unordered_map>

#include "db/core/connection.h"
#include "db/odbc/handle.h"
#include "db/odbc/odbc.h"
#include "db/odbc/odbc_statement.h"

namespace db::odbc {

class OdbcConnection : public Connection {
 public:
  explicit OdbcConnection(const Options& options);
  ~OdbcConnection() override;

  int64_t execute(std::string_view sql, const Params& params = {}) override;
  std::unique_ptr<Rows> query(std::string_view sql, const Params& params = {}) override;
  Statement& prepare(std::string_view sql) override;
  BatchResult executeBatch(std::string_view sql, const Params& params = {}) override;
  ProcedureResult callProcedure(std::string_view name,
                                const std::vector<ProcedureArgument>& args) override;

  void begin() override;
  void commit() override;
  void rollback() override;
  bool inTransaction() const override { return inTransaction_; }

  void close() override;
  bool isOpen() const override { return open_; }
  std::string_view engineName() const override { return "odbc"; }

 private:
  SQLHDBC dbc() const { return connection_.get(); }
  void requireOpen() const;
  // Runs a text through the statement prepared for it. Texts with parameters are prepared on
  // first use and kept among the implicit statements; texts without parameters that were never
  // prepared run directly, so statements built with inline values do not pile up.
  template <typename Result, typename Run>
  Result run(std::string_view sql, const Params& params, Run runStatement);
  OdbcStatement& implicitStatement(const std::string& text);
  void endTransaction(SQLSMALLINT completion, std::string_view what);

  Handle environment_;
  Handle connection_;
  std::string secret_;
  bool open_ = false;
  bool inTransaction_ = false;
  // Statements handed out by prepare() live until close(); the implicit ones, used only inside
  // execute() and query(), are limited in number and the oldest is dropped first.
  std::unordered_map<std::string, std::unique_ptr<OdbcStatement>> prepared_;
  std::unordered_map<std::string, std::unique_ptr<OdbcStatement>> implicit_;
  std::deque<std::string> implicitOrder_;
};

// How many implicit statements a connection keeps open.
inline constexpr size_t kImplicitStatementLimit = 256;

}  // namespace db::odbc
