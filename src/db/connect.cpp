#include "db/connect.h"

#include <stdexcept>

#include "db/core/connection.h"
#include "db/core/connection_string.h"
#include "db/embedded/embedded.h"
#include "db/odbc/odbc.h"

namespace db {

std::unique_ptr<Connection> connect(std::string_view adoConnectionString) {
  EngineTarget target;
  try {
    target = mapConnectionString(adoConnectionString);
  } catch (const std::invalid_argument& e) {
    throw Error(ErrorKind::Connection, std::string("Invalid connection string: ") + e.what());
  }
  if (target.kind == EngineKind::Embedded)
    return embedded::open({.path = target.path,
                           .user = target.user,
                           .create = target.create,
                           .catalog = target.catalog,
                           .workstationId = target.workstationId,
                           .applicationName = target.applicationName});
  return odbc::open({target.odbc, target.loginTimeoutSeconds, target.password});
}

}  // namespace db
