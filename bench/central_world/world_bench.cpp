// Times the creation of a demo world against a raw baseline in the same process: the same rows,
// written straight through SQLite's own API (prepared INSERT, one transaction per table).
//
//   central_world_bench [scale=300] [directory=/tmp]
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "central/world/row_maker.h"
#include "central/world/world.h"
#include "common/measure.h"
#include "db/embedded/embedded.h"

namespace {

using bench::Clock;
using bench::peakKilobytes;
using bench::secondsSince;

void check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
  }
}

void bindRaw(sqlite3_stmt* statement, int index, const db::Value& value) {
  switch (value.kind()) {
    case db::Value::Kind::Null:
      sqlite3_bind_null(statement, index);
      break;
    case db::Value::Kind::Int:
      sqlite3_bind_int64(statement, index, value.getInt());
      break;
    case db::Value::Kind::Double:
      sqlite3_bind_double(statement, index, value.getDouble());
      break;
    case db::Value::Kind::DateTime:
      sqlite3_bind_double(statement, index, value.getDateTime().toDays());
      break;
    default: {
      const std::string text = value.asText();
      sqlite3_bind_text(statement, index, text.c_str(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT);
    }
  }
}

// The baseline: each data table as plain SQLite columns with its key, filled with the same rows.
int64_t rawWorld(const std::string& path, const central::Model& model, int scale) {
  sqlite3* db = nullptr;
  check(sqlite3_open(path.c_str(), &db), db, "open");
  // The same durability as the embedded engine, so the ratio measures the engine, not the disk.
  check(sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr), db, "wal");
  check(sqlite3_exec(db, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr), db, "sync");
  int64_t rows = 0;
  for (const central::Table& table : model.tables()) {
    if (table.kind != central::TableKind::Data) continue;
    std::string columns, markers, key;
    for (const central::Column& c : table.columns) {
      columns += (columns.empty() ? "" : ", ") + c.name;
      markers += markers.empty() ? "?" : ", ?";
    }
    for (const std::string& k : table.keyColumns()) key += (key.empty() ? "" : ", ") + k;
    const std::string create = "CREATE TABLE " + table.name + " (" + columns +
                               (key.empty() ? "" : ", PRIMARY KEY (" + key + ")") + ")";
    check(sqlite3_exec(db, create.c_str(), nullptr, nullptr, nullptr), db, "create");
    const central::world::RowMaker maker(table, scale, 1);
    if (maker.rowCount() == 0) continue;
    const std::string insert =
        "INSERT INTO " + table.name + " (" + columns + ") VALUES (" + markers + ")";
    sqlite3_stmt* statement = nullptr;
    check(sqlite3_prepare_v2(db, insert.c_str(), -1, &statement, nullptr), db, "prepare");
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
    for (int64_t r = 0; r < maker.rowCount(); ++r) {
      const std::vector<db::Value> values = maker.row(r);
      for (size_t i = 0; i < values.size(); ++i)
        bindRaw(statement, static_cast<int>(i + 1), values[i]);
      check(sqlite3_step(statement), db, "insert");
      sqlite3_reset(statement);
      ++rows;
    }
    sqlite3_finalize(statement);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  }
  sqlite3_close(db);
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const int scale = argc > 1 ? std::stoi(argv[1]) : 300;
    const std::filesystem::path directory = argc > 2 ? argv[2] : "/tmp";
    const std::string rawPath = (directory / "central_world_bench_raw.db").string();
    const std::string worldPath = (directory / "central_world_bench.db").string();
    for (const char* suffix : {"", "-wal", "-shm"}) {
      std::filesystem::remove(rawPath + suffix);
      std::filesystem::remove(worldPath + suffix);
    }
    const central::Model& model = central::centralModel();

    auto start = Clock::now();
    const int64_t rawRows = rawWorld(rawPath, model, scale);
    const double rawSeconds = secondsSince(start);
    const long rawPeak = peakKilobytes();

    start = Clock::now();
    auto connection = db::embedded::open({worldPath});
    central::createCentralDatabase(*connection, model);
    const central::WorldSummary summary = central::generateWorld(*connection, model, scale, 1);
    connection->close();
    const double worldSeconds = secondsSince(start);

    std::printf("scale %d: %lld rows\n", scale, static_cast<long long>(summary.totalRows));
    std::printf("raw SQLite baseline: %.2f s (%lld rows, %.0f rows/s), peak %ld KiB\n", rawSeconds,
                static_cast<long long>(rawRows), rawRows / rawSeconds, rawPeak);
    std::printf("world through the embedded engine: %.2f s (%.0f rows/s), peak %ld KiB\n",
                worldSeconds, summary.totalRows / worldSeconds, peakKilobytes());
    std::printf("ratio world / baseline: %.2f\n", worldSeconds / rawSeconds);
    for (const char* suffix : {"", "-wal", "-shm"}) {
      std::filesystem::remove(rawPath + suffix);
      std::filesystem::remove(worldPath + suffix);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "central_world_bench: %s\n", e.what());
    return 1;
  }
}
