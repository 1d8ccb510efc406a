#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "central/model/model.h"
#include "db/core/connection.h"
#include "db/core/value.h"

namespace central {

// The fixed date the demo world is built around: every update time of a generated row lies in
// the 30 days before it, so a request date at or after it returns nothing and one before
// 1 October 2026 returns everything.
db::DateTime worldBaseDate();  // 2026-11-01 00:00:00

struct WorldSummary {
  std::map<std::string, int64_t> rowsPerTable;  // every data table, rows written
  int64_t totalRows = 0;
};

// How many rows a world of the given scale holds in the table (before any change).
int64_t plannedRows(const Table& table, int scale);

// Fills an empty central database (made by createCentralDatabase) with a deterministic demo
// world: the same scale and seed give the same rows. Row counts grow linearly with the scale
// (docs/central-model.md). One transaction per table. Throws std::invalid_argument for a scale
// below 1 or above 100000.
WorldSummary generateWorld(db::Connection& connection, const Model& model, int scale,
                           uint64_t seed);

}  // namespace central
