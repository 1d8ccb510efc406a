#include "db/odbc/buffered_rows.h"

namespace db::odbc {

bool BufferedRows::next() {
  if (position_ <= rows_.size()) ++position_;
  return position_ <= rows_.size();
}

const Value& BufferedRows::at(size_t index) const {
  if (position_ == 0 || position_ > rows_.size())
    throw Error(ErrorKind::General, "No current row: call next() first");
  if (index >= columns_.size())
    throw Error(ErrorKind::General, "Column index " + std::to_string(index) + " out of range");
  return rows_[position_ - 1][index];
}

}  // namespace db::odbc
