#include "wiring/structure_connection.h"

namespace wiring {

db::Connection& adcGeral(app::RunContext& run) {
  app::BaixaEstruturaModule& module = run.connections.dtmBaixaEstrutura();
  if (!module.adcGeral || !module.adcGeral->isOpen())
    module.adcGeral = run.connections.openLocal(run.package._GetStringConexKiv());
  return *module.adcGeral;
}

}  // namespace wiring
