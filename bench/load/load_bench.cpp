// Times the keyed merge and the bulk writer against SQLite's C API doing the same work with
// prepared statements in one transaction, on copies of one on-disk database. Each run is a child
// process, so its peak memory is its own.
//
//   bench_load [local rows] [downloaded rows] [bulk rows] [directory]
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include "central/model/central_ddl.h"
#include "central/model/model.h"
#include "db/embedded/embedded.h"
#include "download/keep_alive.h"
#include "load/bulk_writer.h"
#include "load/keyed_merge.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kPragmas = "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;";
const db::DateTime kStart = db::DateTime::fromParts(2026, 1, 1);
constexpr const char* kInsertPrice =
    "INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
    "DTULTATUITPR, VRPRECITEM) VALUES ";

struct IdleServer : outside::AppServer {
  void connect() override {}
  void disconnect() override {}
  bool connected() const override { return true; }
  db::Value call(std::string_view, std::vector<db::Value>&) override { return {}; }
};

void check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

// The raw side's database, with the pragmas the embedded engine sets.
sqlite3* openRaw(const fs::path& file) {
  sqlite3* db = nullptr;
  check(sqlite3_open(file.c_str(), &db), db, "open");
  check(sqlite3_exec(db, kPragmas, nullptr, nullptr, nullptr), db, "pragmas");
  return db;
}

sqlite3_stmt* prepareRaw(sqlite3* db, const std::string& text) {
  sqlite3_stmt* statement = nullptr;
  check(sqlite3_prepare_v2(db, text.c_str(), -1, &statement, nullptr), db, "prepare");
  return statement;
}

void runStep(sqlite3* db, sqlite3_stmt* statement, const char* what) {
  check(sqlite3_step(statement), db, what);
  sqlite3_reset(statement);
}

// Runs work in one transaction of the raw database.
void inRawTransaction(sqlite3* db, const std::function<void()>& work) {
  check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  work();
  check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
}

double secondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string product(int64_t i) { return "P" + std::to_string(i); }

// Row i of the price table: one branch, one price table, a product per row.
struct PriceRow {
  std::string product;
  double updated;
  double price;
};
PriceRow priceRow(int64_t i, int generation) {
  return {product(i), kStart.addDays(generation).toDays(), 1.0 + (i % 1000) / 10.0 + generation};
}

// Binds a price row's key as parameters 1 to 5 of a raw statement.
void bindPriceKey(sqlite3_stmt* statement, const PriceRow& row) {
  sqlite3_bind_text(statement, 1, "0001", -1, SQLITE_STATIC);
  sqlite3_bind_text(statement, 2, "T01", -1, SQLITE_STATIC);
  sqlite3_bind_double(statement, 3, kStart.toDays());
  sqlite3_bind_text(statement, 4, row.product.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(statement, 5, "X", -1, SQLITE_STATIC);
}

// The key and then the written columns as parameters 6 and 7.
void bindPriceRow(sqlite3_stmt* statement, const PriceRow& row) {
  bindPriceKey(statement, row);
  sqlite3_bind_double(statement, 6, row.updated);
  sqlite3_bind_double(statement, 7, row.price);
}

void createDatabase(const fs::path& file, int64_t rows) {
  {
    auto conn = db::embedded::open(db::embedded::Options{file.string()});
    for (const auto& ddl : central::tableDdl(central::centralModel().table("ITEMPRECO")))
      conn->execute(ddl);
  }
  sqlite3* db = openRaw(file);
  sqlite3_stmt* insert =
      prepareRaw(db, std::string(kInsertPrice) + "('0001', 'T01', ?, ?, 'X', ?, ?)");
  inRawTransaction(db, [&] {
    for (int64_t i = 0; i < rows; ++i) {
      const PriceRow row = priceRow(i, 0);
      sqlite3_bind_double(insert, 1, kStart.toDays());
      sqlite3_bind_text(insert, 2, row.product.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_double(insert, 3, row.updated);
      sqlite3_bind_double(insert, 4, row.price);
      runStep(db, insert, "insert");
    }
  });
  sqlite3_finalize(insert);
  sqlite3_close(db);
}

// The download: half of the rows change existing products, half are new ones.
db::DataSet& fillDownload(download::DownloadState& state, int64_t localRows, int64_t rows) {
  db::DataSet& ds = state.dataset("cdsItemPreco");
  using T = db::FieldType;
  ds.createDataSet(
      {db::makeField("CDFILIAL", T::String, 4), db::makeField("CDTABEPREC", T::String, 3),
       db::makeField("DTINIVGPREC", T::DateTime), db::makeField("CDPRODUTO", T::String, 20),
       db::makeField("CDPRPAITABPR", T::String, 20), db::makeField("DTULTATUITPR", T::DateTime),
       db::makeField("VRPRECITEM", T::Float)});
  for (int64_t i = 0; i < rows; ++i) {
    const int64_t id = i % 2 == 0 ? i : localRows + i;
    const PriceRow row = priceRow(id, 1);
    ds.appendRecord(
        {"0001", "T01", kStart, row.product, "X", db::DateTime::fromDays(row.updated), row.price});
  }
  return ds;
}

// The engine side's load context over the database file, with a download already received.
struct EngineLoad {
  EngineLoad(const fs::path& file, int64_t localRows, int64_t rows)
      : conn(db::embedded::open(db::embedded::Options{file.string()})), keepAlive(server) {
    fillDownload(state, localRows, rows);
  }

  std::unique_ptr<db::Connection> conn;
  download::DownloadState state;
  load::LoadEnvironment env;
  IdleServer server;
  download::KeepAlive keepAlive;
  load::LoadContext ctx{*conn, state, env, keepAlive};
};

void engineMerge(const fs::path& file, int64_t localRows, int64_t rows, double& seconds) {
  EngineLoad engine(file, localRows, rows);
  load::KeyedMerge merge(engine.ctx);
  const load::MergeTable member{
      "ITEMPRECO",
      "cdsItemPreco",
      "adqCliItemPreco",
      {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "CDPRPAITABPR"}};
  seconds = secondsOf([&] { merge.run(member); });
}

void rawMerge(const fs::path& file, int64_t localRows, int64_t rows, double& seconds) {
  sqlite3* db = openRaw(file);
  const std::string key =
      " WHERE CDFILIAL = ?1 AND CDTABEPREC = ?2 AND DTINIVGPREC = ?3 AND CDPRODUTO = ?4 AND "
      "CDPRPAITABPR = ?5";
  sqlite3_stmt* find = prepareRaw(db, "SELECT 1 FROM ITEMPRECO" + key);
  sqlite3_stmt* update =
      prepareRaw(db, "UPDATE ITEMPRECO SET DTULTATUITPR = ?6, VRPRECITEM = ?7" + key);
  sqlite3_stmt* insert = prepareRaw(db, std::string(kInsertPrice) + "(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
  seconds = secondsOf([&] {
    inRawTransaction(db, [&] {
      for (int64_t i = 0; i < rows; ++i) {
        const int64_t id = i % 2 == 0 ? i : localRows + i;
        const PriceRow row = priceRow(id, 1);
        bindPriceKey(find, row);
        const bool found = sqlite3_step(find) == SQLITE_ROW;
        sqlite3_reset(find);
        sqlite3_stmt* write = found ? update : insert;
        bindPriceRow(write, row);
        runStep(db, write, "write");
      }
    });
  });
  sqlite3_finalize(find);
  sqlite3_finalize(update);
  sqlite3_finalize(insert);
  sqlite3_close(db);
}

void engineBulk(const fs::path& file, int64_t rows, double& seconds) {
  EngineLoad engine(file, 0, rows);
  outside::KivProxCodigo nextCode(*engine.conn);
  load::BulkWriter writer(engine.ctx, nextCode);
  seconds = secondsOf([&] { writer.InsereDados("cdsItemPreco", "ITEMPRECO"); });
}

void rawBulk(const fs::path& file, int64_t rows, double& seconds) {
  sqlite3* db = openRaw(file);
  sqlite3_stmt* insert = prepareRaw(db, std::string(kInsertPrice) + "(?, ?, ?, ?, ?, ?, ?)");
  seconds = secondsOf([&] {
    inRawTransaction(db, [&] {
      for (int64_t i = 0; i < rows; ++i) {
        bindPriceRow(insert, priceRow(i, 1));
        runStep(db, insert, "insert");
      }
    });
  });
  sqlite3_finalize(insert);
  sqlite3_close(db);
}

struct Result {
  double seconds = 0;
  long peakKb = 0;
};

// Runs one side in a child process: its time through a pipe, its peak memory from wait4.
Result inChild(const std::function<void(double&)>& work) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe");
  const pid_t child = fork();
  if (child == 0) {
    double seconds = -1;
    try {
      work(seconds);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "failed: %s\n", error.what());
    }
    (void)!write(fds[1], &seconds, sizeof seconds);
    _exit(0);
  }
  close(fds[1]);
  Result result;
  (void)!read(fds[0], &result.seconds, sizeof result.seconds);
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  result.peakKb = usage.ru_maxrss;
  return result;
}

fs::path copyOf(const fs::path& base, const std::string& name) {
  const fs::path copy = base.parent_path() / name;
  fs::remove(copy);
  fs::copy_file(base, copy);
  return copy;
}

void report(const std::string& what, int64_t rows, const Result& engine, const Result& raw) {
  std::printf("%s (%lld rows)\n", what.c_str(), static_cast<long long>(rows));
  std::printf("  raw SQLite C API   %8.2f s  %10.0f rows/s  peak %7ld KB\n", raw.seconds,
              rows / raw.seconds, raw.peakKb);
  std::printf("  kivtab load        %8.2f s  %10.0f rows/s  peak %7ld KB\n", engine.seconds,
              rows / engine.seconds, engine.peakKb);
  std::printf("  speed of raw: %.0f%%\n", 100.0 * raw.seconds / engine.seconds);
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t localRows = argc > 1 ? std::stoll(argv[1]) : 1'000'000;
  const int64_t downloaded = argc > 2 ? std::stoll(argv[2]) : 200'000;
  const int64_t bulkRows = argc > 3 ? std::stoll(argv[3]) : 1'000'000;
  const fs::path dir =
      argc > 4 ? fs::path(argv[4]) : fs::temp_directory_path() / "kivtab_bench_load";
  fs::create_directories(dir);
  try {
    const fs::path full = dir / "full.db";
    const fs::path empty = dir / "empty.db";
    fs::remove(full);
    fs::remove(empty);
    createDatabase(full, localRows);
    createDatabase(empty, 0);

    const auto mergeRaw =
        inChild([&](double& s) { rawMerge(copyOf(full, "raw.db"), localRows, downloaded, s); });
    const auto mergeEngine = inChild(
        [&](double& s) { engineMerge(copyOf(full, "engine.db"), localRows, downloaded, s); });
    report("Keyed merge into a table of " + std::to_string(localRows) + " rows", downloaded,
           mergeEngine, mergeRaw);
    const auto bulkRaw = inChild([&](double& s) { rawBulk(copyOf(empty, "raw.db"), bulkRows, s); });
    const auto bulkEngine =
        inChild([&](double& s) { engineBulk(copyOf(empty, "engine.db"), bulkRows, s); });
    report("InsereDados", bulkRows, bulkEngine, bulkRaw);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_load: %s\n", error.what());
    return 1;
  }
  fs::remove_all(dir);
  return 0;
}
