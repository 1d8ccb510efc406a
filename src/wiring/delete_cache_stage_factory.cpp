#include "wiring/stage_factories.h"

namespace wiring {

std::unique_ptr<download::DeleteCacheStage> makeDeleteCacheStage(DownloadContext&) {
  return std::make_unique<download::DeleteCacheStage>();
}

}  // namespace wiring
