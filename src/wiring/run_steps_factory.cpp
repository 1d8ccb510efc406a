#include "wiring/run_steps_factory.h"

#include "app/fiscal_retrieval.h"
#include "wiring/download_steps.h"
#include "wiring/foreign_key_steps.h"
#include "wiring/schema_steps.h"

namespace wiring {

app::RunSteps buildRunSteps() {
  app::RunSteps steps = app::RunSteps::unavailable();
  steps.download = makeDownloadSteps();
  steps.schema = makeSchemaSteps();
  steps.foreignKeys = makeForeignKeySteps();
  steps.fiscal = std::make_unique<app::FiscalRetrieval>();
  return steps;
}

}  // namespace wiring
