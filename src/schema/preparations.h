#pragma once

#include "db/core/connection.h"
#include "schema/services.h"

namespace schema {

// The remote-execution table check: CTRLEXECREM is created when it cannot be read, in the
// local database's own dialect. A failing creation raises.
void checkRemoteExecutionTable(db::Connection& local, bool oracle = false);

// The three validity-model preparations, in order (configurations, promotion groups, product
// compositions): tables of the layout before validity dates are dropped so that the
// reconciliation creates them afresh. Never raise.
void prepareValidityModels(db::Connection& local, const LogLine& log);

}  // namespace schema
