#pragma once

#include <string>

#include "db/core/connection.h"
#include "download/later_stages.h"
#include "download/services.h"

namespace load {

// Set-based cleanups that keep expired or unlinked central data out of the local base. Every
// statement runs on the local connection (adcCliExp) with no time-out.
class PostLoadCleanup : public download::CleanupStage {
 public:
  // branch: the run's branch, read when the general price-table cleanup runs (the download
  // fills it in after the stages are built).
  PostLoadCleanup(db::Connection& local, const download::Services& services,
                  const std::string& branch)
      : local_(local), s_(services), branch_(branch) {}

  // Production routes whose validity ended before now; raises.
  void ApagaRotFabricaVencida() override;
  // Promotion groups whose validity ended, with their discounts first; raises.
  void ApagaGruPromocVencido() override;
  // Active operators no FILIOPER row links to a branch become inactive ('I'), never deleted.
  void InativaOperadores() override;
  // The branch's inactive products (PRODFILI) leave PRODUTO and the open orders, all in one
  // transaction: a failure rolls every delete back and raises.
  void ApagaProdutosInativosFilial() override;
  // General price tables no longer linked to the branch, with their days, items and validities.
  // Each statement commits on its own; a failure raises.
  void cleanGeneralPriceTables() override;
  // Screen configurations no register uses, or superseded on this register by a newer started
  // validity; errors reach the caller.
  void cleanScreenConfigurations(const std::string& branch,
                                 const std::string& cashRegister) override;

 private:
  db::Connection& local_;
  const download::Services& s_;
  const std::string& branch_;
};

}  // namespace load
