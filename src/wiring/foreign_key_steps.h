#pragma once

#include <memory>

#include "app/run_steps.h"

namespace wiring {

// The foreign keys of the sale and order tables, on the download module's local connection.
std::unique_ptr<app::ForeignKeySteps> makeForeignKeySteps();

}  // namespace wiring
