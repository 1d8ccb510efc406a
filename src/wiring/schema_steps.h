#pragma once

#include <memory>

#include "app/run_steps.h"

namespace wiring {

// The structure update on the schema data module's connections, then the procedures, triggers
// and snapshot setting on its local connection.
std::unique_ptr<app::SchemaSteps> makeSchemaSteps();

}  // namespace wiring
