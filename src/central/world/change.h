#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "central/model/model.h"
#include "db/core/connection.h"
#include "db/core/value.h"

namespace central {

struct ChangeOptions {
  int updatesPerTable = 2;
  int insertsPerTable = 2;
  int deletesPerTable = 1;  // only tables with a delete-cache table lose rows
  // Update time of every changed row and deletion time of every deleted one; must be later than
  // the rows it changes. Default: one day after the world's base date. Successive batches should
  // pass increasing times.
  std::optional<db::DateTime> at;
  std::vector<std::string> tables;  // empty: every table changeableTables() names
};

// Key texts (cacheKeyText over the primary key) of the rows a batch touched in one table.
struct TableChange {
  std::vector<std::string> updated;
  std::vector<std::string> inserted;
  std::vector<std::string> deleted;
};

struct ChangeSummary {
  db::DateTime at;
  std::map<std::string, TableChange> tables;  // only tables the batch touched
  // Delete-cache table -> the DSKEYCACHE texts written to it.
  std::map<std::string, std::vector<std::string>> deleteCacheRows;

  int64_t changedRows() const;
};

// The data tables a change batch may touch: kept by the register, keyed, with an update-time
// column, and neither the branch and register set-up nor the sales movements.
std::vector<std::string> changeableTables(const Model& model);

// Applies a reproducible batch of central changes: the same database and seed give the same
// batch. Updated rows get a new value and the batch's time; inserted rows copy a row under a new
// key; deleted rows go and are recorded in every delete-cache table of their table
// (DSKEYCACHE in the delete-cache key, DTULTATUCACH = the batch's time). One transaction per
// table. Throws std::invalid_argument for an unknown or unchangeable table.
ChangeSummary applyChange(db::Connection& connection, const Model& model, uint64_t seed,
                          const ChangeOptions& options = {});

}  // namespace central
