#pragma once

#include <cstdint>
#include <vector>

#include "db/core/value.h"
#include "db/embedded/statement_core.h"
#include "db/embedded/translate/translation.h"

namespace db::embedded {

class EmbeddedConnection;

// Carries out SELECT ... INTO: creates `translation.target` with the names and declared types
// of the SELECT's columns (so date and text columns keep reading as such) and fills it, all or
// nothing. Returns the rows copied.
int64_t selectInto(EmbeddedConnection& connection, StatementCore& select,
                   const Translation& translation, const std::vector<Value>& parameters);

}  // namespace db::embedded
