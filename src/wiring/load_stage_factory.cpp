#include "load/load_driver.h"
#include "outside/package/message_box.h"
#include "wiring/stage_factories.h"

namespace wiring {

namespace {

// The central consumer mirror of the run, through the connections' helpers (which swallow
// their own failures).
class RunMirror : public load::CentralMirror {
 public:
  explicit RunMirror(app::Connections& connections) : connections_(connections) {}
  bool active() const override {
    return connections_.hasBaixaTabelas() && connections_.dtmBaixaTabelas().idSenConsCentral == "S";
  }
  void begin() override { connections_.beginBancoCentral(); }
  void commit() override { connections_.commitBancoCentral(); }
  void rollback() override { connections_.rollbackBancoCentral(); }
  db::Connection* connection() override {
    if (!active()) return nullptr;
    auto& central = connections_.dtmBaixaTabelas().adcBancoCentral;
    return central && central->isOpen() ? central.get() : nullptr;
  }

 private:
  app::Connections& connections_;
};

load::LoadEnvironment environmentOf(DownloadContext& context) {
  load::LoadEnvironment env;
  app::RunContext& run = context.run;
  download::DownloadState& state = context.state;
  env.log = [&run](std::string_view message, std::string_view level) {
    run.log.GravaLog(message, level);
  };
  env.logError = [&run, &state](std::string_view text) {
    run.errorLog.GravaLogErro(state.branch, state.cashRegister, text, "InsereMSDE");
  };
  env.showMessage = [](std::string_view text) { outside::Mensagem("E", text); };
  env.clearRunFlag = [&run] { run.flag.clear(); };
  env.processMessages = context.services.processMessages;
  env.now = context.services.now;
  env.programDirectory = run.package.programDirectory();
  return env;
}

// The load with the adapters it is built on, kept alive together.
class WiredLoad : public download::LoadStage {
 public:
  WiredLoad(DownloadContext& context, download::CleanupStage& cleanup,
            download::DeleteCacheStage& deleteCache)
      : files_(context.files),
        mirror_(context.run.connections),
        driver_(context.local, context.state, environmentOf(context),
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
