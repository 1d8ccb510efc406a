#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/core/value.h"

namespace db {

// One "FIELD = value" comparison of a dataset filter.
struct FilterTerm {
  std::string field;
  Value value;
};

// Parses comparisons joined by AND (case-insensitive): FIELD = 'text' (quotes doubled inside),
// FIELD = 123 or 1.5, FIELD = NULL. Anything else raises db::Error (Syntax) naming the position.
std::vector<FilterTerm> parseFilter(std::string_view expression);

}  // namespace db
