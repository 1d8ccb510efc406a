#include "db/embedded/server/databases.h"

#include <sqlite3.h>

#include "db/core/text.h"
#include "db/embedded/catalog/metadata.h"
#include "db/embedded/catalog/sqlite_access.h"
#include "db/embedded/server/server_folder.h"
#include "db/embedded/sqlite_error.h"

namespace db::embedded::server {
namespace {

constexpr std::string_view kAttach = "ATTACH DATABASE ?1 AS ?2";
constexpr std::string_view kWalJournal = "PRAGMA journal_mode = WAL";

// Names SQLite keeps for itself; a database called so cannot be attached under its name.
bool isReservedSchema(std::string_view name) {
  return iequals(name, "main") || iequals(name, "temp");
}

[[noreturn]] void missing(std::string_view name) {
  throw Error(ErrorKind::General, "Database '" + std::string(name) +
                                      "' does not exist. Make sure that the name is entered "
                                      "correctly.");
}

}  // namespace

void initialiseDatabase(sqlite3* db) {
  sqlite::exec(db, kWalJournal);
  catalog::createMetadataTables(db);
}

Databases::Databases(sqlite3* db, std::shared_ptr<Session> session)
    : db_(db), session_(std::move(session)) {}

bool Databases::isCurrent(std::string_view name) const { return iequals(name, session_->database); }

std::string Databases::schemaOf(std::string_view name) {
  if (isCurrent(name)) return "main";
  checkDatabaseName(name);
  if (auto it = attached_.find(upper(name)); it != attached_.end()) return it->second;
  if (session_->folder.empty()) missing(name);
  const auto file = databaseFile(session_->folder, name);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) missing(name);
  const std::string schema = file.stem().string();
  if (isReservedSchema(schema))
    throw Error(ErrorKind::Unsupported,
                "The embedded database engine cannot reach a database "
                "named '" +
                    schema + "' by a three-part name");
  if (!db_) throw Error(ErrorKind::Connection, "The connection is closed");
  sqlite::Stmt attach(db_, kAttach);
  attach.bind(1, file.string()).bind(2, schema).run();
  attached_[upper(name)] = schema;
  return schema;
}

void Databases::create(std::string_view name) {
  const std::string statement = "CREATE DATABASE " + std::string(name);
  if (!db_) throw Error(ErrorKind::Connection, "The connection is closed", statement);
  if (sqlite3_get_autocommit(db_) == 0)
    throw Error(ErrorKind::General,
                "CREATE DATABASE statement not allowed within multi-statement transaction.",
                statement);
  if (session_->folder.empty())
    throw Error(ErrorKind::Unsupported,
                "CREATE DATABASE needs a server folder; this connection's database is a private "
                "in-memory one",
                statement);
  const auto file = databaseFile(session_->folder, name);
  std::error_code ec;
  if (isCurrent(name) || std::filesystem::exists(file, ec))
    throw Error(
        ErrorKind::General,
        "Database '" + std::string(name) + "' already exists. Choose a different database name.",
        statement);
  sqlite3* created = nullptr;
  const int rc =
      sqlite3_open_v2(file.c_str(), &created, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  try {
    if (rc != SQLITE_OK) throwSqliteError(created, rc, statement);
    initialiseDatabase(created);
  } catch (...) {
    sqlite3_close_v2(created);
    std::filesystem::remove(file, ec);
    throw;
  }
  sqlite3_close_v2(created);
}

}  // namespace db::embedded::server
