#pragma once

#include <memory>

#include "app/run_steps.h"

namespace wiring {

// The structure update on the schema data module's connections. AplicaProcedures does nothing
// yet: procedures, triggers and the snapshot setting are installed by a later step.
std::unique_ptr<app::SchemaSteps> makeSchemaSteps();

}  // namespace wiring
