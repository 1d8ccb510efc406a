#pragma once

#include <cstddef>

#include "db/core/connection.h"

namespace db::embedded::procedural {

// A result set read whole, handed out as rows (a batch run through query()).
class ResultRows final : public Rows {
 public:
  explicit ResultRows(ResultSet set) : set_(std::move(set)) {}

  const std::vector<Column>& columns() const override { return set_.columns; }
  bool next() override { return ++position_ <= set_.rows.size(); }
  const Value& at(size_t index) const override { return set_.rows.at(position_ - 1).at(index); }

 private:
  ResultSet set_;
  size_t position_ = 0;
};

}  // namespace db::embedded::procedural
