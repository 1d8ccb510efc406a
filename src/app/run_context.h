#pragma once

#include "app/connections.h"
#include "app/error_log.h"
#include "app/run_flag.h"
#include "app/run_log.h"
#include "app/run_slots.h"
#include "outside/package/package.h"

namespace app {

// What a step of the run may reach: settings, logs, the run-success flag, the run's slots and
// the data modules with their connections.
struct RunContext {
  const outside::Package& package;
  RunLog& log;
  ErrorLog& errorLog;
  RunFlag& flag;
  const RunSlots& slots;
  Connections& connections;
};

}  // namespace app
