#pragma once

#include <string_view>

#include "load/bulk_writer.h"
#include "load/load_context.h"

namespace load {

// The consumer statement (EXTRATOCONS).
class StatementMerge {
 public:
  static constexpr int kDaysKept = 60;

  StatementMerge(LoadContext& context, BulkWriter& writer) : ctx_(context), writer_(writer) {}

  // AplicaExtratoCons on cdsEXTRATOCONS or cdsExtratoConsCred: existing movements are
  // rewritten whatever their age; new ones are inserted only within the last 60 days, or all of
  // them into an empty local statement. A row the database refuses is skipped.
  void AplicaExtratoCons(std::string_view datasetName);

  // The statement of the movement re-import (cdsVExtratoCons): upsert with the bulk writer's
  // rules; DTULTATUEXT is written only on insert.
  void mergeReimported();

 private:
  LoadContext& ctx_;
  BulkWriter& writer_;
};

}  // namespace load
