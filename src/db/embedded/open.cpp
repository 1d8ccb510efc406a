#include <sqlite3.h>

#include <filesystem>

#include "db/embedded/embedded.h"
#include "db/embedded/embedded_connection.h"
#include "db/embedded/extension.h"
#include "db/embedded/server/server_folder.h"
#include "db/embedded/server/session_functions.h"
#include "db/embedded/sql_functions.h"
#include "db/embedded/sqlite_error.h"
#include "platform/host_name.h"

namespace db::embedded {
namespace {

constexpr std::string_view kSetupStatements[] = {
    "SELECT COUNT(*) FROM sqlite_master",  // fails at once on a file that is not a database
    "PRAGMA foreign_keys = ON",
    "PRAGMA journal_mode = WAL",
    "PRAGMA synchronous = NORMAL",
};

// Nothing reads SQLite's memory statistics, and keeping them takes a global lock on every
// allocation. Only possible before the library's first use; a refusal changes nothing else.
void dropMemoryStatistics() {
  static const int refusedOrDone = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  (void)refusedOrDone;
}

struct Handle {
  sqlite3* db = nullptr;
  ~Handle() {
    if (db) sqlite3_close_v2(db);
  }
};

// Where the database lives: its file, the server folder around it and its name there.
struct Location {
  std::string file;  // ":memory:" for a private in-memory database
  std::filesystem::path folder;
  std::string database;
};

Location locate(const Options& options) {
  if (options.path.empty() || options.path == ":memory:") return {":memory:", {}, "main"};
  const std::filesystem::path source(options.path);
  std::error_code ec;
  if (std::filesystem::is_directory(source, ec)) {
    if (options.catalog.empty())
      throw Error(ErrorKind::Connection, "Cannot open the database: the Data Source '" +
                                             options.path +
                                             "' is a folder and no Initial Catalog names the "
                                             "database in it");
    try {
      const auto file = server::databaseFile(source, options.catalog);
      return {file.string(), source, file.stem().string()};
    } catch (const Error& e) {
      throw Error(ErrorKind::Connection, std::string("Cannot open the database: ") + e.what());
    }
  }
  const auto absolute = std::filesystem::absolute(source, ec);
  return {options.path, ec ? source.parent_path() : absolute.parent_path(), source.stem().string()};
}

[[noreturn]] void fail(sqlite3* db, int rc, const std::string& file, std::string_view step) {
  const Error cause = sqliteError(db, rc, step);
  throw Error(cause.kind(), "Cannot open the database '" + file + "': " + cause.what(),
              std::string(step), cause.nativeCode());
}

}  // namespace

std::unique_ptr<Connection> open(const Options& options) {
  const Location location = locate(options);
  const bool memory = location.file == ":memory:";
  if (!memory && !options.create && !std::filesystem::exists(location.file))
    throw Error(ErrorKind::Connection,
                "Cannot open the database '" + location.file + "': the file does not exist");
  Handle handle;
  dropMemoryStatistics();
  // A connection is only ever used by one thread at a time (the central server leases each to
  // one request), so SQLite's own lock around every call is not needed.
  const int flags =
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (options.create ? SQLITE_OPEN_CREATE : 0);
  int rc = sqlite3_open_v2(location.file.c_str(), &handle.db, flags, nullptr);
  if (rc != SQLITE_OK) fail(handle.db, rc, location.file, "open");
  sqlite3_extended_result_codes(handle.db, 1);
  sqlite3_busy_timeout(handle.db, options.busyTimeoutMs);
  for (auto statement : kSetupStatements) {
    rc = sqlite3_exec(handle.db, std::string(statement).c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) fail(handle.db, rc, location.file, statement);
  }
  auto session = server::openSession(
      {.user = options.user,
       .hostName = options.workstationId.empty() ? platform::hostName() : options.workstationId,
       .applicationName = options.applicationName,
       .database = location.database,
       .folder = location.folder});
  registerSqlFunctions(handle.db);
  catalog::install(handle.db, options.user);
  server::registerSessionFunctions(handle.db, session);
  auto connection =
      std::make_unique<EmbeddedConnection>(handle.db, options.user, session, options.readsOnly);
  handle.db = nullptr;
  connection->restoreViews();
  return connection;
}

}  // namespace db::embedded
