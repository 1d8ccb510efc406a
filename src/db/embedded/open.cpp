#include <sqlite3.h>

#include <filesystem>

#include "db/embedded/embedded.h"
#include "db/embedded/embedded_connection.h"
#include "db/embedded/extension.h"
#include "db/embedded/sql_functions.h"
#include "db/embedded/sqlite_error.h"

namespace db::embedded {
namespace {

constexpr std::string_view kSetupStatements[] = {
    "SELECT COUNT(*) FROM sqlite_master",  // fails at once on a file that is not a database
    "PRAGMA foreign_keys = ON",
    "PRAGMA journal_mode = WAL",
    "PRAGMA synchronous = NORMAL",
};

struct Handle {
  sqlite3* db = nullptr;
  ~Handle() {
    if (db) sqlite3_close_v2(db);
  }
};

[[noreturn]] void fail(sqlite3* db, int rc, const Options& options, std::string_view step) {
  const Error cause = sqliteError(db, rc, step);
  throw Error(cause.kind(), "Cannot open the database '" + options.path + "': " + cause.what(),
              std::string(step), cause.nativeCode());
}

}  // namespace

std::unique_ptr<Connection> open(const Options& options) {
  const bool memory = options.path.empty() || options.path == ":memory:";
  if (!memory && !options.create && !std::filesystem::exists(options.path))
    throw Error(ErrorKind::Connection,
                "Cannot open the database '" + options.path + "': the file does not exist");
  Handle handle;
  const int flags = SQLITE_OPEN_READWRITE | (options.create ? SQLITE_OPEN_CREATE : 0);
  int rc = sqlite3_open_v2(memory ? ":memory:" : options.path.c_str(), &handle.db, flags, nullptr);
  if (rc != SQLITE_OK) fail(handle.db, rc, options, "open");
  sqlite3_extended_result_codes(handle.db, 1);
  sqlite3_busy_timeout(handle.db, options.busyTimeoutMs);
  for (auto statement : kSetupStatements) {
    rc = sqlite3_exec(handle.db, std::string(statement).c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) fail(handle.db, rc, options, statement);
  }
  registerSqlFunctions(handle.db);
  catalog::install(handle.db, options.user);
  auto connection =
      std::make_unique<EmbeddedConnection>(handle.db, options.user, options.readsOnly);
  handle.db = nullptr;
  return connection;
}

}  // namespace db::embedded
