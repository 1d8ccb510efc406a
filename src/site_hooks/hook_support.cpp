#include "site_hooks/hook_support.h"

#include "site_hooks/site_hook_sql.h"

namespace site_hooks {
namespace {

constexpr std::string_view kSqlServerKind = "MSSQL";

}  // namespace

db::Connection& adcCliExp(app::RunContext& run) {
  app::BaixaTabelasModule& module = run.connections.dtmBaixaTabelas();
  if (!module.adcCliExp || !module.adcCliExp->isOpen())
    module.adcCliExp = run.connections.openLocal(run.package._GetStringConexKiv());
  return *module.adcCliExp;
}

bool isSqlServer(const app::RunContext& run) {
  return run.package.UsedDatabase() == kSqlServerKind;
}

std::string catracaTrilobit(db::Connection& local, const std::string& branch) {
  auto rows = local.query(sql::kCatracaTrilobit, {{"P_CDFILIAL", branch}});
  return rows->next() ? rows->at(0).asText() : std::string();
}

void logBanner(app::RunLog& log, std::initializer_list<std::string_view> lines) {
  log.GravaLog("", "3");
  for (std::string_view line : lines) log.GravaLog(line, "3");
}

}  // namespace site_hooks
