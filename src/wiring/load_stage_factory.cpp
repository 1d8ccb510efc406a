#include "load/load_driver.h"
#include "wiring/load_adapters.h"
#include "wiring/stage_factories.h"

namespace wiring {

namespace {

// The load with the adapters it is built on, kept alive together.
class WiredLoad : public download::LoadStage {
 public:
  WiredLoad(DownloadContext& context, download::CleanupStage& cleanup,
            download::DeleteCacheStage& deleteCache)
      : files_(context.files),
        mirror_(context.run.connections),
        driver_(context.local, context.state, loadEnvironmentOf(context),
                load::LoadParts{context.files.keepAlive(), context.server, files_, mirror_, cleanup,
                                deleteCache}) {}

  bool ChamaInsereMSDE(const download::LoadRunValues& values,
                       std::vector<db::Value>& salesVector) override {
    return driver_.ChamaInsereMSDE(values, salesVector);
  }
  void BuscaDtUltAtuTabelas(download::RequestVectors& vectors) override {
    driver_.BuscaDtUltAtuTabelas(vectors);
  }

 private:
  load::TransferFiles files_;
  RunMirror mirror_;
  load::LoadDriver driver_;
};

}  // namespace

std::unique_ptr<download::LoadStage> makeLoadStage(DownloadContext& context,
                                                   download::CleanupStage& cleanup,
                                                   download::DeleteCacheStage& deleteCache) {
  return std::make_unique<WiredLoad>(context, cleanup, deleteCache);
}

}  // namespace wiring
