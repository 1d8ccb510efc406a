#include "wiring/run_steps_factory.h"

#include "app/fiscal_retrieval.h"
#include "site_hooks/site_hooks.h"
#include "wiring/consumer_central_steps.h"
#include "wiring/download_steps.h"
#include "wiring/foreign_key_steps.h"
#include "wiring/schema_steps.h"

namespace wiring {

app::RunSteps buildRunSteps(std::chrono::seconds cleanupPause) {
  app::RunSteps steps = app::RunSteps::unavailable();
  steps.download = makeDownloadSteps(cleanupPause);
  steps.schema = makeSchemaSteps();
  steps.foreignKeys = makeForeignKeySteps();
  steps.consumerCentral = makeConsumerCentralSteps();
  steps.fiscal = std::make_unique<app::FiscalRetrieval>();
  steps.siteHooks = std::make_unique<site_hooks::SiteHooks>();
  return steps;
}

}  // namespace wiring
