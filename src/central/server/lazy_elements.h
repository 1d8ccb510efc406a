#pragma once

#include <functional>
#include <string>

#include "central/server/method_table.h"
#include "db/core/value.h"

namespace central::server {

// An element whose value is known when the method answers (a null, a text).
LazyElement valueElement(db::Value value);
// An element that is a data packet, built when the reply reaches it and written straight into
// the reply's text.
LazyElement packetElement(std::function<std::string()> build);

}  // namespace central::server
