#pragma once

#include <string>

namespace odbc_test {

// Registers the SQLite ODBC driver as "KivSQLite" and FreeTDS as "FreeTDS" in a private
// odbcinst.ini and points the driver manager at it; returns the directory that holds it.
const std::string& registerDrivers();

// A fresh, empty database file for the SQLite ODBC driver.
std::string freshDatabasePath(const std::string& name);

}  // namespace odbc_test
