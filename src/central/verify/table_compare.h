#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "central/model/model.h"
#include "central/verify/verify_plan.h"
#include "db/core/connection.h"

namespace central::verify {

struct TableResult {
  TablePlan plan;
  bool equal = false;
  int64_t localRows = 0, centralRows = 0;
  std::string localHash, centralHash;  // over the compared columns, independent of row order
  std::vector<std::string> comparedColumns;
  std::vector<std::string> differingKeys;  // the first ones, as "COL=value;COL=value"
  std::string error;                       // the table could not be read locally
};

// At most this many differing keys are reported per table.
constexpr size_t kReportedKeys = 10;

// Compares one table: the local rows against the central rows of the branch, over the columns
// both sides have, leaving out the update column (the delete cache moves it forward) and
// MESA's register-owned status.
TableResult compareTable(db::Connection& central, db::Connection& local, const Model& model,
                         const TablePlan& plan, const std::string& branch);

}  // namespace central::verify
