#pragma once

#include "load/load_context.h"
#include "outside/package/next_code.h"

namespace load {

// InsertCliMoviClie: account movements appended with new local numbers, skipping a movement the
// register already holds (the same client, consumer, second, type and value, or the same one
// marked 'X'); batches of 1500 rows commit on their own, the last one with the ledger row.
class AccountMovements {
 public:
  static constexpr size_t kBatch = 1500;

  AccountMovements(LoadContext& context, outside::KivProxCodigo& nextCode)
      : ctx_(context), nextCode_(nextCode) {}
  void run();

 private:
  LoadContext& ctx_;
  outside::KivProxCodigo& nextCode_;
};

}  // namespace load
