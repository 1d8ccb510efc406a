#include "db/embedded/catalog/functions.h"

#include <sqlite3.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string_view>

#include "db/core/error.h"
#include "db/embedded/catalog/constraints.h"
#include "db/embedded/catalog/default_text.h"
#include "db/embedded/catalog/sql_types.h"

namespace db::embedded::catalog {
namespace {

std::string_view argText(sqlite3_value* value) {
  const auto* p = sqlite3_value_text(value);
  return p ? std::string_view(reinterpret_cast<const char*>(p),
                              static_cast<size_t>(sqlite3_value_bytes(value)))
           : std::string_view();
}

void resultText(sqlite3_context* ctx, const std::string& text) {
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void constantText(sqlite3_context* ctx, int, sqlite3_value**) {
  resultText(ctx, *static_cast<const std::string*>(sqlite3_user_data(ctx)));
}

void deleteString(void* p) { delete static_cast<std::string*>(p); }

void resultOptional(sqlite3_context* ctx, const std::optional<int64_t>& value) {
  if (value) {
    sqlite3_result_int64(ctx, *value);
  } else {
    sqlite3_result_null(ctx);
  }
}

void typeFact(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const SqlType type = describeType(argText(argv[0]));
  const std::string_view field = argText(argv[1]);
  auto widen = [](const std::optional<int>& v) -> std::optional<int64_t> {
    return v ? std::optional<int64_t>(*v) : std::nullopt;
  };
  if (field == "name") return resultText(ctx, type.name);
  if (field == "xtype") return sqlite3_result_int64(ctx, type.xtype);
  if (field == "length") return sqlite3_result_int64(ctx, type.length);
  if (field == "precision") return sqlite3_result_int64(ctx, type.precision);
  if (field == "scale") return sqlite3_result_int64(ctx, type.scale);
  if (field == "char_length") return resultOptional(ctx, type.charLength);
  if (field == "numeric_precision") return resultOptional(ctx, widen(type.numericPrecision));
  if (field == "numeric_scale") return resultOptional(ctx, widen(type.numericScale));
  if (field == "datetime_precision") return resultOptional(ctx, widen(type.datetimePrecision));
  sqlite3_result_error(ctx, "kivtab_type: unknown field", -1);
}

void defaultText(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  try {
    resultText(ctx, serverDefaultText(argText(argv[0])));
  } catch (const std::exception& e) {
    sqlite3_result_error(ctx, e.what(), -1);
  }
}

// Parsed constraints per CREATE TABLE text, so that catalogue queries do not parse each table's
// definition again for every row. Bounded: cleared when it grows past the limit.
class ConstraintCache {
 public:
  const std::vector<CatalogConstraint>& get(std::string_view table, std::string_view sql) {
    std::string key = std::string(table) + '\n' + std::string(sql);
    auto it = entries_.find(key);
    if (it != entries_.end()) return it->second;
    if (entries_.size() > kLimit) entries_.clear();
    return entries_.emplace(std::move(key), constraintsOf(ddl::TableDef::parse(sql), table))
        .first->second;
  }

 private:
  static constexpr size_t kLimit = 4096;
  std::map<std::string, std::vector<CatalogConstraint>, std::less<>> entries_;
};

void deleteCache(void* p) { delete static_cast<ConstraintCache*>(p); }

void constraintsJson(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* cache = static_cast<ConstraintCache*>(sqlite3_user_data(ctx));
  try {
    nlohmann::json out = nlohmann::json::array();
    for (const auto& c : cache->get(argText(argv[0]), argText(argv[1])))
      out.push_back(
          {{"name", c.name}, {"type", c.type}, {"offset", c.offset}, {"column", c.column}});
    resultText(ctx, out.dump());
  } catch (const std::exception&) {
    // A definition the parser does not follow simply contributes no constraints.
    resultText(ctx, "[]");
  }
}

void primaryKeyName(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* cache = static_cast<ConstraintCache*>(sqlite3_user_data(ctx));
  try {
    for (const auto& c : cache->get(argText(argv[0]), argText(argv[1])))
      if (c.type == "PK") return resultText(ctx, c.name);
  } catch (const std::exception&) {
  }
  sqlite3_result_null(ctx);
}

void check(sqlite3* db, int rc, const char* name) {
  if (rc != SQLITE_OK)
    throw Error(ErrorKind::General,
                std::string("Cannot register function ") + name + ": " + sqlite3_errmsg(db));
}

}  // namespace

void registerFunctions(sqlite3* db, const std::string& user, const std::string& database) {
  constexpr int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  check(db,
        sqlite3_create_function_v2(db, "kivtab_user", 0, kPure, new std::string(user), constantText,
                                   nullptr, nullptr, deleteString),
        "kivtab_user");
  check(db,
        sqlite3_create_function_v2(db, "kivtab_database", 0, kPure, new std::string(database),
                                   constantText, nullptr, nullptr, deleteString),
        "kivtab_database");
  check(db,
        sqlite3_create_function_v2(db, "kivtab_type", 2, kPure, nullptr, typeFact, nullptr, nullptr,
                                   nullptr),
        "kivtab_type");
  check(db,
        sqlite3_create_function_v2(db, "kivtab_default_text", 1, kPure, nullptr, defaultText,
                                   nullptr, nullptr, nullptr),
        "kivtab_default_text");
  // One cache shared by both constraint functions; the first registration owns it.
  auto* cache = new ConstraintCache;
  check(db,
        sqlite3_create_function_v2(db, "kivtab_constraints", 2, kPure, cache, constraintsJson,
                                   nullptr, nullptr, deleteCache),
        "kivtab_constraints");
  check(db,
        sqlite3_create_function_v2(db, "kivtab_pk_name", 2, kPure, cache, primaryKeyName, nullptr,
                                   nullptr, nullptr),
        "kivtab_pk_name");
}

}  // namespace db::embedded::catalog
