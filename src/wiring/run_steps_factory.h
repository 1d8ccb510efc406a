#pragma once

#include "app/run_steps.h"

namespace wiring {

// The step groups built into this program; groups not built in keep their do-nothing stand-ins.
app::RunSteps buildRunSteps();

}  // namespace wiring
