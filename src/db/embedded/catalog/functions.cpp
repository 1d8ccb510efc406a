#include "db/embedded/catalog/functions.h"

#include <sqlite3.h>

#include "db/core/error.h"

namespace db::embedded::catalog {
namespace {

void constantText(sqlite3_context* ctx, int, sqlite3_value**) {
  const auto* text = static_cast<const std::string*>(sqlite3_user_data(ctx));
  sqlite3_result_text(ctx, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
}

void deleteString(void* p) { delete static_cast<std::string*>(p); }

void registerConstant(sqlite3* db, const char* name, const std::string& value) {
  constexpr int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  if (sqlite3_create_function_v2(db, name, 0, kPure, new std::string(value), constantText, nullptr,
                                 nullptr, deleteString) != SQLITE_OK)
    throw Error(ErrorKind::General,
                std::string("Cannot register function ") + name + ": " + sqlite3_errmsg(db));
}

}  // namespace

void registerFunctions(sqlite3* db, const std::string& user, const std::string& database) {
  registerConstant(db, "kivtab_user", user);
  registerConstant(db, "kivtab_database", database);
  // The database alone; a connection that knows its server folder lists the folder's instead.
  std::string json = "[\"";
  for (char c : database) {
    if (c == '"' || c == '\\') json += '\\';
    json += c;
  }
  registerConstant(db, "kivtab_databases", json + "\"]");
}

}  // namespace db::embedded::catalog
