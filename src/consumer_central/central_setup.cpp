#include "consumer_central/central_setup.h"

#include <optional>
#include <stdexcept>

#include "consumer_central/central_names.h"
#include "consumer_central/central_steps.h"
#include "db/core/connection_string.h"

namespace consumer_central {
namespace {

constexpr std::string_view kSkipped = "Banco central de consumidores ignorado: a base ";
constexpr std::string_view kIsLocal = " seria a própria base local.";

}  // namespace

// One setup's run: its name for error texts, the checked names and the two connections.
class ConsumerCentralSetup::Run {
 public:
  Run(const SetupServices& services, std::string_view setup, const std::string& database,
      const std::string& schema)
      : services_(services), setup_(setup) {
    step("nomes do banco central", [&] { names_.emplace(database, schema); });
  }

  // Connects both databases; false when the central database would be the local one, which is
  // then left alone.
  bool connect() {
    std::string centralString;
    step("montando a conexão do banco central", [&] {
      centralString =
          db::siblingConnectionString(services_.localConnectionString, names_->database());
    });
    if (db::sameEmbeddedDatabase(services_.localConnectionString, centralString)) {
      services_.log(std::string(kSkipped) + names_->database() + std::string(kIsLocal), "3");
      return false;
    }
    step("conectando ao banco central " + names_->database(),
         [&] { central_ = &services_.central(centralString); });
    step("abrindo a base local", [&] { local_ = &services_.local(); });
    return true;
  }

  void procedure(std::string_view name) {
    step("recriando " + std::string(name) + " no banco central",
         [&] { recreateProcedure(*central_, *names_, name, services_.log); });
  }

  Probe probeTable(const CentralTable& table) { return probe(*local_, *names_, table.name); }

  // What the probe finds once the tables are there.
  Probe create(const std::vector<const CentralTable*>& tables) {
    const CentralSchemaSource source{*local_, db::loginName(services_.localConnectionString),
                                     services_.organisationNumber, services_.log};
    Probe found = Probe::Empty;
    step("criando " + listed(tables) + " no banco central",
         [&] { found = createCentralTables(*central_, *names_, source, tables); });
    return found;
  }

  void repairKey() { repairMoviclieKey(*central_, *names_, services_.log); }

  void copy(const std::vector<const CentralTable*>& tables) {
    step("copiando " + listed(tables) + " para o banco central",
         [&] { copyOnce(*local_, *names_, tables, services_.log); });
  }

  void trigger(const CopyTrigger& trigger) {
    step("criando ou reativando o gatilho " + std::string(trigger.name),
         [&] { ensureTrigger(*local_, *names_, trigger, services_.log); });
  }

 private:
  template <typename Step>
  void step(const std::string& what, Step&& run) {
    try {
      run();
    } catch (const std::exception& e) {
      throw std::runtime_error(std::string(setup_) + ", " + what + ": " + e.what());
    }
  }

  static std::string listed(const std::vector<const CentralTable*>& tables) {
    std::string text;
    for (const CentralTable* table : tables)
      text += (text.empty() ? "" : " e ") + std::string(table->name);
    return text;
  }

  const SetupServices& services_;
  std::string_view setup_;
  std::optional<CentralNames> names_;
  db::Connection* local_ = nullptr;
  db::Connection* central_ = nullptr;
};

void ConsumerCentralSetup::setupDebit(const std::string& database, const std::string& schema) {
  Run run(services_, "setupDebit", database, schema);
  if (!run.connect()) return;
  run.procedure("ATUALIZA_SALDO_CONS");
  Probe found = run.probeTable(moviclie());
  if (found == Probe::Missing) found = run.create({&moviclie()});
  run.repairKey();
  if (found != Probe::Filled) run.copy({&moviclie()});
  run.trigger(moviclieTrigger());
}

void ConsumerCentralSetup::setupStatement(const std::string& database, const std::string& schema) {
  Run run(services_, "setupStatement", database, schema);
  if (!run.connect()) return;
  run.procedure("ATUALIZA_SALDO_CONS_FKB");
  Probe found = run.probeTable(extratoCons());
  if (found == Probe::Missing) found = run.create({&extratoCons(), &saldoCons()});
  if (found != Probe::Filled) run.copy({&extratoCons(), &saldoCons()});
  run.trigger(extratoConsTrigger());
  run.trigger(saldoConsTrigger());
}

void ConsumerCentralSetup::setupPassword(const std::string& database, const std::string& schema) {
  Run run(services_, "setupPassword", database, schema);
  if (!run.connect()) return;
  Probe found = run.probeTable(senhaCons());
  if (found == Probe::Missing) found = run.create({&senhaCons()});
  if (found != Probe::Filled) run.copy({&senhaCons()});
  run.trigger(senhaConsTrigger());
}

}  // namespace consumer_central
