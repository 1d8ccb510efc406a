#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "db/core/value.h"

namespace central::world {

// Rows a table must hold with exactly these values (the rest of each row is generated).
using FixedValues = std::map<std::string, db::Value, std::less<>>;

struct TablePlan {
  int64_t fixedRows = 0;
  int64_t rowsPerScale = 0;
  std::vector<FixedValues> fixedValues;  // when not empty, exactly these rows
};

// How the world fills a table; tables not named get a handful of rows.
TablePlan planFor(std::string_view table);

}  // namespace central::world
