#pragma once

#include <chrono>
#include <memory>

#include "app/run_steps.h"

namespace wiring {

// The table download as the run controller calls it: wires the download's services, state,
// statement-file transfer and later stages to the run, then runs the orchestrator. A failed
// download clears the run-success flag.
class DownloadStepsAdapter : public app::DownloadSteps {
 public:
  explicit DownloadStepsAdapter(std::chrono::seconds cleanupPause) : cleanupPause_(cleanupPause) {}
  void iniciaBaixaTabelas(app::RunContext& run, const app::DownloadRunValues& values) override;

 private:
  std::chrono::seconds cleanupPause_;
};

std::unique_ptr<app::DownloadSteps> makeDownloadSteps(std::chrono::seconds cleanupPause);

}  // namespace wiring
