#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "db/core/text.h"

namespace db {

// An entry of a table of names.
template <typename T>
struct Named {
  std::string_view name;
  T value;
};

// The value of the entry named `name` without regard to case; nothing when there is none.
template <typename T, size_t N>
std::optional<T> lookupName(const Named<T> (&table)[N], std::string_view name) {
  for (const auto& entry : table)
    if (iequals(entry.name, name)) return entry.value;
  return std::nullopt;
}

}  // namespace db
