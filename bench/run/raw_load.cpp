// The raw baseline of the whole-run benchmark: the rows a run left in a local database written
// again into the same schema, empty, straight through the SQLite C API (prepared INSERT per
// table, one transaction per table, the engine's pragmas). Prints one line the benchmark script
// reads: "raw <tables> <rows> <seconds> <peak KB> <CPU seconds>".
#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr const char* kPragmas[] = {"PRAGMA foreign_keys = ON", "PRAGMA journal_mode = WAL",
                                    "PRAGMA synchronous = NORMAL"};
constexpr const char* kSchema =
    "SELECT type, name, sql FROM sqlite_schema WHERE sql IS NOT NULL AND name NOT LIKE "
    "'sqlite\\_%' ESCAPE '\\' ORDER BY type <> 'table', rowid";

struct Db {
  sqlite3* handle = nullptr;
  Db(const std::string& path, int flags) {
    if (sqlite3_open_v2(path.c_str(), &handle, flags, nullptr) != SQLITE_OK)
      throw std::runtime_error("cannot open " + path);
  }
  ~Db() { sqlite3_close(handle); }
  void exec(const std::string& sql) const {
    char* error = nullptr;
    if (sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::string text = error ? error : "?";
      sqlite3_free(error);
      throw std::runtime_error(sql + ": " + text);
    }
  }
};

struct Stmt {
  sqlite3_stmt* handle = nullptr;
  Stmt(const Db& db, const std::string& sql) {
    if (sqlite3_prepare_v2(db.handle, sql.c_str(), -1, &handle, nullptr) != SQLITE_OK)
      throw std::runtime_error(sql + ": " + sqlite3_errmsg(db.handle));
  }
  ~Stmt() { sqlite3_finalize(handle); }
};

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

// Copies one table's rows; returns how many.
long long copyTable(const Db& source, const Db& target, const std::string& table) {
  Stmt read(source, "SELECT * FROM " + quoted(table));
  const int columns = sqlite3_column_count(read.handle);
  std::string marks;
  for (int i = 0; i < columns; ++i) marks += i ? ",?" : "?";
  target.exec("BEGIN");
  Stmt write(target, "INSERT INTO " + quoted(table) + " VALUES (" + marks + ")");
  long long rows = 0;
  while (sqlite3_step(read.handle) == SQLITE_ROW) {
    for (int i = 0; i < columns; ++i)
      sqlite3_bind_value(write.handle, i + 1, sqlite3_column_value(read.handle, i));
    if (sqlite3_step(write.handle) != SQLITE_DONE)
      throw std::runtime_error(table + ": " + sqlite3_errmsg(target.handle));
    sqlite3_reset(write.handle);
    ++rows;
  }
  target.exec("COMMIT");
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s LOADED-DB NEW-DB\n", argv[0]);
    return 2;
  }
  try {
    std::filesystem::remove(argv[2]);
    Db source(argv[1], SQLITE_OPEN_READONLY);
    Db target(argv[2], SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    for (const char* pragma : kPragmas) target.exec(pragma);
    // Foreign keys hold between tables loaded in any order only once all are in.
    target.exec("PRAGMA foreign_keys = OFF");
    std::vector<std::string> tables;
    {
      Stmt schema(source, kSchema);
      while (sqlite3_step(schema.handle) == SQLITE_ROW) {
        const std::string type =
            reinterpret_cast<const char*>(sqlite3_column_text(schema.handle, 0));
        target.exec(reinterpret_cast<const char*>(sqlite3_column_text(schema.handle, 2)));
        if (type == "table")
          tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(schema.handle, 1)));
      }
    }
    const auto started = std::chrono::steady_clock::now();
    long long rows = 0;
    for (const auto& table : tables) rows += copyTable(source, target, table);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("raw %zu %lld %.3f %ld %.3f\n", tables.size(), rows, elapsed.count(),
                usage.ru_maxrss, cpu);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_raw_load: %s\n", e.what());
    return 1;
  }
  return 0;
}
