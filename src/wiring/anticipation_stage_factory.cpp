#include "wiring/stage_factories.h"

namespace wiring {

std::unique_ptr<download::AnticipationStage> makeAnticipationStage(DownloadContext&,
                                                                   download::CleanupStage&) {
  return std::make_unique<download::AnticipationStage>();
}

}  // namespace wiring
