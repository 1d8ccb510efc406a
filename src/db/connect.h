#pragma once

#include <memory>
#include <string_view>

#include "db/core/connection.h"

namespace db {

// Opens a connection from an ADO-style connection string (see docs/connection-strings.md),
// choosing the engine the string names.
std::unique_ptr<Connection> connect(std::string_view adoConnectionString);

}  // namespace db
