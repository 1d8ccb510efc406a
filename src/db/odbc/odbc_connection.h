#pragma once

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
  // The cached prepared statement for a text; texts without parameters that were never prepared
  // run directly, so statements built with inline values do not pile up in the cache.
  template <typename Result, typename Run>
  Result run(std::string_view sql, const Params& params, Run runStatement);
  void endTransaction(SQLSMALLINT completion, std::string_view what);

  Handle environment_;
  Handle connection_;
  std::string secret_;
  bool open_ = false;
  bool inTransaction_ = false;
  std::unordered_map<std::string, std::unique_ptr<OdbcStatement>> prepared_;
};

}  // namespace db::odbc
