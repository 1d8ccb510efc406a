#include "load/cleanup.h"
#include "wiring/stage_factories.h"

namespace wiring {

std::unique_ptr<download::CleanupStage> makeCleanupStage(DownloadContext& context) {
  return std::make_unique<load::PostLoadCleanup>(context.local, context.services,
                                                 context.state.branch);
}

}  // namespace wiring
