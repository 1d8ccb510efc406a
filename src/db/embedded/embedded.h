#pragma once

#include <memory>
#include <string>

#include "db/core/connection.h"

namespace db::embedded {

struct Options {
  // Data Source: the database file, a server folder (with `catalog`), or ":memory:" for a
  // private in-memory database.
  std::string path;
  std::string user = "dbo";  // login name the catalogue reports (USER ID of the connection string)
  bool create = true;        // create the file when it does not exist
  // How long a statement waits for another process to release the database before it fails
  // as busy; a register shares its database with the sales program.
  int busyTimeoutMs = 15'000;
  // A connection that only reads: its transactions take no write lock, so several read side by
  // side, each from the snapshot its first read sees, while a writer goes on.
  bool readsOnly = false;
  // Initial Catalog: the database NAME.db of the folder `path` names (ignored for a file).
  std::string catalog = {};
  std::string workstationId = {};    // what HOST_NAME() answers; the machine's name when empty
  std::string applicationName = {};  // what APP_NAME() answers
};

// Opens the embedded engine: SQLite underneath, speaking the T-SQL subset this program sends.
std::unique_ptr<Connection> open(const Options& options);

}  // namespace db::embedded
