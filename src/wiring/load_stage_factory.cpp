#include "wiring/stage_factories.h"

namespace wiring {

std::unique_ptr<download::LoadStage> makeLoadStage(DownloadContext&, download::CleanupStage&,
                                                   download::DeleteCacheStage&) {
  return std::make_unique<download::LoadStage>();
}

}  // namespace wiring
