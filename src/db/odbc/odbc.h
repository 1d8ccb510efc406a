#pragma once

#include <memory>
#include <optional>
#include <string>

#include "db/core/connection.h"

namespace db::odbc {

struct Options {
  std::string connectionString;            // an ODBC string: "DRIVER={...};SERVER=...;..."
  std::optional<int> loginTimeoutSeconds;  // default: kDefaultLoginTimeoutSeconds
  std::string password;  // the password inside connectionString, scrubbed from every message
};

inline constexpr int kDefaultLoginTimeoutSeconds = 15;

// Connects through the ODBC driver manager. Throws db::Error(ErrorKind::Connection) when the
// driver cannot be loaded or the server cannot be reached; the message never holds the password.
std::unique_ptr<Connection> open(const Options& options);

}  // namespace db::odbc
