// The embedded engine's hot paths against the same loops written directly on the SQLite C API,
// measured in one run: a prepared 20-column INSERT, and a keyed SELECT followed by an UPDATE of
// the row found. The two alternate over several rounds, each on a fresh file, and the best time
// of each counts, so that a busy machine does not decide the ratio. Then triggers and procedures
// (procedural_bench.h): 100,000 single-row INSERTs fired into a T-SQL trigger against a native
// SQLite trigger, and 100,000 calls of a 20-statement procedure against the same statements.
// Usage: bench_db_embedded [rows (default 1,000,000)] [rounds (default 3)] [memory]
// With "memory" both run on private in-memory databases: no disk, only the layer's own cost.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "db/embedded/embedded.h"
#include "procedural_bench.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kColumns = 20;

constexpr const char* kCreate =
    "CREATE TABLE BENCH (C01 INT NOT NULL PRIMARY KEY, C02 VARCHAR(10), C03 VARCHAR(20), "
    "C04 VARCHAR(30), C05 DECIMAL(17,3), C06 DECIMAL(17,3), C07 DATETIME, C08 DATETIME, "
    "C09 CHAR(1), C10 CHAR(1), C11 INT, C12 INT, C13 VARCHAR(40), C14 VARCHAR(40), "
    "C15 DECIMAL(17,2), C16 DATETIME, C17 VARCHAR(4), C18 VARCHAR(3), C19 INT, C20 VARCHAR(60))";

// Column kinds in table order: text, integer, double, date.
constexpr std::array<char, kColumns> kKinds = {'i', 't', 't', 't', 'd', 'd', 'D', 'D', 't', 't',
                                               'i', 'i', 't', 't', 'd', 'D', 't', 't', 'i', 't'};

constexpr const char* kInsertTSql =
    "INSERT INTO BENCH (C01, C02, C03, C04, C05, C06, C07, C08, C09, C10, C11, C12, C13, C14, "
    "C15, C16, C17, C18, C19, C20) VALUES (:P_C01, :P_C02, :P_C03, :P_C04, :P_C05, :P_C06, "
    ":P_C07, :P_C08, :P_C09, :P_C10, :P_C11, :P_C12, :P_C13, :P_C14, :P_C15, :P_C16, :P_C17, "
    ":P_C18, :P_C19, :P_C20)";
constexpr const char* kInsertRaw =
    "INSERT INTO BENCH (C01, C02, C03, C04, C05, C06, C07, C08, C09, C10, C11, C12, C13, C14, "
    "C15, C16, C17, C18, C19, C20) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, "
    "?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20)";
constexpr const char* kSelectTSql = "SELECT C02, C05, C07 FROM BENCH WHERE C01 = :P_C01";
constexpr const char* kSelectRaw = "SELECT C02, C05, C07 FROM BENCH WHERE C01 = ?1";
constexpr const char* kUpdateTSql =
    "UPDATE BENCH SET C05 = :P_C05, C07 = :P_C07 WHERE C01 = :P_C01";
constexpr const char* kUpdateRaw = "UPDATE BENCH SET C05 = ?1, C07 = ?2 WHERE C01 = ?3";

const std::array<std::string, kColumns> kTexts = {
    "",
    "PROD0001",
    "Descricao do produto",
    "Grupo de venda principal",
    "",
    "",
    "",
    "",
    "S",
    "N",
    "",
    "",
    "Observacao de linha comprida",
    "Outra observacao",
    "",
    "",
    "0001",
    "001",
    "",
    "Texto de sessenta caracteres no maximo, para a coluna C20"};

struct Database {
  explicit Database(const std::string& path) : path(path) { remove(); }
  ~Database() { remove(); }
  void remove() const {
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
  }
  std::string path;
};

void check(int rc, sqlite3* db, const char* what) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return;
  std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
  std::exit(1);
}

double seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

// The baseline: the same work written directly against SQLite.
struct RawTimes {
  double insert, selectUpdate;
};

RawTimes runRaw(const std::string& path, int64_t rows) {
  sqlite3* db = nullptr;
  check(sqlite3_open(path.c_str(), &db), db, "open");
  for (const char* pragma :
       {"PRAGMA foreign_keys = ON", "PRAGMA journal_mode = WAL", "PRAGMA synchronous = NORMAL"})
    check(sqlite3_exec(db, pragma, nullptr, nullptr, nullptr), db, pragma);
  check(sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr), db, "create");
  sqlite3_stmt* insert = nullptr;
  check(sqlite3_prepare_v2(db, kInsertRaw, -1, &insert, nullptr), db, "prepare");
  const double day = 46000.5;
  auto start = Clock::now();
  check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  for (int64_t r = 0; r < rows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      switch (kKinds[c]) {
        case 'i':
          sqlite3_bind_int64(insert, c + 1, c == 0 ? r : r % 97);
          break;
        case 'd':
          sqlite3_bind_double(insert, c + 1, 1.25 * c);
          break;
        case 'D':
          sqlite3_bind_double(insert, c + 1, day);
          break;
        default:
          sqlite3_bind_text(insert, c + 1, kTexts[c].data(), static_cast<int>(kTexts[c].size()),
                            SQLITE_TRANSIENT);
      }
    }
    check(sqlite3_step(insert), db, "insert");
    sqlite3_reset(insert);
  }
  check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  const double insertTime = seconds(start);

  sqlite3_stmt* select = nullptr;
  sqlite3_stmt* update = nullptr;
  check(sqlite3_prepare_v2(db, kSelectRaw, -1, &select, nullptr), db, "prepare");
  check(sqlite3_prepare_v2(db, kUpdateRaw, -1, &update, nullptr), db, "prepare");
  double sum = 0;
  std::string text;
  start = Clock::now();
  check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  for (int64_t r = 0; r < rows; ++r) {
    sqlite3_bind_int64(select, 1, r);
    check(sqlite3_step(select), db, "select");
    text.assign(reinterpret_cast<const char*>(sqlite3_column_text(select, 0)),
                static_cast<size_t>(sqlite3_column_bytes(select, 0)));
    const double value = sqlite3_column_double(select, 1);
    sum += sqlite3_column_double(select, 2);
    sqlite3_reset(select);
    sqlite3_bind_double(update, 1, value + 1);
    sqlite3_bind_double(update, 2, day + 1);
    sqlite3_bind_int64(update, 3, r);
    check(sqlite3_step(update), db, "update");
    sqlite3_reset(update);
  }
  check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  const double selectUpdateTime = seconds(start);
  if (sum < 0) std::puts(text.c_str());
  sqlite3_finalize(insert);
  sqlite3_finalize(select);
  sqlite3_finalize(update);
  sqlite3_close(db);
  return {insertTime, selectUpdateTime};
}

RawTimes runEngine(const std::string& path, int64_t rows) {
  auto db = db::embedded::open(db::embedded::Options{path, "sa", true});
  db->execute(kCreate);
  std::array<db::Value, kColumns> values;
  const db::DateTime day = db::DateTime::fromDays(46000.5);
  for (int c = 0; c < kColumns; ++c) {
    switch (kKinds[c]) {
      case 'i':
        values[c] = int64_t{0};
        break;
      case 'd':
        values[c] = 1.25 * c;
        break;
      case 'D':
        values[c] = day;
        break;
      default:
        values[c] = kTexts[c];
    }
  }
  db::Statement& insert = db->prepare(kInsertTSql);
  auto start = Clock::now();
  db->begin();
  for (int64_t r = 0; r < rows; ++r) {
    values[0] = r;
    values[10] = values[11] = values[18] = r % 97;
    for (size_t c = 0; c < kColumns; ++c) insert.bind(c, values[c]);
    insert.execute();
  }
  db->commit();
  const double insertTime = seconds(start);

  db::Statement& select = db->prepare(kSelectTSql);
  db::Statement& update = db->prepare(kUpdateTSql);
  double sum = 0;
  std::string text;
  const db::Value nextDay = day.addDays(1);
  start = Clock::now();
  db->begin();
  for (int64_t r = 0; r < rows; ++r) {
    const db::Value key = r;
    select.bind(size_t{0}, key);
    double value = 0;
    {
      auto found = select.query();
      found->next();
      text = found->at(0).getText();
      value = found->at(1).getDouble();
      sum += found->at(2).getDateTime().toDays();
    }
    update.bind(size_t{0}, value + 1);
    update.bind(size_t{1}, nextDay);
    update.bind(size_t{2}, key);
    update.execute();
  }
  db->commit();
  const double selectUpdateTime = seconds(start);
  if (sum < 0) std::puts(text.c_str());
  return {insertTime, selectUpdateTime};
}

void report(const char* what, int64_t rows, double raw, double engine) {
  std::printf("%-28s raw %9.0f rows/s   engine %9.0f rows/s   ratio %5.1f%%\n", what, rows / raw,
              rows / engine, 100.0 * raw / engine);
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t rows = argc > 1 ? std::atoll(argv[1]) : 1'000'000;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const bool memory = argc > 3 && std::string(argv[3]) == "memory";
  const auto dir = std::filesystem::temp_directory_path();
  const std::string tag = std::to_string(::getpid());
  RawTimes raw{1e300, 1e300}, engine{1e300, 1e300};
  auto keepBest = [](RawTimes& best, RawTimes t) {
    best.insert = std::min(best.insert, t.insert);
    best.selectUpdate = std::min(best.selectUpdate, t.selectUpdate);
  };
  for (int round = 0; round < rounds; ++round) {
    // Alternate which goes first, so neither always meets a warmer cache.
    for (int turn = 0; turn < 2; ++turn) {
      const bool rawTurn = (turn == 0) == (round % 2 == 0);
      Database file(
          (dir / ("kivtab_bench_" + tag + (rawTurn ? "_raw.db" : "_engine.db"))).string());
      const std::string path = memory ? ":memory:" : file.path;
      const RawTimes t = rawTurn ? runRaw(path, rows) : runEngine(path, rows);
      std::printf("round %d %-6s insert %9.0f rows/s   select+update %9.0f rows/s\n", round + 1,
                  rawTurn ? "raw" : "engine", rows / t.insert, rows / t.selectUpdate);
      keepBest(rawTurn ? raw : engine, t);
    }
  }
  std::printf("%lld rows, one transaction per loop, best of %d rounds, %s\n",
              static_cast<long long>(rows), rounds, memory ? "in memory" : "on disk");
  report("INSERT 20 columns", rows, raw.insert, engine.insert);
  report("keyed SELECT + UPDATE", rows, raw.selectUpdate, engine.selectUpdate);

  constexpr int64_t kProceduralRows = 100'000;
  bench_procedural::Times trigger{1e300, 1e300}, procedure{1e300, 1e300};
  for (int round = 0; round < rounds; ++round) {
    Database engineFile((dir / ("kivtab_bench_" + tag + "_trigger.db")).string());
    Database rawFile((dir / ("kivtab_bench_" + tag + "_trigger_raw.db")).string());
    const auto t = bench_procedural::insertsWithTrigger(
        memory ? ":memory:" : engineFile.path, memory ? ":memory:" : rawFile.path, kProceduralRows);
    trigger = {std::min(trigger.engine, t.engine), std::min(trigger.raw, t.raw)};
    Database procedureFile((dir / ("kivtab_bench_" + tag + "_procedure.db")).string());
    const auto p =
        bench_procedural::procedureCalls(memory ? ":memory:" : procedureFile.path, kProceduralRows);
    procedure = {std::min(procedure.engine, p.engine), std::min(procedure.raw, p.raw)};
  }
  report("INSERT with AFTER trigger", kProceduralRows, trigger.raw, trigger.engine);
  std::printf(
      "%-28s procedure %6.2f us/call   same statements direct %6.2f us/call   "
      "ratio %5.1f%%\n",
      "20-statement procedure", 1e6 * procedure.engine / kProceduralRows,
      1e6 * procedure.raw / kProceduralRows, 100.0 * procedure.raw / procedure.engine);
  return 0;
}
