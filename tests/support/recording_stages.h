#pragma once

#include <functional>
#include <string>
#include <vector>

#include "download/later_stages.h"

namespace testing_support {

// Notes each call a stage receives in `calls`, by name and with its arguments, so that a test
// reads what was asked and in which order; `onCall` ties the calls into a test's own log too.
class StageRecorder {
 public:
  std::vector<std::string> calls;
  std::function<void(const std::string&)> onCall;

 protected:
  void record(std::string call) {
    if (onCall) onCall(call);
    calls.push_back(std::move(call));
  }
};

class RecordingCleanup : public download::CleanupStage, public StageRecorder {
 public:
  void ApagaRotFabricaVencida() override { record("ApagaRotFabricaVencida"); }
  void ApagaGruPromocVencido() override { record("ApagaGruPromocVencido"); }
  void InativaOperadores() override { record("InativaOperadores"); }
  void ApagaProdutosInativosFilial() override { record("ApagaProdutosInativosFilial"); }
  void cleanGeneralPriceTables() override { record("cleanGeneralPriceTables"); }
  void cleanScreenConfigurations(const std::string& branch,
                                 const std::string& cashRegister) override {
    record("cleanScreenConfigurations " + branch + "/" + cashRegister);
  }
};

// Runs are noted in `calls`; the emptied images, a list of 78 tables, in `emptied`.
class RecordingDeleteCache : public download::DeleteCacheStage, public StageRecorder {
 public:
  std::vector<std::string> emptied;

  void runDeleteCache(const std::string& branch, const std::string& cashRegister,
                      bool process) override {
    record("runDeleteCache " + branch + " " + cashRegister + (process ? " process" : ""));
  }
  void emptyCacheImagesOf(const std::vector<std::string>& tables) override { emptied = tables; }
};

}  // namespace testing_support
