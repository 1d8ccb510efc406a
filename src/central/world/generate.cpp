#include <stdexcept>

#include "central/world/row_maker.h"
#include "central/world/statements.h"
#include "central/world/transaction.h"
#include "central/world/world.h"

namespace central {

db::DateTime worldBaseDate() { return db::DateTime::fromParts(2026, 11, 1); }

int64_t plannedRows(const Table& table, int scale) {
  return world::RowMaker(table, scale, 0).rowCount();
}

namespace {

constexpr int kMaxScale = 100000;

int64_t fillTable(db::Connection& connection, const Table& table, int scale, uint64_t seed) {
  const world::RowMaker maker(table, scale, seed);
  if (maker.rowCount() == 0) return 0;
  db::Statement& insert = connection.prepare(world::insertStatement(table));
  world::inTransaction(connection, "filling central table " + table.name, [&] {
    for (int64_t r = 0; r < maker.rowCount(); ++r) {
      const std::vector<db::Value> values = maker.row(r);
      for (size_t c = 0; c < values.size(); ++c) insert.bind(c, values[c]);
      insert.execute();
    }
  });
  return maker.rowCount();
}

}  // namespace

WorldSummary generateWorld(db::Connection& connection, const Model& model, int scale,
                           uint64_t seed) {
  if (scale < 1 || scale > kMaxScale) {
    throw std::invalid_argument("world scale must be between 1 and " + std::to_string(kMaxScale) +
                                ", not " + std::to_string(scale));
  }
  WorldSummary summary;
  for (const Table& table : model.tables()) {
    if (table.kind != TableKind::Data) continue;
    const int64_t rows = fillTable(connection, table, scale, seed);
    summary.rowsPerTable[table.name] = rows;
    summary.totalRows += rows;
  }
  return summary;
}

}  // namespace central
