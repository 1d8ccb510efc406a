#include "procedural_bench.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "db/embedded/embedded.h"

namespace bench_procedural {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kProcedurePairs = 10;  // an UPDATE and a SELECT each: 20 statements

double seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

void check(int rc, sqlite3* db, const char* what) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return;
  std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
  std::exit(1);
}

double rawTrigger(const std::string& path, int64_t rows) {
  sqlite3* db = nullptr;
  check(sqlite3_open(path.c_str(), &db), db, "open");
  for (const char* sql :
       {"PRAGMA foreign_keys = ON", "PRAGMA journal_mode = WAL", "PRAGMA synchronous = NORMAL",
        "CREATE TABLE SRC (ID INTEGER NOT NULL PRIMARY KEY, NAME TEXT, AMOUNT REAL)",
        "CREATE TABLE LOG (ID INTEGER, NAME TEXT, AMOUNT REAL)",
        "CREATE TRIGGER TR_SRC AFTER INSERT ON SRC BEGIN "
        "INSERT INTO LOG VALUES (NEW.ID, NEW.NAME, NEW.AMOUNT); END"})
    check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), db, sql);
  sqlite3_stmt* insert = nullptr;
  check(sqlite3_prepare_v2(db, "INSERT INTO SRC VALUES (?1, ?2, ?3)", -1, &insert, nullptr), db,
        "prepare");
  const auto start = Clock::now();
  check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  for (int64_t r = 0; r < rows; ++r) {
    sqlite3_bind_int64(insert, 1, r);
    sqlite3_bind_text(insert, 2, "row name", -1, SQLITE_STATIC);
    sqlite3_bind_double(insert, 3, 1.5 * static_cast<double>(r % 100));
    check(sqlite3_step(insert), db, "insert");
    sqlite3_reset(insert);
  }
  check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  const double time = seconds(start);
  sqlite3_finalize(insert);
  sqlite3_close(db);
  return time;
}

double engineTrigger(const std::string& path, int64_t rows) {
  auto db = db::embedded::open(db::embedded::Options{path, "sa", true});
  db->execute("CREATE TABLE SRC (ID INT NOT NULL PRIMARY KEY, NAME VARCHAR(20), AMOUNT FLOAT)");
  db->execute("CREATE TABLE LOG (ID INT, NAME VARCHAR(20), AMOUNT FLOAT)");
  db->execute(
      "CREATE TRIGGER TR_SRC ON SRC AFTER INSERT AS "
      "INSERT INTO LOG SELECT ID, NAME, AMOUNT FROM inserted");
  db::Statement& insert = db->prepare("INSERT INTO SRC VALUES (:P_ID, :P_NAME, :P_AMOUNT)");
  const db::Value name = std::string("row name");
  const auto start = Clock::now();
  db->begin();
  for (int64_t r = 0; r < rows; ++r) {
    insert.bind(size_t{0}, db::Value(r));
    insert.bind(size_t{1}, name);
    insert.bind(size_t{2}, db::Value(1.5 * static_cast<double>(r % 100)));
    insert.execute();
  }
  db->commit();
  const double time = seconds(start);
  auto logged = db->query("SELECT COUNT(*) FROM LOG");
  if (!logged->next() || logged->at(0).getInt() != rows) {
    std::fprintf(stderr, "the trigger did not log every row\n");
    std::exit(1);
  }
  return time;
}

std::string procedureText() {
  std::string body;
  for (int k = 0; k < kProcedurePairs; ++k)
    body += "UPDATE CNT SET N = N + 1 WHERE ID = @k\nSELECT @n = N FROM CNT WHERE ID = @k\n";
  return "CREATE PROCEDURE P20 @k INT AS\nBEGIN\nDECLARE @n INT\n" + body + "END";
}

void prepareCounters(db::Connection& db) {
  db.execute("CREATE TABLE CNT (ID INT NOT NULL PRIMARY KEY, N INT)");
  db.begin();
  for (int k = 0; k < 100; ++k) db.execute("INSERT INTO CNT VALUES (:P_K, 0)", {{"P_K", k}});
  db.commit();
}

}  // namespace

Times insertsWithTrigger(const std::string& enginePath, const std::string& rawPath, int64_t rows) {
  return {engineTrigger(enginePath, rows), rawTrigger(rawPath, rows)};
}

Times procedureCalls(const std::string& path, int64_t calls) {
  auto db = db::embedded::open(db::embedded::Options{path, "sa", true});
  prepareCounters(*db);
  db->execute(procedureText());
  db::Statement& call = db->prepare("EXEC P20 :P_K");
  auto start = Clock::now();
  db->begin();
  for (int64_t c = 0; c < calls; ++c) {
    call.bind(size_t{0}, db::Value(c % 100));
    call.execute();
  }
  db->commit();
  const double procedure = seconds(start);

  db::Statement& update = db->prepare("UPDATE CNT SET N = N + 1 WHERE ID = :P_K");
  db::Statement& select = db->prepare("SELECT N FROM CNT WHERE ID = :P_K");
  int64_t sum = 0;
  start = Clock::now();
  db->begin();
  for (int64_t c = 0; c < calls; ++c) {
    const db::Value key = c % 100;
    for (int k = 0; k < kProcedurePairs; ++k) {
      update.bind(size_t{0}, key);
      update.execute();
      select.bind(size_t{0}, key);
      auto rows = select.query();
      if (rows->next()) sum += rows->at(0).getInt();
    }
  }
  db->commit();
  const double direct = seconds(start);
  if (sum < 0) std::puts("impossible");
  return {procedure, direct};
}

}  // namespace bench_procedural
