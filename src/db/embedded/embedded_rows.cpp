#include "db/embedded/embedded_rows.h"

#include <sqlite3.h>

#include "db/embedded/sqlite_error.h"
#include "db/embedded/value_codec.h"

namespace db::embedded {

EmbeddedRows::EmbeddedRows(std::shared_ptr<StatementCore> core)
    : core_(std::move(core)), run_(core_->restart()) {
  core_->setBusy();
}

EmbeddedRows::~EmbeddedRows() { core_->finish(run_); }

bool EmbeddedRows::next() {
  if (done_) return false;
  if (!core_->usable())
    throw Error(ErrorKind::Connection, "The connection was closed while rows were open",
                core_->text());
  if (core_->run() != run_)
    throw Error(ErrorKind::General, "The rows were ended by running their statement again",
                core_->text());
  const int rc = sqlite3_step(core_->stmt());
  if (rc == SQLITE_DONE) {
    done_ = true;
    positioned_ = false;
    core_->finish(run_);
    return false;
  }
  if (rc != SQLITE_ROW) {
    done_ = true;
    positioned_ = false;
    Error error = sqliteError(core_->db(), rc, core_->text());
    core_->finish(run_);
    throw error;
  }
  const auto& reads = core_->reads();
  values_.resize(reads.size());
  for (size_t i = 0; i < reads.size(); ++i)
    readColumn(core_->stmt(), static_cast<int>(i), reads[i], values_[i]);
  positioned_ = true;
  return true;
}

const Value& EmbeddedRows::at(size_t index) const {
  if (!positioned_)
    throw Error(ErrorKind::General, "No current row: call next() first", core_->text());
  if (index >= values_.size())
    throw Error(ErrorKind::General,
                "Field index " + std::to_string(index) + " out of range (" +
                    std::to_string(values_.size()) + " columns)",
                core_->text());
  return values_[index];
}

}  // namespace db::embedded
