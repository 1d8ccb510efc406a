// Any text given to the translator either translates into something SQLite can prepare (or
// refuse) or fails with db::Error; nothing else escapes, nothing crashes.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "db/core/error.h"
#include "db/embedded/translate/translator.h"

namespace {

struct Database {
  Database() {
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db,
                 "CREATE TABLE T (NMX VARCHAR(10) COLLATE NOCASE, DTX DATETIME, N INT, "
                 "VR DECIMAL(17,3))",
                 nullptr, nullptr, nullptr);
  }
  sqlite3* db = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Database database;
  static db::embedded::SchemaInfo schema(database.db);
  const std::string sql(reinterpret_cast<const char*>(data), size);
  try {
    const auto translation = db::embedded::translateStatement(sql, schema, "sa");
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(database.db, translation.sql.c_str(), -1, &stmt, nullptr);
    sqlite3_finalize(stmt);
  } catch (const db::Error&) {
  }
  return 0;
}
