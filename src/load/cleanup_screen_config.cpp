#include <string>
#include <vector>

#include "load/cleanup.h"
#include "load/cleanup_statements.h"

namespace load {
namespace {

struct ScreenConfiguration {
  db::Value branch;
  db::Value number;
  db::Value validityStart;
};

std::vector<ScreenConfiguration> readConfigurations(db::Statement& select) {
  auto rows = select.query();
  std::vector<ScreenConfiguration> found;
  while (rows->next()) found.push_back({rows->at(0), rows->at(1), rows->at(2)});
  return found;
}

// The unit step of both passes: the configuration's menu items, then the configuration.
void removeConfiguration(db::Connection& conn, const ScreenConfiguration& conf) {
  const db::Params key{{"P_CDFILIAL", conf.branch},
                       {"P_NRCONFTELA", conf.number},
                       {"P_DTINIVIGENCIA", conf.validityStart}};
  for (std::string_view statement :
       {cleanup_sql::kDelItMenuAntiga, cleanup_sql::kDelConfTelaAntiga}) {
    auto& remove = conn.prepare(statement);
    remove.bind(key);
    remove.execute();
  }
}

// True while the configuration is still the newest validity of at least one register.
bool stillNewestSomewhere(db::Connection& conn, const ScreenConfiguration& conf) {
  auto& select = conn.prepare(cleanup_sql::kSelVdConfUnica);
  select.bind({{"P_CDFILIAL", conf.branch}, {"P_NRCONFTELA", conf.number}});
  return select.query()->next();
}

}  // namespace

void PostLoadCleanup::cleanScreenConfigurations(const std::string& branch,
                                                const std::string& cashRegister) {
  s_.log("Limpando Configurações de Caixa de acordo com as vigências:", "2");

  const auto orphans = readConfigurations(local_.prepare(cleanup_sql::kSelConfInexistente));
  if (!orphans.empty()) {
    s_.log("-Limpando Configurações de Caixa sem vigência cadastrada.", "2");
    for (const auto& conf : orphans) removeConfiguration(local_, conf);
  }

  auto& superseded = local_.prepare(cleanup_sql::kSelConfTelaAntiga);
  superseded.bind(
      {{"P_CDFILIAL", branch}, {"P_CDCAIXA", cashRegister}, {"P_HOJE", s_.now().date()}});
  const auto old = readConfigurations(superseded);
  if (old.empty()) return;
  s_.log("-Limpando Configurações de Caixa com vigências vencidas.", "2");
  for (const auto& conf : old)
    if (!stillNewestSomewhere(local_, conf)) removeConfiguration(local_, conf);
}

}  // namespace load
