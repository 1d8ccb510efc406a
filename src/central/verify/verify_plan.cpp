#include "central/verify/verify_plan.h"

#include <set>

#include "load/merge_tables.h"
#include "load/table_sequence.h"

namespace central::verify {
namespace {

// Tables the stages after the load change again (expired routes and promotions, operators,
// inactive products, general price tables, screen buttons, PRODUTOSEG's delete image) or that
// depend on a branch parameter (PRODFILI).
const std::set<std::string, std::less<>> kChangedAfterTheLoad = {
    "CONFTELA",        "DESGRUPROMOCPR", "DESGRUPROMPRFIL", "GRUPROMOCPRFIL", "GRUPROMOCPROD",
    "ITEMPRECODIAGER", "ITEMPRECOGER",   "ITMENUCONFTE",    "PRODUTO",        "ROTFABLOCAL",
    "ROTFABRICA",      "TABEPRECGER",    "TABEVENDGER",     "FILITABGER",     "OPERADOR",
    "PRODUTOSEG",      "PRODFILI"};

// Merged by branch and product while the central key also holds the tax code.
const std::set<std::string, std::less<>> kMergedOnPartOfTheKey = {"ALIQIMPFIS"};

TablePlan planOf(const Model& model, std::string_view table, bool replaced,
                 const std::vector<std::string_view>& mergeKeys = {}) {
  TablePlan plan;
  plan.table = std::string(table);
  for (auto key : mergeKeys) plan.keyColumns.emplace_back(key);
  if (plan.keyColumns.empty()) plan.keyColumns = model.table(table).keyColumns();
  const bool deletionsRecorded = !model.deleteCachesOf(table).empty();
  if (kMergedOnPartOfTheKey.contains(table)) {
    plan.comparison = Comparison::SameKeys;
    plan.note = "merged on part of the central key: keys compared";
  } else if (kChangedAfterTheLoad.contains(table)) {
    plan.comparison = Comparison::LocalKeysCentral;
    plan.note = "changed by the cleanups after the load: every local key must be central";
  } else if (!replaced && !deletionsRecorded) {
    plan.comparison = Comparison::CentralRowsPresent;
    plan.note = "central deletions are not recorded: every central row must be here";
  }
  return plan;
}

}  // namespace

std::vector<TablePlan> verifyPlan(const Model& model) {
  std::vector<TablePlan> plans;
  for (const auto& member : load::mergeTables()) {
    // Delivery history is kept only for orders found locally; the screen-register links are
    // the anticipation's, not the load's.
    if (member.has(load::kDeliveryHistory) || member.table == "CONFTELACAIXA") continue;
    if (!model.findTable(member.table)) continue;
    plans.push_back(planOf(model, member.table, member.has(load::kDeleteMissing), member.keys));
  }
  for (const auto& step : load::tableSequence()) {
    if (step.kind != load::StepKind::Replace || !model.findTable(step.table)) continue;
    plans.push_back(planOf(model, step.table, true));
  }
  return plans;
}

const char* comparisonName(Comparison comparison) {
  switch (comparison) {
    case Comparison::Exact:
      return "exact";
    case Comparison::CentralRowsPresent:
      return "central-rows-present";
    case Comparison::LocalKeysCentral:
      return "local-keys-central";
    case Comparison::SameKeys:
      return "same-keys";
  }
  return "exact";
}

}  // namespace central::verify
