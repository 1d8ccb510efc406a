#include "wiring/run_steps_factory.h"

namespace wiring {

app::RunSteps buildRunSteps() {
  app::RunSteps steps = app::RunSteps::unavailable();
  return steps;
}

}  // namespace wiring
