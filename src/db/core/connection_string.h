#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace db {

// One "Key=Value" item of an ADO-style connection string; the key trimmed, the value unquoted.
struct ConnectionItem {
  std::string key;
  std::string value;
};

// Splits "Key=Value;Key2='quoted;value';..." into items. Keys are trimmed and compared without
// regard to case; values may be quoted with ' or " (a doubled quote inside stands for one).
// Throws std::invalid_argument for an item without '=' or an unterminated quote; the message
// never repeats the string, which may hold a password.
std::vector<ConnectionItem> parseConnectionString(std::string_view connectionString);

// The value of the last item named `key` (case-insensitive), if any.
std::optional<std::string> findConnectionValue(const std::vector<ConnectionItem>& items,
                                               std::string_view key);

// The login name: the text after "USER ID=" in the upper-cased string up to the next ";"
// (looked for within the next 255 characters), upper-cased; empty when "USER ID=" is absent or
// no ";" follows in reach.
std::string loginName(std::string_view connectionString);

// The same connection string pointing at another database: everything up to and including
// "Catalog=", the database name, ";", then everything from "Data Source=" to the end. Whatever
// stood between the two is dropped. Throws std::invalid_argument when either key is missing, when
// "Data Source=" comes first, or when the name is blank or holds a ';'.
std::string replaceCatalog(std::string_view connectionString, std::string_view database);

// The connection string of database `database` on the server of `connectionString`, with the
// same credentials: replaceCatalog's text. For the embedded engine given a database file of
// another name, the file's folder (its server) stands in place of the file, so that the sibling
// database is opened and not this one; and Create=No, since connecting to a database never
// makes it on a server either. Throws as replaceCatalog does.
std::string siblingConnectionString(std::string_view connectionString, std::string_view database);

// The same connection string naming `provider`: its Provider item replaced, or put first when it
// has none; the other items kept in order (values holding ';', quotes or edge blanks quoted).
// Throws std::invalid_argument as parseConnectionString does.
std::string withProvider(std::string_view connectionString, std::string_view provider);

// Where a connection string leads.
enum class EngineKind { Embedded, SqlServerOdbc, OracleOdbc, Odbc };

struct EngineTarget {
  EngineKind kind = EngineKind::Embedded;
  std::string path;                        // Embedded: the database file or server folder
  std::string catalog;                     // Embedded: Initial Catalog, the database in a folder
  std::string workstationId;               // Workstation ID (HOST_NAME() on the server)
  std::string applicationName;             // Application Name (APP_NAME() on the server)
  std::string user;                        // Embedded: the login the catalogue reports
  bool create = true;                      // Embedded: create the file when missing
  std::string odbc;                        // ODBC kinds: the ODBC connection string
  std::optional<int> loginTimeoutSeconds;  // ODBC kinds: "Connect Timeout", when given
  std::string password;                    // ODBC kinds: kept only to scrub it from driver messages
};

// ODBC driver names the ADO providers map to.
struct OdbcDrivers {
  std::string sqlServer = "FreeTDS";
  std::string oracle = "Oracle";
  // The defaults, overridden by KIVTAB_ODBC_SQLSERVER_DRIVER and KIVTAB_ODBC_ORACLE_DRIVER.
  static OdbcDrivers fromEnvironment();
};

// Maps an ADO connection string to an engine (see docs/connection-strings.md). Throws
// std::invalid_argument for a missing or unknown provider or a missing data source.
EngineTarget mapConnectionString(std::string_view adoConnectionString,
                                 const OdbcDrivers& drivers = OdbcDrivers::fromEnvironment());

// True when both strings lead the embedded engine to one database file, as a catalog
// replacement does while the data source names the file itself. False for anything else,
// strings that cannot be mapped included.
bool sameEmbeddedDatabase(std::string_view a, std::string_view b);

// Writes one ODBC "KEY=value" item, bracing the value when it holds ';', '{', '}' or edge spaces.
std::string odbcItem(std::string_view key, std::string_view value);

}  // namespace db
