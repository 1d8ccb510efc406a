#include "wiring/stage_factories.h"

namespace wiring {

std::unique_ptr<download::CleanupStage> makeCleanupStage(DownloadContext&) {
  return std::make_unique<download::CleanupStage>();
}

}  // namespace wiring
