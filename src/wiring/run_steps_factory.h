#pragma once

#include <chrono>

#include "app/run_steps.h"

namespace wiring {

// The step groups built into this program; groups not built in keep their do-nothing stand-ins.
// cleanupPause: how long the download pauses after each first-run cleanup of an uncontrolled
// table (one second unless a benchmark asks otherwise).
app::RunSteps buildRunSteps(std::chrono::seconds cleanupPause = std::chrono::seconds(1));

}  // namespace wiring
