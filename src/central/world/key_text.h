#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/core/value.h"

namespace central {

// The key text of a delete-cache row (DSKEYCACHE): one "COLUMN=value;" pair per key column.
// Date keys are written in the form the register compares them in: dd/mm/yyyy for the price
// items' validity start and the index date, compact yyyymmddhhnnss for every other date.
// Throws std::invalid_argument for a value holding ";", which the text cannot carry.
std::string cacheKeyText(std::string_view table, const std::vector<std::string>& columns,
                         const std::vector<db::Value>& values);

// One key value as it appears in the key text.
std::string keyValueText(std::string_view table, std::string_view column, const db::Value& value);

}  // namespace central
