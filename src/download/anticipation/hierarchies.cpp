#include "download/anticipation/hierarchies.h"

#include <array>
#include <stdexcept>
#include <string>

#include "db/core/text.h"

namespace download {
namespace {

constexpr std::array<HierarchyLevel, 5> kPreco{{
    {1, "FILITABGER", "TABEPRECGER,TABEVENDGER,ITEMPRECOGER,ITEMPRECODIAGER"},
    {2, "TABEPRECGER", "TABEVENDGER,ITEMPRECOGER,ITEMPRECODIAGER"},
    {3, "TABEVENDGER", "ITEMPRECOGER,ITEMPRECODIAGER"},
    {4, "ITEMPRECOGER", "ITEMPRECODIAGER"},
    {5, "ITEMPRECODIAGER", ""},
}};

constexpr std::array<HierarchyLevel, 2> kLeiaute{{
    {1, "CONFTELA", "ITMENUCONFTE"},
    {2, "ITMENUCONFTE", ""},
}};

}  // namespace

std::span<const HierarchyLevel> hierarquiaPreco() { return kPreco; }
std::span<const HierarchyLevel> hierarquiaLeiaute() { return kLeiaute; }

std::span<const HierarchyLevel> hierarchyOf(std::string_view group) {
  if (db::iequals(group, kGroupPreco)) return kPreco;
  if (db::iequals(group, kGroupLeiaute)) return kLeiaute;
  throw std::invalid_argument("unknown hierarchy group \"" + std::string(group) + "\"");
}

}  // namespace download
