#include "db/odbc/odbc_connection.h"

#include "db/odbc/diagnostics.h"
#include "db/odbc/procedure_call.h"
#include "fault/fault.h"

namespace db::odbc {
namespace {

// The message when connecting fails names the failure, never the connection string.
constexpr std::string_view kConnectFailed = "Cannot connect through ODBC";

[[noreturn]] void raiseConnectionError(SQLSMALLINT type, SQLHANDLE handle,
                                       const std::string& secret) {
  try {
    raise(type, handle, kConnectFailed, {{}, secret});
  } catch (const Error& e) {
    // Whatever the driver calls it (a login time-out is HYT00), this is a failure to connect.
    throw Error(ErrorKind::Connection, e.what(), {}, e.nativeCode());
  }
}

}  // namespace

OdbcConnection::OdbcConnection(const Options& options) : secret_(options.password) {
  SQLHANDLE env = SQL_NULL_HANDLE;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
    throw Error(ErrorKind::Connection,
                std::string(kConnectFailed) + ": cannot allocate an ODBC environment");
  environment_ = Handle(SQL_HANDLE_ENV, env);
  if (!SQL_SUCCEEDED(
          SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)))
    raiseConnectionError(SQL_HANDLE_ENV, env, secret_);
  SQLHANDLE dbcHandle = SQL_NULL_HANDLE;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbcHandle)))
    raiseConnectionError(SQL_HANDLE_ENV, env, secret_);
  connection_ = Handle(SQL_HANDLE_DBC, dbcHandle);
  const auto timeout =
      static_cast<SQLULEN>(options.loginTimeoutSeconds.value_or(kDefaultLoginTimeoutSeconds));
  SQLSetConnectAttr(dbc(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeout), 0);
  std::string text = options.connectionString;
  const SQLRETURN rc = SQLDriverConnect(dbc(), nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                                        static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr,
                                        SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) raiseConnectionError(SQL_HANDLE_DBC, dbc(), secret_);
  open_ = true;
}

OdbcConnection::~OdbcConnection() {
  try {
    close();
  } catch (...) {
    // A destructor cannot report; close() already released every handle it could.
  }
}

void OdbcConnection::requireOpen() const {
  if (!open_) throw Error(ErrorKind::Connection, "The connection is closed");
}

template <typename Result, typename Run>
Result OdbcConnection::run(std::string_view sql, const Params& params, Run runStatement) {
  requireOpen();
  const std::string text(sql);
  if (auto it = prepared_.find(text); it != prepared_.end()) {
    it->second->bind(params);
    return runStatement(*it->second);
  }
  if (!params.empty() || implicit_.contains(text)) {
    OdbcStatement& statement = implicitStatement(text);
    statement.bind(params);
    return runStatement(statement);
  }
  OdbcStatement direct(dbc(), text, OdbcStatement::Mode::Direct, secret_);
  return runStatement(direct);
}

OdbcStatement& OdbcConnection::implicitStatement(const std::string& text) {
  if (auto it = implicit_.find(text); it != implicit_.end()) return *it->second;
  auto statement =
      std::make_unique<OdbcStatement>(dbc(), text, OdbcStatement::Mode::Prepared, secret_);
  if (implicit_.size() >= kImplicitStatementLimit) {
    implicit_.erase(implicitOrder_.front());
    implicitOrder_.pop_front();
  }
  implicitOrder_.push_back(text);
  auto& stored = implicit_[text];
  stored = std::move(statement);
  return *stored;
}

int64_t OdbcConnection::execute(std::string_view sql, const Params& params) {
  return run<int64_t>(sql, params, [](Statement& s) { return s.execute(); });
}

std::unique_ptr<Rows> OdbcConnection::query(std::string_view sql, const Params& params) {
  return run<std::unique_ptr<Rows>>(sql, params, [](Statement& s) { return s.query(); });
}

BatchResult OdbcConnection::executeBatch(std::string_view sql, const Params& params) {
  return run<BatchResult>(sql, params, [](OdbcStatement& s) { return s.batch(); });
}

ProcedureResult OdbcConnection::callProcedure(std::string_view name,
                                              const std::vector<ProcedureArgument>& args) {
  requireOpen();
  return odbc::callProcedure(dbc(), name, args, secret_);
}

Statement& OdbcConnection::prepare(std::string_view sql) {
  requireOpen();
  std::string text(sql);
  if (auto it = prepared_.find(text); it != prepared_.end()) return *it->second;
  std::unique_ptr<OdbcStatement> statement;
  if (auto it = implicit_.find(text); it != implicit_.end()) {
    // Promoted: from now on it must outlive the implicit limit.
    statement = std::move(it->second);
    implicit_.erase(it);
    std::erase(implicitOrder_, text);
  } else {
    statement =
        std::make_unique<OdbcStatement>(dbc(), text, OdbcStatement::Mode::Prepared, secret_);
  }
  auto& stored = prepared_[std::move(text)];
  stored = std::move(statement);
  return *stored;
}

void OdbcConnection::begin() {
  requireOpen();
  if (inTransaction_) throw Error(ErrorKind::General, "A transaction is already open");
  check(SQLSetConnectAttr(dbc(), SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
        SQL_HANDLE_DBC, dbc(), "Cannot begin a transaction", {{}, secret_});
  inTransaction_ = true;
}

void OdbcConnection::endTransaction(SQLSMALLINT completion, std::string_view what) {
  requireOpen();
  if (!inTransaction_) throw Error(ErrorKind::General, "No transaction is open");
  check(SQLEndTran(SQL_HANDLE_DBC, dbc(), completion), SQL_HANDLE_DBC, dbc(), what, {{}, secret_});
  inTransaction_ = false;
  check(SQLSetConnectAttr(dbc(), SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0),
        SQL_HANDLE_DBC, dbc(), "Cannot return to autocommit", {{}, secret_});
}

void OdbcConnection::commit() {
  endTransaction(SQL_COMMIT, "Cannot commit");
  fault::reach("commit");
}

void OdbcConnection::rollback() {
  try {
    endTransaction(SQL_ROLLBACK, "Cannot roll back");
  } catch (...) {
    // A failed rollback leaves nothing to commit; the server discards the work on its own.
    inTransaction_ = false;
    throw;
  }
}

void OdbcConnection::close() {
  if (!open_) return;
  open_ = false;
  prepared_.clear();
  implicit_.clear();
  implicitOrder_.clear();
  if (inTransaction_) {
    // Closing with work pending discards it explicitly rather than leaving it to the driver.
    SQLEndTran(SQL_HANDLE_DBC, dbc(), SQL_ROLLBACK);
    inTransaction_ = false;
  }
  SQLDisconnect(dbc());
  connection_.reset();
  environment_.reset();
}

std::unique_ptr<Connection> open(const Options& options) {
  return std::make_unique<OdbcConnection>(options);
}

}  // namespace db::odbc
