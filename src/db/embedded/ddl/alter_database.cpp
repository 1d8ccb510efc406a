#include "db/embedded/ddl/alter_database.h"

#include <utility>
#include <vector>

#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/catalog/metadata.h"
#include "db/embedded/catalog/sqlite_access.h"

namespace db::embedded::ddl {
namespace {

constexpr std::string_view kRecord =
    "INSERT INTO kivtab_settings (name, value) VALUES (?1, ?2) "
    "ON CONFLICT (name) DO UPDATE SET value = excluded.value";

// ON/OFF options and the setting each one records.
constexpr std::pair<std::string_view, std::string_view> kSwitches[] = {
    {"READ_COMMITTED_SNAPSHOT", "read_committed_snapshot"},
    {"ALLOW_SNAPSHOT_ISOLATION", "allow_snapshot_isolation"},
};
constexpr std::string_view kAccessModes[] = {"SINGLE_USER", "MULTI_USER", "RESTRICTED_USER"};

}  // namespace

int64_t alterDatabase(sqlite3* db, TokenCursor& cursor) {
  if (cursor.peek().kind == TokenKind::Parameter)
    cursor.unsupported("a parameter in place of the database name (write the name itself)");
  if (!cursor.accept("CURRENT")) {
    const std::string name = cursor.name();
    if (!iequals(name, catalog::databaseName(db)))
      throw Error(
          ErrorKind::General,
          "Database '" + name + "' does not exist. Make sure that the name is entered correctly.",
          std::string(cursor.sql()));
  }
  cursor.expect("SET");
  std::vector<std::pair<std::string, std::string>> settings;
  do {
    bool known = false;
    for (const auto& [option, setting] : kSwitches) {
      if (!cursor.accept(option)) continue;
      const bool on = cursor.accept("ON");
      if (!on) cursor.expect("OFF");
      settings.emplace_back(setting, on ? "1" : "0");
      known = true;
    }
    for (std::string_view mode : kAccessModes) {
      if (!known && cursor.accept(mode)) {
        settings.emplace_back("user_access", mode);
        known = true;
      }
    }
    if (!known) cursor.unsupported("ALTER DATABASE SET " + upper(cursor.peek().text));
  } while (cursor.acceptSymbol(","));
  if (cursor.accept("WITH")) {
    if (cursor.accept("ROLLBACK")) {
      if (!cursor.accept("IMMEDIATE")) {
        cursor.expect("AFTER");
        if (cursor.peek().kind != TokenKind::Number) cursor.syntax("a number of seconds expected");
        cursor.seek(cursor.position() + 1);
        cursor.accept("SECONDS");
      }
    } else {
      cursor.expect("NO_WAIT");
    }
  }
  cursor.expectEnd();
  for (const auto& [name, value] : settings) {
    sqlite::Stmt stmt(db, kRecord);
    stmt.bind(1, name).bind(2, value).run();
  }
  return 0;
}

}  // namespace db::embedded::ddl
