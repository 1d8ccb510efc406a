#include "central/verify/verify_report.h"

#include <nlohmann/json.hpp>
#include <sstream>

namespace central::verify {

bool Verification::equal() const {
  for (const auto& table : tables)
    if (!table.equal) return false;
  return true;
}

Verification verifyRegister(db::Connection& central, db::Connection& local, const Model& model,
                            const std::string& branch, const std::string& registerCode,
                            const Progress& progress) {
  Verification verification;
  verification.branch = branch;
  verification.registerCode = registerCode;
  const auto plans = verifyPlan(model);
  for (size_t i = 0; i < plans.size(); ++i) {
    if (progress) progress(plans[i].table, i + 1, plans.size());
    verification.tables.push_back(compareTable(central, local, model, plans[i], branch));
  }
  return verification;
}

std::string renderText(const Verification& verification) {
  std::ostringstream out;
  size_t differing = 0;
  for (const auto& t : verification.tables) {
    out << (t.equal ? "equal    " : "DIFFERS  ") << t.plan.table << ": local " << t.localRows
        << " rows " << t.localHash << ", central " << t.centralRows << " rows " << t.centralHash;
    if (!t.plan.note.empty()) out << " (" << t.plan.note << ")";
    out << "\n";
    if (!t.error.empty()) out << "    " << t.error << "\n";
    for (const auto& key : t.differingKeys) out << "    key " << key << "\n";
    if (!t.equal) ++differing;
  }
  out << "branch " << verification.branch << " register " << verification.registerCode << ": "
      << verification.tables.size() << " tables, " << differing << " differ\n";
  return out.str();
}

std::string renderJson(const Verification& verification) {
  nlohmann::json tables = nlohmann::json::array();
  for (const auto& t : verification.tables) {
    nlohmann::json table = {{"table", t.plan.table},
                            {"comparison", comparisonName(t.plan.comparison)},
                            {"equal", t.equal},
                            {"localRows", t.localRows},
                            {"centralRows", t.centralRows},
                            {"localHash", t.localHash},
                            {"centralHash", t.centralHash},
                            {"columns", t.comparedColumns},
                            {"differingKeys", t.differingKeys}};
    if (!t.plan.note.empty()) table["note"] = t.plan.note;
    if (!t.error.empty()) table["error"] = t.error;
    tables.push_back(std::move(table));
  }
  nlohmann::json report = {{"branch", verification.branch},
                           {"register", verification.registerCode},
                           {"equal", verification.equal()},
                           {"tables", std::move(tables)}};
  return report.dump(2) + "\n";
}

}  // namespace central::verify
