#include "wiring/foreign_key_steps.h"

#include <stdexcept>

#include "schema/foreign_keys.h"

namespace wiring {
namespace {

class ForeignKeySteps : public app::ForeignKeySteps {
 public:
  void applyForeignKeys(app::RunContext& run) override {
    app::BaixaTabelasModule& module = run.connections.dtmBaixaTabelas();
    if (!module.adcCliExp) throw std::runtime_error("the local connection adcCliExp is not open");
    // The controller does not use the result: a key that fails has logged its own line.
    schema::applyForeignKeys(*module.adcCliExp, run.package.UsedDatabase(),
                             [&run](std::string_view message, std::string_view level) {
                               run.log.GravaLog(message, level);
                             });
  }
};

}  // namespace

std::unique_ptr<app::ForeignKeySteps> makeForeignKeySteps() {
  return std::make_unique<ForeignKeySteps>();
}

}  // namespace wiring
