#pragma once

#include <string>
#include <vector>

#include "central/model/model.h"

// Which local tables a register must hold as the central data says, and how each is compared.
namespace central::verify {

enum class Comparison {
  Exact,               // the same rows
  CentralRowsPresent,  // every central row as it stands; rows deleted centrally may stay
  LocalKeysCentral,    // the cleanups after the load remove or alter rows: local keys are central
  SameKeys,            // several central rows meet in one local row: the same keys
};

struct TablePlan {
  std::string table;
  Comparison comparison = Comparison::Exact;
  std::vector<std::string> keyColumns;  // the key the register merges on; the central key else
  std::string note;                     // why the comparison is not exact; empty when it is
};

// The tables the load writes by key or replaces, in load order.
std::vector<TablePlan> verifyPlan(const Model& model);

const char* comparisonName(Comparison comparison);

}  // namespace central::verify
