// Prepared, parameterised 20-column INSERTs through the ODBC engine against the same loop written
// directly on the ODBC API, both on the SQLite ODBC driver, in one process. Report the ratio of
// the two rates.
#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "db/odbc/odbc.h"

namespace {

constexpr int kColumns = 20;
constexpr const char* kDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

std::string databasePath(const char* name) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("kivtab-odbc-bench-" + std::to_string(static_cast<long>(::getpid())));
  std::filesystem::create_directories(dir);
  const auto path = dir / name;
  std::filesystem::remove(path);
  return path.string();
}

std::string connectionString(const char* name) {
  return std::string("DRIVER={") + kDriver + "};Database=" + databasePath(name) + ";";
}

std::string createTable() {
  std::string sql = "CREATE TABLE T (";
  for (int c = 0; c < kColumns; ++c)
    sql += (c ? ", C" : "C") + std::to_string(c) + (c % 2 ? " INTEGER" : " VARCHAR(20)");
  return sql + ")";
}

std::string insert(bool named) {
  std::string sql = "INSERT INTO T VALUES (";
  for (int c = 0; c < kColumns; ++c)
    sql += std::string(c ? ", " : "") + (named ? ":P_C" + std::to_string(c) : "?");
  return sql + ")";
}

void check(SQLRETURN rc, const char* what) {
  if (!SQL_SUCCEEDED(rc)) throw std::runtime_error(what);
}

void RawOdbc(benchmark::State& state) {
  SQLHENV env;
  SQLHDBC dbc;
  SQLHSTMT stmt;
  check(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), "env");
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  check(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), "dbc");
  std::string cs = connectionString("raw.db");
  check(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(cs.data()), SQL_NTS, nullptr, 0,
                         nullptr, SQL_DRIVER_NOPROMPT),
        "connect");
  check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), "stmt");
  std::string create = createTable();
  check(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(create.data()), SQL_NTS), "create");
  std::string sql = insert(false);
  check(SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS), "prepare");
  std::array<std::string, kColumns> texts;
  std::array<int64_t, kColumns> numbers{};
  std::array<SQLLEN, kColumns> lengths{};
  SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
  int64_t row = 0;
  for (auto _ : state) {
    for (int c = 0; c < kColumns; ++c) {
      const auto n = static_cast<SQLUSMALLINT>(c + 1);
      if (c % 2) {
        numbers[c] = row + c;
        lengths[c] = 0;
        SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 19, 0, &numbers[c], 0,
                         &lengths[c]);
      } else {
        texts[c] = "text" + std::to_string(row);
        lengths[c] = static_cast<SQLLEN>(texts[c].size());
        SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, texts[c].size(), 0,
                         texts[c].data(), lengths[c], &lengths[c]);
      }
    }
    check(SQLExecute(stmt), "execute");
    ++row;
  }
  SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  state.SetItemsProcessed(row);
}

void ThroughConnection(benchmark::State& state) {
  auto db = db::odbc::open({connectionString("layer.db"), {}, {}});
  db->execute(createTable());
  db::Statement& statement = db->prepare(insert(true));
  db->begin();
  int64_t row = 0;
  for (auto _ : state) {
    for (int c = 0; c < kColumns; ++c) {
      if (c % 2)
        statement.bind(static_cast<size_t>(c), row + c);
      else
        statement.bind(static_cast<size_t>(c), "text" + std::to_string(row));
    }
    statement.execute();
    ++row;
  }
  db->commit();
  state.SetItemsProcessed(row);
}

BENCHMARK(RawOdbc)->Iterations(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(ThroughConnection)->Iterations(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
