#pragma once

#include <vector>

#include "db/core/connection.h"

namespace db::odbc {

// A result read in full when the query ran. Reading everything at once frees the connection for
// the next statement at once, which servers without multiple active result sets require.
class BufferedRows : public Rows {
 public:
  explicit BufferedRows(std::vector<Column> columns) : columns_(std::move(columns)) {}

  void append(std::vector<Value> row) { rows_.push_back(std::move(row)); }

  const std::vector<Column>& columns() const override { return columns_; }
  bool next() override;
  const Value& at(size_t index) const override;

 private:
  std::vector<Column> columns_;
  std::vector<std::vector<Value>> rows_;
  size_t position_ = 0;  // 1-based; 0 before the first row
};

}  // namespace db::odbc
