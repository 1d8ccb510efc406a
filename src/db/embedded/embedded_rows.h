#pragma once

#include <memory>
#include <vector>

#include "db/core/connection.h"
#include "db/embedded/statement_core.h"

namespace db::embedded {

// The rows of one run of a prepared statement. Running the statement again, or closing the
// connection, ends them: next() then raises instead of reading another run's rows.
class EmbeddedRows final : public Rows {
 public:
  explicit EmbeddedRows(std::shared_ptr<StatementCore> core);
  ~EmbeddedRows() override;

  const std::vector<Column>& columns() const override { return core_->columns(); }
  bool next() override;
  const Value& at(size_t index) const override;

 private:
  std::shared_ptr<StatementCore> core_;
  uint64_t run_;
  bool done_ = false;
  bool positioned_ = false;
  std::vector<Value> values_;
};

}  // namespace db::embedded
