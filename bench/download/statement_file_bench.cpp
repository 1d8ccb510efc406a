// Runs a statement file of INSERT lines through the statement-file runner and compares its rate
// with the same lines executed straight through SQLite's C API (sqlite3_exec per line, a
// transaction per 5000 lines), in the same process and on the same kind of database file.
// A third run sends every line as text through the engine, to show what per-line translation
// costs without the bound-constant path.
//
//   bench_download [lines=500000] [directory=/tmp]
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "db/embedded/embedded.h"
#include "download/statement_files/statement_file_runner.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kTable =
    "CREATE TABLE CONSUMIDOR (CDCLIENTE VARCHAR(10), CDCONSUMIDOR VARCHAR(20), NMCONSUMIDOR "
    "VARCHAR(60), VRSALDO DECIMAL(17,3), IDSITUACAO CHAR(1), DTULTATUCSUM DATETIME)";
// The engine's own settings, applied to the baseline too, so only the code paths differ.
constexpr const char* kPragmas = "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;";

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void writeStatementFile(const fs::path& file, long lines) {
  std::ofstream out(file, std::ios::binary);
  char date[32];
  for (long i = 1; i <= lines; ++i) {
    std::snprintf(date, sizeof date, "2026-%02ld-%02ld 10:%02ld:00", 1 + i % 12, 10 + i % 18,
                  10 + i % 50);
    out << "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR, VRSALDO, IDSITUACAO, "
           "DTULTATUCSUM) VALUES ('"
        << (i % 977) << "', 'C" << i << "', 'Consumidor d''Avila " << i << "', " << (i % 10000)
        << "." << (i % 1000) << ", 'A', '" << date << "')\r\n";
  }
}

void check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK) throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

double runBaseline(const fs::path& database, const fs::path& file) {
  sqlite3* db = nullptr;
  check(sqlite3_open(database.c_str(), &db), db, "open");
  check(sqlite3_exec(db, kPragmas, nullptr, nullptr, nullptr), db, "pragmas");
  check(sqlite3_exec(db, kTable, nullptr, nullptr, nullptr), db, "create");
  const auto start = Clock::now();
  std::ifstream in(file, std::ios::binary);
  std::string line;
  long sinceCommit = 0;
  check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    check(sqlite3_exec(db, line.c_str(), nullptr, nullptr, nullptr), db, "insert");
    if (++sinceCommit == 5000) {
      check(sqlite3_exec(db, "COMMIT; BEGIN", nullptr, nullptr, nullptr), db, "commit");
      sinceCommit = 0;
    }
  }
  check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  const double seconds = secondsSince(start);
  sqlite3_close(db);
  return seconds;
}

std::unique_ptr<db::Connection> freshEngine(const fs::path& database) {
  auto conn = db::embedded::open(db::embedded::Options{database.string()});
  conn->execute(kTable);
  return conn;
}

double runRunner(const fs::path& database, const fs::path& file) {
  auto conn = freshEngine(database);
  download::Services services;
  services.log = [](std::string_view message, std::string_view) {
    if (message.starts_with("Erro"))
      std::fprintf(stderr, "%.*s\n", int(message.size()), message.data());
  };
  download::StatementFileRunner runner(*conn, services, [] {});
  const auto start = Clock::now();
  const auto result = runner.run(file, "Consumidor", "CONSUMIDOR", true);
  const double seconds = secondsSince(start);
  if (result.failed) throw std::runtime_error("the runner failed");
  return seconds;
}

double runTextThroughEngine(const fs::path& database, const fs::path& file) {
  auto conn = freshEngine(database);
  const auto start = Clock::now();
  std::ifstream in(file, std::ios::binary);
  std::string line;
  long sinceCommit = 0;
  conn->begin();
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    conn->execute(line);
    if (++sinceCommit == 5000) {
      conn->commit();
      conn->begin();
      sinceCommit = 0;
    }
  }
  conn->commit();
  return secondsSince(start);
}

void removeDatabase(const fs::path& database) {
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(database.string() + suffix);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const long lines = argc > 1 ? std::stol(argv[1]) : 500000;
    const fs::path dir = fs::path(argc > 2 ? argv[2] : "/tmp") / "kivtab-bench-download";
    fs::create_directories(dir);
    const fs::path file = dir / "insertConsumidor.sql";
    writeStatementFile(file, lines);

    struct Run {
      const char* name;
      double (*fn)(const fs::path&, const fs::path&);
      double seconds = 0;
    };
    Run runs[] = {{"raw SQLite, sqlite3_exec per line", runBaseline},
                  {"statement-file runner", runRunner},
                  {"engine, every line as text", runTextThroughEngine}};
    for (auto& run : runs) {
      const fs::path database = dir / "bench.db";
      removeDatabase(database);
      run.seconds = run.fn(database, file);
      removeDatabase(database);
    }
    fs::remove_all(dir);

    const double baselineRate = lines / runs[0].seconds;
    std::printf("%ld INSERT lines, transactions of 5000\n", lines);
    for (const auto& run : runs) {
      const double rate = lines / run.seconds;
      std::printf("%-36s %8.3f s %10.0f lines/s  %6.1f%% of raw\n", run.name, run.seconds, rate,
                  100.0 * rate / baselineRate);
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_download: %s\n", e.what());
    return 1;
  }
}
