#pragma once

#include <memory>

#include "download/later_stages.h"
#include "wiring/download_context.h"

namespace wiring {

// One factory per stage, each in its own file, so that a stage built into the program replaces
// its do-nothing default there and nowhere else. Built in this order: cleanup, delete cache,
// anticipation, load.
std::unique_ptr<download::CleanupStage> makeCleanupStage(DownloadContext& context);
std::unique_ptr<download::DeleteCacheStage> makeDeleteCacheStage(DownloadContext& context);
std::unique_ptr<download::AnticipationStage> makeAnticipationStage(DownloadContext& context,
                                                                   download::CleanupStage& cleanup);
std::unique_ptr<download::LoadStage> makeLoadStage(DownloadContext& context,
                                                   download::CleanupStage& cleanup,
                                                   download::DeleteCacheStage& deleteCache);

}  // namespace wiring
