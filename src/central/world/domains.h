#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/core/value.h"

namespace central::world {

// The values a column takes across the world, so that codes agree between tables: the products
// of ITEMPRECO are those of PRODUTO, the consumers of EXTRATOCONS those of CONSUMIDOR.
class Domain {
 public:
  virtual ~Domain() = default;
  virtual int64_t size(int scale) const = 0;  // distinct values in a world of this scale
  virtual db::Value value(int64_t index) const = 0;
};

// The domain of a column name, or nullptr when the name has none.
const Domain* domainOf(std::string_view columnName);

// The branches of the world; their registers are the CAIXA rows of the plan.
inline constexpr const char* kBranches[] = {"0001", "0002"};

}  // namespace central::world
