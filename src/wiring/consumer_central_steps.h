#pragma once

#include <memory>

#include "app/run_steps.h"

namespace wiring {

// The central consumer database setups on the structure module's connections: adcGeral for the
// local database and adcDebConsCentral for the central one.
std::unique_ptr<app::ConsumerCentralSteps> makeConsumerCentralSteps();

}  // namespace wiring
