#pragma once

#include <cstdint>
#include <vector>

#include "central/model/model.h"
#include "central/world/row_plan.h"
#include "db/core/value.h"

namespace central::world {

// Makes the rows of one table of the world: row i is a pure function of (table, scale, seed, i).
// Key values are spread over the column domains, the first key column varying fastest, so that
// every key is distinct and the codes refer to rows of the other tables.
class RowMaker {
 public:
  RowMaker(const Table& table, int scale, uint64_t seed);

  int64_t rowCount() const { return rowCount_; }
  // Values in the table's column order.
  std::vector<db::Value> row(int64_t index) const;

 private:
  struct KeyPart {
    size_t column;  // index into the table's columns
    int64_t size;   // distinct values this key column takes
    bool free;      // no domain: the value is made from the index
  };

  db::Value keyValue(const KeyPart& part, int64_t index) const;
  db::Value plainValue(size_t column, int64_t row) const;
  uint64_t hash(int64_t row, size_t column) const;

  const Table& table_;
  int scale_;
  uint64_t seed_;
  TablePlan plan_;
  std::vector<KeyPart> key_;
  std::vector<bool> isKey_;
  int64_t rowCount_ = 0;
};

// A value of the column's type made from a number, within the column's width.
db::Value numberedValue(const Column& column, int64_t number);
// The width of a VARCHAR(n) type; 0 for other types and VARCHAR(MAX).
int varcharWidth(const std::string& type);

}  // namespace central::world
