#include "site_hooks/site_hooks.h"

#include <stdexcept>

#include "site_hooks/hook_support.h"
#include "site_hooks/site_hook_sql.h"

namespace site_hooks {
namespace {

constexpr std::string_view kTrilobit = "S";
constexpr std::string_view kTrielo = "T";

const std::string kStars83(83, '*');
const std::string kStars82(82, '*');
const std::string kStars78(78, '*');

// A trigger writing to a turnstile table that is not there would fail every tab the register
// opens; the run log says why the trigger was left out instead.
void verifyTurnstileTable(db::Connection& local) {
  try {
    local.query(sql::kVerifPessoas);
  } catch (const std::exception& e) {
    throw std::runtime_error("Tabela PESSOAS do banco WSP da catraca inacessível: " +
                             std::string(e.what()));
  }
}

}  // namespace

void SiteHooks::AplicaTriggerTrilobit(app::RunContext& run, const std::string& branch) {
  guarded(run, [&] {
    // The drop reads SQL Server's catalogue; other kinds never hold the trigger.
    if (!isSqlServer(run)) return;
    db::Connection& local = adcCliExp(run);
    const std::string turnstile = catracaTrilobit(local, branch);
    local.execute(sql::kDropTriggerTrilobit);
    if (turnstile != kTrilobit) return;
    logBanner(
        run.log,
        {"**************************** UTILIZA CATRACA TRILOBIT *****************************",
         "****************** INÍCIO DA APLICAÇÃO DA TRIGGER NA COMANDAVEN *******************",
         kStars83});
    verifyTurnstileTable(local);
    local.execute(sql::kTriggerTrilobit);
    run.log.GravaLog("Aplicada Constraint UTILIZA_TRILOBIT", "3");
  });
}

void SiteHooks::AplicaProcedureTrielo(app::RunContext& run, const std::string& branch) {
  guarded(run, [&] {
    if (!isSqlServer(run)) return;
    db::Connection& local = adcCliExp(run);
    if (catracaTrilobit(local, branch) != kTrielo) return;
    logBanner(run.log,
              {"**************************** UTILIZA CATRACA TRIELO **************************",
               "****************** INÍCIO DA APLICAÇÃO DA PROCEDURE ACESSO *******************",
               kStars78});
    local.execute(sql::kDropaAcesso);
    local.execute(sql::kAcessoTricelo);
    run.log.GravaLog("Aplicada procedure ACESSO", "3");
  });
}

void SiteHooks::ArredondaPrecoDia(app::RunContext& run) {
  guarded(run, [&] { adcCliExp(run).execute(sql::kArredondaPrecoDia); });
}

void SiteHooks::AplicaViewConsAtivo(app::RunContext& run) {
  guarded(run, [&] {
    // The kind first: the version query is SQL Server's own.
    if (!isSqlServer(run) || run.connections.getVersaoBanco()) return;
    db::Connection& local = adcCliExp(run);
    local.execute(sql::kDropViewSaldoConsBIO);
    logBanner(
        run.log,
        {kStars82,
         "****************** INÍCIO DA APLICAÇÃO DA VIEW RETORNA_CONS_ATIVO *******************",
         kStars83});
    local.execute(sql::kViewSaldoConsBIO);
    run.log.GravaLog("Aplicada View RETORNA_CONS_ATIVO", "3");
  });
}

}  // namespace site_hooks
