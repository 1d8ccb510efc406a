#pragma once

#include <string>

#include "app/run_steps.h"

// The database objects installed after a successful update for the site's equipment: the
// TRILOBIT turnstile's trigger, the TRIELO turnstile's access procedure, the daily price rounding
// and the consumer view of the turnstile integration. Each hook logs its own failure and never
// raises.
namespace site_hooks {

class SiteHooks final : public app::SiteHookSteps {
 public:
  void AplicaTriggerTrilobit(app::RunContext& run, const std::string& branch) override;
  void AplicaProcedureTrielo(app::RunContext& run, const std::string& branch) override;
  void ArredondaPrecoDia(app::RunContext& run) override;
  void AplicaViewConsAtivo(app::RunContext& run) override;
};

}  // namespace site_hooks
