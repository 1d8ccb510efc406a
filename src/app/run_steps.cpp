#include "app/run_steps.h"

namespace app {

void logNotBuiltIn(RunContext& run, std::string_view step) {
  run.log.GravaLog("Etapa não incluída neste programa: " + std::string(step), "3");
}

namespace {

class UnavailableSchemaSteps : public SchemaSteps {
 public:
  bool UpdateMSDECache(RunContext& run) override {
    logNotBuiltIn(run, "UpdateMSDECache");
    return false;
  }
  void AplicaProcedures(RunContext& run) override { logNotBuiltIn(run, "AplicaProcedures"); }
};

class UnavailableForeignKeySteps : public ForeignKeySteps {
 public:
  void applyForeignKeys(RunContext& run) override { logNotBuiltIn(run, "applyForeignKeys"); }
};

class UnavailableDownloadSteps : public DownloadSteps {
 public:
  void iniciaBaixaTabelas(RunContext& run, const DownloadRunValues&) override {
    logNotBuiltIn(run, "iniciaBaixaTabelas");
  }
};

class UnavailableSiteHookSteps : public SiteHookSteps {
 public:
  void AplicaTriggerTrilobit(RunContext& run, const std::string&) override {
    logNotBuiltIn(run, "AplicaTriggerTrilobit");
  }
  void AplicaProcedureTrielo(RunContext& run, const std::string&) override {
    logNotBuiltIn(run, "AplicaProcedureTrielo");
  }
  void ArredondaPrecoDia(RunContext& run) override { logNotBuiltIn(run, "ArredondaPrecoDia"); }
  void AplicaViewConsAtivo(RunContext& run) override { logNotBuiltIn(run, "AplicaViewConsAtivo"); }
};

class UnavailableConsumerCentralSteps : public ConsumerCentralSteps {
 public:
  void setupDebit(RunContext& run, const ConsumerCentralTarget&) override {
    logNotBuiltIn(run, "setupDebit");
  }
  void setupStatement(RunContext& run, const ConsumerCentralTarget&) override {
    logNotBuiltIn(run, "setupStatement");
  }
  void setupPassword(RunContext& run, const ConsumerCentralTarget&) override {
    logNotBuiltIn(run, "setupPassword");
  }
};

class UnavailableFiscalSteps : public FiscalSteps {
 public:
  void getSintegra(RunContext& run) override { logNotBuiltIn(run, "getSintegra"); }
};

}  // namespace

RunSteps RunSteps::unavailable() {
  RunSteps steps;
  steps.schema = std::make_unique<UnavailableSchemaSteps>();
  steps.foreignKeys = std::make_unique<UnavailableForeignKeySteps>();
  steps.download = std::make_unique<UnavailableDownloadSteps>();
  steps.siteHooks = std::make_unique<UnavailableSiteHookSteps>();
  steps.consumerCentral = std::make_unique<UnavailableConsumerCentralSteps>();
  steps.fiscal = std::make_unique<UnavailableFiscalSteps>();
  return steps;
}

}  // namespace app
