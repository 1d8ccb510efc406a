#include "wiring/consumer_central_steps.h"

#include "consumer_central/central_setup.h"
#include "wiring/structure_connection.h"

namespace wiring {
namespace {

constexpr std::string_view kDefaultOrganisation = "1";

class ConsumerCentralSteps : public app::ConsumerCentralSteps {
 public:
  void setupDebit(app::RunContext& run, const app::ConsumerCentralTarget& target) override {
    setup(run).setupDebit(target.nmSqlNameDb, target.nmSqlSchemaDb);
  }
  void setupStatement(app::RunContext& run, const app::ConsumerCentralTarget& target) override {
    setup(run).setupStatement(target.nmSqlNameDb, target.nmSqlSchemaDb);
  }
  void setupPassword(app::RunContext& run, const app::ConsumerCentralTarget& target) override {
    setup(run).setupPassword(target.nmSqlNameDb, target.nmSqlSchemaDb);
  }

 private:
  consumer_central::ConsumerCentralSetup setup(app::RunContext& run) {
    return consumer_central::ConsumerCentralSetup(
        {[&run](std::string_view message, std::string_view level) {
           run.log.GravaLog(message, level);
         },
         [&run]() -> db::Connection& { return adcGeral(run); }, run.package._GetStringConexKiv(),
         [this, &run](const std::string& connectionString) -> db::Connection& {
           return adcDebConsCentral(run, connectionString);
         },
         [&run] { return organisationNumber(run); }});
  }

  // Kept connected for the setups that follow in the run, unless they name another database.
  db::Connection& adcDebConsCentral(app::RunContext& run, const std::string& connectionString) {
    app::BaixaEstruturaModule& module = run.connections.dtmBaixaEstrutura();
    if (!module.adcDebConsCentral || !module.adcDebConsCentral->isOpen() ||
        connectionString != centralString_) {
      module.adcDebConsCentral.reset();
      module.adcDebConsCentral = run.connections.openLocal(connectionString);
      centralString_ = connectionString;
    }
    return *module.adcDebConsCentral;
  }

  // Asked of the structure server only when a central table's default names it.
  static std::string organisationNumber(app::RunContext& run) {
    outside::AppServer& server = *run.connections.dtmBaixaEstrutura().netLocalCache;
    if (!server.connected()) server.connect();
    const std::string number = server.call("GetNRORG").asText();
    return number.empty() ? std::string(kDefaultOrganisation) : number;
  }

  std::string centralString_;
};

}  // namespace

std::unique_ptr<app::ConsumerCentralSteps> makeConsumerCentralSteps() {
  return std::make_unique<ConsumerCentralSteps>();
}

}  // namespace wiring
