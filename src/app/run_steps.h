#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "app/run_context.h"
#include "download/run_values.h"

namespace app {

// The steps the run controller calls into the schema synchronisation, the table download, the
// fiscal retrieval and the site features. Each group is one interface; a group not built into
// this program is served by its Unavailable* implementation, which writes one run-log line
// naming the step and reports "nothing was done" in the way the controller already treats as
// harmless (UpdateMSDECache answers false, so AplicaProcedures is not called; the others have
// no result). None of them claims success and none clears the run-success flag.

class SchemaSteps {
 public:
  virtual ~SchemaSteps() = default;
  // Reconciles the local structure with the central package; false when nothing was applied
  // (the caller then skips AplicaProcedures).
  virtual bool UpdateMSDECache(RunContext& run) = 0;
  virtual void AplicaProcedures(RunContext& run) = 0;
};

class ForeignKeySteps {
 public:
  virtual ~ForeignKeySteps() = default;
  // Runs once the download module's connections are open.
  virtual void applyForeignKeys(RunContext& run) = 0;
};

// The run values handed to the table download.
using DownloadRunValues = download::RunValues;

class DownloadSteps {
 public:
  virtual ~DownloadSteps() = default;
  // Clears the run-success flag itself when the download fails.
  virtual void iniciaBaixaTabelas(RunContext& run, const DownloadRunValues& values) = 0;
};

class SiteHookSteps {
 public:
  virtual ~SiteHookSteps() = default;
  // Each hook catches and logs its own failures; none raises.
  virtual void AplicaTriggerTrilobit(RunContext& run, const std::string& branch) = 0;
  virtual void AplicaProcedureTrielo(RunContext& run, const std::string& branch) = 0;
  virtual void ArredondaPrecoDia(RunContext& run) = 0;
  virtual void AplicaViewConsAtivo(RunContext& run) = 0;
};

// Where the branch keeps consumer data in a central consumer database.
struct ConsumerCentralTarget {
  std::string branch;
  std::string nmSqlNameDb;
  std::string nmSqlSchemaDb;
};

class ConsumerCentralSteps {
 public:
  virtual ~ConsumerCentralSteps() = default;
  virtual void setupDebit(RunContext& run, const ConsumerCentralTarget& target) = 0;
  virtual void setupStatement(RunContext& run, const ConsumerCentralTarget& target) = 0;
  virtual void setupPassword(RunContext& run, const ConsumerCentralTarget& target) = 0;
};

class FiscalSteps {
 public:
  virtual ~FiscalSteps() = default;
  // Mode and slots 1 to 8 are in run.slots.
  virtual void getSintegra(RunContext& run) = 0;
};

// The run-log line of a step this program does not carry out (yet).
void logNotBuiltIn(RunContext& run, std::string_view step);

// The step groups a run uses; unavailable() gives the do-nothing set.
struct RunSteps {
  std::unique_ptr<SchemaSteps> schema;
  std::unique_ptr<ForeignKeySteps> foreignKeys;
  std::unique_ptr<DownloadSteps> download;
  std::unique_ptr<SiteHookSteps> siteHooks;
  std::unique_ptr<ConsumerCentralSteps> consumerCentral;
  std::unique_ptr<FiscalSteps> fiscal;

  static RunSteps unavailable();
};

}  // namespace app
