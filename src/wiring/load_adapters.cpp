#include "wiring/load_adapters.h"

#include "outside/package/message_box.h"

namespace wiring {

bool RunMirror::active() const {
  return connections_.hasBaixaTabelas() && connections_.dtmBaixaTabelas().idSenConsCentral == "S";
}

void RunMirror::begin() { connections_.beginBancoCentral(); }

void RunMirror::commit() { connections_.commitBancoCentral(); }

void RunMirror::rollback() { connections_.rollbackBancoCentral(); }

db::Connection* RunMirror::connection() {
  if (!active()) return nullptr;
  auto& central = connections_.dtmBaixaTabelas().adcBancoCentral;
  return central && central->isOpen() ? central.get() : nullptr;
}

load::LoadEnvironment loadEnvironmentOf(DownloadContext& context) {
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

}  // namespace wiring
