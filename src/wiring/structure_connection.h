#pragma once

#include "app/run_context.h"
#include "db/core/connection.h"

namespace wiring {

// The structure module's local connection adcGeral, created with the module and opened with the
// stored connection string when closed.
db::Connection& adcGeral(app::RunContext& run);

}  // namespace wiring
