#pragma once

#include <span>
#include <string_view>

namespace download {

// One level of an anticipated hierarchy: its table and, as one comma-separated text, the tables
// below it (empty for the last level).
struct HierarchyLevel {
  int level;  // 1-based
  std::string_view table;
  std::string_view children;
};

inline constexpr std::string_view kGroupPreco = "PRECO";
inline constexpr std::string_view kGroupLeiaute = "LEIAUTE";

std::span<const HierarchyLevel> hierarquiaPreco();
std::span<const HierarchyLevel> hierarquiaLeiaute();
// The hierarchy of a group ("PRECO" or "LEIAUTE"); std::invalid_argument for any other.
std::span<const HierarchyLevel> hierarchyOf(std::string_view group);

}  // namespace download
