#pragma once

#include <string>

struct sqlite3;

// SQL functions the catalogue views use:
//   kivtab_user()      the login the catalogue reports (the connection's USER ID)
//   kivtab_database()  the database's name
//   kivtab_databases() the server's databases besides the system ones, as a JSON array
namespace db::embedded::catalog {

void registerFunctions(sqlite3* db, const std::string& user, const std::string& database);

}  // namespace db::embedded::catalog
