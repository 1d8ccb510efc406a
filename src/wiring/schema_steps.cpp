#include "wiring/schema_steps.h"

#include <cstdio>
#include <stdexcept>

#include "platform/terminal.h"
#include "schema/package_retrieval.h"
#include "schema/procedures.h"
#include "schema/structure_update.h"
#include "wiring/structure_connection.h"

namespace wiring {
namespace {

// The package download's progress on the terminal, one line rewritten in place, and only when
// the kilobyte count moves.
schema::DownloadProgress terminalProgress() {
  if (!platform::isTerminal(stderr)) return {};
  return [total = int64_t{0}, shown = int64_t{-1}](int64_t received, int64_t expected) mutable {
    if (expected > 0) total = expected;
    if (received / 1024 == shown) return;
    shown = received / 1024;
    std::fprintf(stderr, "\r%s", schema::progressText(received, total).c_str());
    if (total > 0 && received >= total) std::fputc('\n', stderr);
  };
}

class SchemaSteps : public app::SchemaSteps {
 public:
  bool UpdateMSDECache(app::RunContext& run) override {
    app::BaixaEstruturaModule& module = run.connections.dtmBaixaEstrutura();
    if (!module.adcGeral) throw std::runtime_error("the local connection adcGeral is not open");
    schema::StructureUpdateServices services{
        run.package,
        [&run](std::string_view message, std::string_view level) {
          run.log.GravaLog(message, level);
        },
        terminalProgress(), [&run] { return run.connections.getVersaoBanco(); },
        [&run, &module]() -> db::Connection& {
          run.connections.ReopenADOEstrutura();
          return *module.adcGeral;
        }};
    schema::StructureUpdate update(*module.adcGeral, *module.netLocalCache, std::move(services));
    const bool done = update.UpdateMSDECache();
    if (!done) run.flag.clear();
    return done;
  }

  void AplicaProcedures(app::RunContext& run) override {
    // The result tells the log only: the controller goes on either way.
    schema::AplicaProcedures({[&run](std::string_view message, std::string_view level) {
                                run.log.GravaLog(message, level);
                              },
                              [&run] { run.connections.dtmBaixaEstrutura(); },
                              [&run]() -> db::Connection& { return adcGeral(run); },
                              [&run] { run.connections.CloseADOEstrutura(); },
                              run.package.UsedDatabase()});
  }
};

}  // namespace

std::unique_ptr<app::SchemaSteps> makeSchemaSteps() { return std::make_unique<SchemaSteps>(); }

}  // namespace wiring
