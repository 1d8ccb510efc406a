#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/core/value.h"
#include "download/ledger/request_dates.h"

namespace download {

// The steps the download orchestrator and the local load call in each other and in the
// anticipations and cleanups. Each interface has a do-nothing implementation for programs and
// tests built without that stage.

// The five values the orchestrator hands to the local load.
struct LoadRunValues {
  std::string branch;
  std::string cashRegister;
  std::string mode;
  bool flag = true;
  std::string tableCount;
};

// The local load: merges the handed-over client datasets into the local database.
class LoadStage {
 public:
  virtual ~LoadStage() = default;
  // True when the load succeeded; reports its own failures and does not raise.
  virtual bool ChamaInsereMSDE(const LoadRunValues& values, std::vector<db::Value>& salesVector) {
    (void)values;
    (void)salesVector;
    return true;
  }
  // Fills the 119 date slots of both request vectors from the local tables.
  virtual void BuscaDtUltAtuTabelas(RequestVectors& vectors) { (void)vectors; }
};

// Downloads that run ahead of the main request.
class AnticipationStage {
 public:
  virtual ~AnticipationStage() = default;
  virtual void anticipateConfTelaCaixa(const std::string& branch, const std::string& cashRegister) {
    (void)branch;
    (void)cashRegister;
  }
  // group is "PRECO" (empty register) or "LEIAUTE".
  virtual void antecipaPorHierarquia(const std::string& branch, const std::string& cashRegister,
                                     std::string_view group) {
    (void)branch;
    (void)cashRegister;
    (void)group;
  }
  virtual void catchUpConsumersByChangeDate(const std::string& branch) { (void)branch; }
  virtual void catchUpConsumersByClienFilial(const std::string& branch) { (void)branch; }
};

// The cleanups that follow a load, and the general price-table cleanup of the hand-over.
class CleanupStage {
 public:
  virtual ~CleanupStage() = default;
  virtual void ApagaRotFabricaVencida() {}
  virtual void ApagaGruPromocVencido() {}
  virtual void InativaOperadores() {}
  virtual void ApagaProdutosInativosFilial() {}
  virtual void cleanGeneralPriceTables() {}
  // The screen-configuration validity cleanup, run after CONFTELACAIXA is brought forward.
  virtual void cleanScreenConfigurations(const std::string& branch,
                                         const std::string& cashRegister) {
    (void)branch;
    (void)cashRegister;
  }
};

// Applies the deletions the central delete cache recorded.
class DeleteCacheStage {
 public:
  virtual ~DeleteCacheStage() = default;
  virtual void runDeleteCache(const std::string& branch, const std::string& cashRegister,
                              bool process) {
    (void)branch;
    (void)cashRegister;
    (void)process;
  }
  // Empties the delete-cache images of the named tables (after a full wipe).
  virtual void emptyCacheImagesOf(const std::vector<std::string>& tables) { (void)tables; }
};

}  // namespace download
