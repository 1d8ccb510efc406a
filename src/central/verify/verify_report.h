#pragma once

#include <functional>
#include <string>
#include <vector>

#include "central/verify/table_compare.h"

namespace central::verify {

struct Verification {
  std::string branch, registerCode;
  std::vector<TableResult> tables;
  bool equal() const;
};

// Called before each table with its name, its position (from 1) and the number of tables.
using Progress = std::function<void(const std::string& table, size_t index, size_t count)>;

Verification verifyRegister(db::Connection& central, db::Connection& local, const Model& model,
                            const std::string& branch, const std::string& registerCode,
                            const Progress& progress = {});

// One line per table, a line per differing key, and a closing verdict.
std::string renderText(const Verification& verification);
std::string renderJson(const Verification& verification);

}  // namespace central::verify
