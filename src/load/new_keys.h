#pragma once

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "db/core/value.h"

namespace load {

// What a merge step knows of the keys it writes into a table that was empty when the step
// began: a key it has not written yet matches no row, so its UPDATE would find nothing.
// Keys are compared loosely (by a hash, letters of either case, trailing blanks ignored): two
// keys the database might hold equal are never told apart, which at worst costs the UPDATE a
// new key could have skipped.
class NewKeys {
 public:
  NewKeys(bool tableStartedEmpty, size_t expected);

  // True when no local row can have this key; the key then counts as written.
  bool claim(const std::vector<db::Value>& keys);

 private:
  bool active_;
  std::unordered_set<uint64_t> written_;
};

}  // namespace load
