#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/embedded/server/session.h"

struct sqlite3;

// SQL functions answering from the connection's session:
//   HOST_NAME(), APP_NAME(), DB_NAME([id]), SCOPE_IDENTITY()
//   KIVTAB_SPID()            @@SPID
//   KIVTAB_INPUTBUFFER(spid) the EventInfo of DBCC INPUTBUFFER; fails for an unknown session
//   kivtab_databases()       the server's databases after the system ones, as a JSON array
namespace db::embedded::server {

void registerSessionFunctions(sqlite3* db, std::shared_ptr<Session> session);

// The server's databases in sys.databases order: the system databases, then the folder's.
std::vector<std::string> serverDatabases(const Session& session);

}  // namespace db::embedded::server
