#include "central/server/whole_tables.h"

#include <algorithm>
#include <array>

#include "db/core/text.h"

namespace central::server {

bool travelsWhole(std::string_view table) {
  static constexpr std::array<std::string_view, 7> kWhole{
      "COMBINAPROD",  "CORPEDIDO",     "PARAMPRODFILI", "RELACCODSSL",
      "SUGESTAOITEM", "SUGESTAOVENDA", "TIPOSANGRIA"};
  return std::any_of(kWhole.begin(), kWhole.end(),
                     [&](std::string_view whole) { return db::iequals(whole, table); });
}

}  // namespace central::server
