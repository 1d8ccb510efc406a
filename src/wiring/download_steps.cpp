#include "wiring/download_steps.h"

#include <string>
#include <thread>

#include "download/orchestrator/orchestrator.h"
#include "download/statement_files/file_fetcher.h"
#include "load/staging.h"
#include "outside/package/message_box.h"
#include "wiring/download_context.h"
#include "wiring/stage_factories.h"

namespace wiring {
namespace {

download::Services servicesFor(app::RunContext& run, std::chrono::seconds cleanupPause) {
  download::Services services;
  services.waitOneSecond = [cleanupPause] { std::this_thread::sleep_for(cleanupPause); };
  services.log = [&run](std::string_view message, std::string_view level) {
    run.log.GravaLog(message, level);
  };
  services.showMessage = [](std::string_view message) { outside::Mensagem("E", message); };
  return services;
}

download::LocalDialect dialectOf(const outside::Package& package) {
  return package.UsedDatabase() == "ORACLE" ? download::LocalDialect::Oracle
                                            : download::LocalDialect::SqlServer;
}

}  // namespace

void DownloadStepsAdapter::iniciaBaixaTabelas(app::RunContext& run,
                                              const app::DownloadRunValues& values) {
  app::BaixaTabelasModule& module = run.connections.dtmBaixaTabelas();
  if (!module.adcCliExp || !module.netProcedimentos) {
    run.log.GravaLog("Except: conexões do módulo de baixa de tabelas não estão abertas", "3");
    run.flag.clear();
    return;
  }
  db::Connection& local = *module.adcCliExp;
  outside::AppServer& server = *module.netProcedimentos;
  const outside::Package& package = run.package;

  const download::Services services = servicesFor(run, cleanupPause_);
  download::DownloadState state;
  state.spoolDirectory = load::stagingDirectory(package.programDirectory());
  auto fetcher = download::makeHttpFileFetcher([&package] { return package.endpoint(); });
  download::ServerFileTransfer files(
      local, server, *fetcher, app::RunLog::directoryBelow(package.programDirectory()), services);
  if (const auto kept = package.setting(outside::Package::kZipBackupsKept)) {
    const auto count = kept->asInt();
    if (count && *count >= 1 && *count <= 10000) files.setBackupsKept(static_cast<int>(*count));
  }
  DownloadContext context{run, services, state, local, server, files};
  auto cleanup = makeCleanupStage(context);
  auto deleteCache = makeDeleteCacheStage(context);
  auto anticipation = makeAnticipationStage(context, *cleanup);
  auto load = makeLoadStage(context, *cleanup, *deleteCache);

  download::Orchestrator orchestrator(local, server, services, state,
                                      {*load, *anticipation, *cleanup}, dialectOf(package));
  if (!orchestrator.iniciaBaixaTabelas(values)) run.flag.clear();
}

std::unique_ptr<app::DownloadSteps> makeDownloadSteps(std::chrono::seconds cleanupPause) {
  return std::make_unique<DownloadStepsAdapter>(cleanupPause);
}

}  // namespace wiring
