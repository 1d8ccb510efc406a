#include "download/anticipation/delete_cache_file.h"
#include "load/delete_cache.h"
#include "wiring/stage_factories.h"

namespace wiring {

std::unique_ptr<download::DeleteCacheStage> makeDeleteCacheStage(DownloadContext& context) {
  auto produtoSegFile = std::make_shared<download::ProdutoSegDeleteCacheFile>(
      context.local, context.files, context.services, context.state.vectors);
  download::DownloadState& state = context.state;
  return std::make_unique<load::DeleteCache>(
      context.local, context.services, state,
      [produtoSegFile, &state] { produtoSegFile->run(state.branch, state.cashRegister); });
}

}  // namespace wiring
