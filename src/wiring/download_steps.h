#pragma once

#include <memory>

#include "app/run_steps.h"

namespace wiring {

// The table download as the run controller calls it: wires the download's services, state,
// statement-file transfer and later stages to the run, then runs the orchestrator. A failed
// download clears the run-success flag.
class DownloadStepsAdapter : public app::DownloadSteps {
 public:
  void iniciaBaixaTabelas(app::RunContext& run, const app::DownloadRunValues& values) override;
};

std::unique_ptr<app::DownloadSteps> makeDownloadSteps();

}  // namespace wiring
