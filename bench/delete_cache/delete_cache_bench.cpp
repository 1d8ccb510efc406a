// Runs the delete cache over 100,000 cache rows against a local table of 1,000,000 rows and
// compares its time with a loop written straight against SQLite's C API doing the same work:
// per cache row an emptiness probe, a prepared lookup of the row's date by key and, when the
// deletion is newer, a prepared delete; transactions of 5000 rows on both sides. Both runs start
// from byte-identical copies of one database file.
//
//   bench_delete_cache [tableRows=1000000] [cacheRows=100000] [directory=/tmp]
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "db/embedded/embedded.h"
#include "download/download_state.h"
#include "load/delete_cache.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kTable =
    "CREATE TABLE CLIENFILIAL (CDFILIAL VARCHAR(4) NOT NULL, CDCLIENTE VARCHAR(15) NOT NULL, "
    "IDSITUACAO CHAR(1), DTULTATUCLIF DATETIME, CONSTRAINT PK_CLIENFILIAL PRIMARY KEY "
    "(CDFILIAL, CDCLIENTE))";
constexpr size_t kBatch = load::DeleteCache::kRowsPerCommit;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string branchOf(long i) { return i % 2 == 0 ? "0001" : "0002"; }
std::string clientOf(long i) { return "C" + std::to_string(i); }
db::DateTime localUpdate(long i) { return db::DateTime::fromParts(2026, 1, 1).addMs(i * 1000); }

// Every tenth table row is named by the cache: 6 of 10 cache rows delete (deletion newer), 2 find
// a row changed after the deletion, 2 name a key that is not there.
struct CacheRow {
  long index;
  bool present;
  db::DateTime deletion;
};
CacheRow cacheRow(long n, long tableRows) {
  const long index = (n * 10) % tableRows;
  const int kind = static_cast<int>(n % 10);
  const bool present = kind < 8;
  const db::DateTime base = localUpdate(index);
  const db::DateTime deletion = kind < 6 ? base.addMs(500) : base.addMs(-500);
  return {present ? index : tableRows + n, present, deletion};
}

void buildDatabase(const fs::path& file, long tableRows) {
  auto conn = db::embedded::open(db::embedded::Options{file.string()});
  conn->execute(kTable);
  conn->begin();
  auto& insert = conn->prepare(
      "INSERT INTO CLIENFILIAL (CDFILIAL, CDCLIENTE, IDSITUACAO, DTULTATUCLIF) VALUES "
      "(:P_CDFILIAL, :P_CDCLIENTE, 'A', :P_DTULTATUCLIF)");
  for (long i = 0; i < tableRows; ++i) {
    insert.bind("P_CDFILIAL", branchOf(i));
    insert.bind("P_CDCLIENTE", clientOf(i));
    insert.bind("P_DTULTATUCLIF", localUpdate(i));
    insert.execute();
  }
  conn->commit();
  conn->close();
}

void check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE)
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

double runBaseline(const fs::path& file, long tableRows, long cacheRows, long& deleted) {
  sqlite3* db = nullptr;
  check(sqlite3_open(file.c_str(), &db), db, "open");
  check(sqlite3_exec(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;", nullptr,
                     nullptr, nullptr),
        db, "pragmas");
  sqlite3_stmt *probe = nullptr, *select = nullptr, *remove = nullptr;
  check(sqlite3_prepare_v2(db, "SELECT 1 FROM CLIENFILIAL LIMIT 1", -1, &probe, nullptr), db,
        "probe");
  check(sqlite3_prepare_v2(db,
                           "SELECT DTULTATUCLIF FROM CLIENFILIAL WHERE CDFILIAL = ?1 AND "
                           "CDCLIENTE = ?2 LIMIT 1",
                           -1, &select, nullptr),
        db, "select");
  check(sqlite3_prepare_v2(db, "DELETE FROM CLIENFILIAL WHERE CDFILIAL = ?1 AND CDCLIENTE = ?2", -1,
                           &remove, nullptr),
        db, "delete");
  const auto start = Clock::now();
  check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  deleted = 0;
  for (long n = 0; n < cacheRows; ++n) {
    if (sqlite3_step(probe) != SQLITE_ROW) break;
    sqlite3_reset(probe);
    const CacheRow row = cacheRow(n, tableRows);
    const std::string branch = branchOf(row.index), client = clientOf(row.index);
    for (sqlite3_stmt* s : {select, remove}) {
      sqlite3_bind_text(s, 1, branch.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(s, 2, client.c_str(), -1, SQLITE_TRANSIENT);
    }
    double local = 0;
    const bool exists = sqlite3_step(select) == SQLITE_ROW;
    if (exists) local = sqlite3_column_double(select, 0);
    sqlite3_reset(select);
    if (exists && row.deletion.toDays() > local) {
      check(sqlite3_step(remove), db, "delete row");
      deleted += sqlite3_changes(db);
    }
    sqlite3_reset(remove);
    if ((n + 1) % static_cast<long>(kBatch) == 0)
      check(sqlite3_exec(db, "COMMIT; BEGIN", nullptr, nullptr, nullptr), db, "commit");
  }
  check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  const double seconds = secondsSince(start);
  for (sqlite3_stmt* s : {probe, select, remove}) sqlite3_finalize(s);
  sqlite3_close(db);
  return seconds;
}

double runDeleteCache(const fs::path& file, long tableRows, long cacheRows, long& left) {
  auto conn = db::embedded::open(db::embedded::Options{file.string()});
  download::Services services;
  download::DownloadState state;
  db::DataSet& cache = state.dataset("cdsCacheCLIENFILIAL");
  std::vector<db::FieldDef> fields(2);
  fields[0].name = "DSKEYCACHE";
  fields[0].type = db::FieldType::String;
  fields[0].size = 500;
  fields[1].name = "DTULTATUCACH";
  fields[1].type = db::FieldType::DateTime;
  cache.createDataSet(fields);
  for (long n = 0; n < cacheRows; ++n) {
    const CacheRow row = cacheRow(n, tableRows);
    cache.appendRecord(
        {"CDFILIAL=" + branchOf(row.index) + ";CDCLIENTE=" + clientOf(row.index) + ";",
         row.deletion});
  }
  conn->execute(
      "CREATE TABLE CTRLBAIXATAB (CDFILIAL VARCHAR(4), NMTABELA VARCHAR(30), CDCAIXA "
      "VARCHAR(3), DTULTATUTAB DATETIME, DTULTATU DATETIME)");
  conn->execute("CREATE TABLE FILIAL (CDFILIAL VARCHAR(4), CDSEGMER VARCHAR(4))");
  load::DeleteCache deleteCache(*conn, services, state, [] {});
  const auto start = Clock::now();
  deleteCache.runDeleteCache("0001", "001", true);
  const double seconds = secondsSince(start);
  auto rows = conn->query("SELECT COUNT(*) FROM CLIENFILIAL");
  rows->next();
  left = rows->at(0).asInt();
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const long tableRows = argc > 1 ? std::stol(argv[1]) : 1'000'000;
  const long cacheRows = argc > 2 ? std::stol(argv[2]) : 100'000;
  const fs::path dir = argc > 3 ? argv[3] : "/tmp";
  const fs::path source = dir / "bench_delete_cache_source.db";
  const fs::path baselineCopy = dir / "bench_delete_cache_raw.db";
  const fs::path engineCopy = dir / "bench_delete_cache_engine.db";
  for (const auto& f : {source, baselineCopy, engineCopy}) fs::remove(f);

  const auto buildStart = Clock::now();
  buildDatabase(source, tableRows);
  std::printf("built %ld rows in %.2f s\n", tableRows, secondsSince(buildStart));
  fs::copy_file(source, baselineCopy);
  fs::copy_file(source, engineCopy);

  long deleted = 0, left = 0;
  const double raw = runBaseline(baselineCopy, tableRows, cacheRows, deleted);
  const double engine = runDeleteCache(engineCopy, tableRows, cacheRows, left);
  if (tableRows - deleted != left)
    std::printf("MISMATCH: raw deleted %ld, delete cache left %ld of %ld\n", deleted, left,
                tableRows);

  std::printf("%-34s %9s %12s %8s\n", "run", "seconds", "rows/s", "of raw");
  std::printf("%-34s %9.2f %12.0f %7.0f%%\n", "raw SQLite prepared loop", raw, cacheRows / raw,
              100.0);
  std::printf("%-34s %9.2f %12.0f %7.0f%%\n", "delete cache", engine, cacheRows / engine,
              100.0 * raw / engine);
  std::printf("deleted %ld of %ld cache rows\n", deleted, cacheRows);
  for (const auto& f : {source, baselineCopy, engineCopy}) {
    fs::remove(f);
    fs::remove(fs::path(f.string() + "-wal"));
    fs::remove(fs::path(f.string() + "-shm"));
  }
  return 0;
}
