#include "app/run_steps.h"

namespace app {
namespace {

class UnavailableSchemaSteps : public SchemaSteps {
 public:
  bool UpdateMSDECache(RunContext&) override { return false; }
  void AplicaProcedures(RunContext&) override {}
};

class UnavailableForeignKeySteps : public ForeignKeySteps {
 public:
  void applyForeignKeys(RunContext&) override {}
};

class UnavailableDownloadSteps : public DownloadSteps {
 public:
  void iniciaBaixaTabelas(RunContext&, const DownloadRunValues&) override {}
};

class UnavailableSiteHookSteps : public SiteHookSteps {
 public:
  void AplicaTriggerTrilobit(RunContext&, const std::string&) override {}
  void AplicaProcedureTrielo(RunContext&, const std::string&) override {}
  void ArredondaPrecoDia(RunContext&) override {}
  void AplicaViewConsAtivo(RunContext&) override {}
};

class UnavailableConsumerCentralSteps : public ConsumerCentralSteps {
 public:
  void setupDebit(RunContext&, const ConsumerCentralTarget&) override {}
  void setupStatement(RunContext&, const ConsumerCentralTarget&) override {}
  void setupPassword(RunContext&, const ConsumerCentralTarget&) override {}
};

class UnavailableFiscalSteps : public FiscalSteps {
 public:
  void getSintegra(RunContext&) override {}
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
