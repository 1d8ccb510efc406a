#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace app {

// What names one local database, whatever the spelling of the connection string: the
// canonical file of the embedded engine, else the lower-cased server and database (or DSN) of
// an ODBC string. Empty when the string names nothing that can be told apart.
std::string localDatabaseIdentity(std::string_view connectionString);

// The identity a run locks: its local database, else its program directory.
std::string runIdentity(std::string_view connectionString,
                        const std::filesystem::path& programDirectory);

}  // namespace app
