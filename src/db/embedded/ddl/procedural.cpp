#include "db/embedded/ddl/procedural.h"

#include <sqlite3.h>

#include <vector>

#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/catalog/sqlite_access.h"
#include "db/embedded/ddl/table_store.h"
#include "db/embedded/procedural/parser.h"
#include "db/embedded/sql_quoting.h"

namespace db::embedded::ddl {
namespace {

constexpr std::string_view kObjectCount = "SELECT count(*) FROM kivtab_cat_objects WHERE name = ?1";
constexpr std::string_view kFindTableOrView =
    "SELECT name, type FROM main.sqlite_schema WHERE type IN ('table', 'view') "
    "AND name = ?1 COLLATE NOCASE";
constexpr std::string_view kFindProcedural =
    "SELECT type, parent FROM kivtab_objects WHERE name = ?1";
// Triggers go with their table, as on the server: each trigger of a table has a marker trigger
// in SQLite's schema, which SQLite drops with the table and a rebuild carries over.
constexpr std::string_view kForgetOrphanTriggers =
    "DELETE FROM kivtab_objects WHERE type = 'TR' AND NOT EXISTS (SELECT 1 FROM "
    "main.sqlite_schema m WHERE (m.type = 'view' AND m.name = kivtab_objects.parent COLLATE "
    "NOCASE) OR (m.type = 'trigger' AND m.name = 'kivtab_marker_' || kivtab_objects.name COLLATE "
    "NOCASE AND m.tbl_name = kivtab_objects.parent COLLATE NOCASE))";
constexpr std::string_view kInsert =
    "INSERT INTO kivtab_objects (name, type, parent, is_instead_of, definition, create_date, "
    "modify_date) VALUES (?1, ?2, ?3, ?4, ?5, julianday('now', 'localtime') - 2415018.5, "
    "julianday('now', 'localtime') - 2415018.5)";
constexpr std::string_view kReplace =
    "UPDATE kivtab_objects SET parent = ?3, is_instead_of = ?4, definition = ?5, "
    "modify_date = julianday('now', 'localtime') - 2415018.5 WHERE name = ?1 AND type = ?2";
constexpr std::string_view kDelete = "DELETE FROM kivtab_objects WHERE name = ?1";
constexpr std::string_view kSetDisabled =
    "UPDATE kivtab_objects SET is_disabled = ?1 WHERE type = 'TR' AND name = ?2 AND parent = ?3";
constexpr std::string_view kSetAllDisabled =
    "UPDATE kivtab_objects SET is_disabled = ?1 WHERE type = 'TR' AND parent = ?2";

struct Existing {
  std::string type;
  std::string parent;
};

std::optional<Existing> findProcedural(sqlite3* db, std::string_view name) {
  sqlite::Stmt stmt(db, kFindProcedural);
  stmt.bind(1, name);
  if (!stmt.step()) return std::nullopt;
  return Existing{stmt.text(0), stmt.text(1)};
}

[[noreturn]] void fail(const TokenCursor& cursor, const std::string& message) {
  throw Error(ErrorKind::General, message, std::string(cursor.sql()));
}

std::string markerName(const std::string& trigger) {
  return quoteIdentifier(std::string(kMarkerPrefix) + trigger);
}

// A marker never fires: WHEN 0 keeps it from doing anything. It is a DELETE trigger because
// SQLite empties a table without one by a shortcut that skips the row hooks, which would leave
// `deleted` empty for a DELETE without WHERE.
void createMarker(sqlite3* db, const std::string& trigger, const std::string& table) {
  sqlite::exec(db, "CREATE TRIGGER " + markerName(trigger) + " AFTER DELETE ON " +
                       quoteIdentifier(table) + " WHEN 0 BEGIN SELECT 1; END");
}

void dropMarker(sqlite3* db, const std::string& trigger) {
  sqlite::exec(db, "DROP TRIGGER IF EXISTS " + markerName(trigger));
}

std::string kindWord(const std::string& type) { return type == "P" ? "procedure" : "trigger"; }

// PROCEDURE, PROC or TRIGGER at the cursor: "P" or "TR".
std::string readKind(TokenCursor& cursor) {
  if (cursor.accept("PROCEDURE") || cursor.accept("PROC")) return "P";
  if (cursor.accept("TRIGGER")) return "TR";
  cursor.unsupported("this kind of object");
}

}  // namespace

bool objectExists(sqlite3* db, std::string_view name) {
  sqlite::Stmt stmt(db, kObjectCount);
  stmt.bind(1, name);
  return stmt.step() && stmt.integer(0) > 0;
}

int64_t createProcedural(sqlite3* db, TokenCursor& cursor, bool alter) {
  const bool createOrAlter = !alter && cursor.accept("OR");
  if (createOrAlter) cursor.expect("ALTER");
  const std::string type = readKind(cursor);
  const std::string name = cursor.name();
  std::string parent;
  bool isView = false;
  bool insteadOf = false;
  if (type == "TR") {
    cursor.expect("ON");
    const std::string table = cursor.name();
    sqlite::Stmt find(db, kFindTableOrView);
    find.bind(1, table);
    if (!find.step())
      fail(cursor, "The object '" + table + "' does not exist or is invalid for this operation.");
    parent = find.text(0);
    isView = find.text(1) == "view";
  }
  while (!cursor.atEnd() && !cursor.peekIs("AS")) {
    if (cursor.peekIs("INSTEAD")) insteadOf = true;
    cursor.seek(cursor.position() + 1);
  }
  if (!cursor.accept("AS") || cursor.atEnd()) cursor.syntax("AS and the body expected");
  // INSTEAD OF would replace the statement; the engine runs statements as written.
  if (insteadOf) cursor.unsupported("INSTEAD OF triggers");
  // The body is parsed now so that what the engine cannot run is refused before it is stored.
  if (type == "P")
    procedural::parseProcedure(cursor.sql());
  else
    procedural::parseTriggerBody(cursor.sql(), name, upper(parent));

  sqlite::exec(db, kForgetOrphanTriggers);
  const auto existing = findProcedural(db, name);
  const bool replace = (alter || createOrAlter) && existing && existing->type == type;
  if (alter && !replace) fail(cursor, "Invalid object name '" + name + "'.");
  if (!replace && objectExists(db, name))
    fail(cursor, "There is already an object named '" + name + "' in the database.");
  sqlite::exec(db, "SAVEPOINT kivtab_procedural");
  try {
    sqlite::Stmt stmt(db, replace ? kReplace : kInsert);
    stmt.bind(1, name).bind(2, type).bind(3, parent).bind(4, int64_t{insteadOf});
    stmt.bind(5, trim(cursor.sql())).run();
    if (type == "TR") {
      dropMarker(db, name);
      if (!isView) createMarker(db, name, parent);
    }
    sqlite::exec(db, "RELEASE kivtab_procedural");
  } catch (const Error&) {
    sqlite3_exec(db, "ROLLBACK TO kivtab_procedural; RELEASE kivtab_procedural", nullptr, nullptr,
                 nullptr);
    throw;
  }
  return 0;
}

int64_t dropProcedural(sqlite3* db, TokenCursor& cursor) {
  const std::string type = readKind(cursor);
  bool ifExists = false;
  if (cursor.accept("IF")) {
    cursor.expect("EXISTS");
    ifExists = true;
  }
  sqlite::exec(db, kForgetOrphanTriggers);
  do {
    const std::string name = cursor.name();
    const auto existing = findProcedural(db, name);
    if (!existing || existing->type != type) {
      if (ifExists) continue;
      fail(cursor, "Cannot drop the " + kindWord(type) + " '" + name +
                       "', because it does not exist or you do not have permission.");
    }
    sqlite::Stmt stmt(db, kDelete);
    stmt.bind(1, name).run();
    if (type == "TR") dropMarker(db, name);
  } while (cursor.acceptSymbol(","));
  cursor.expectEnd();
  return 0;
}

int64_t enableTriggers(sqlite3* db, TokenCursor& cursor, bool enable) {
  cursor.expect("TRIGGER");
  const size_t namesAt = cursor.position();
  while (!cursor.atEnd() && !cursor.peekIs("ON")) cursor.seek(cursor.position() + 1);
  cursor.expect("ON");
  if (cursor.peekIs("DATABASE") || cursor.peekIs("ALL"))
    cursor.unsupported("database and server triggers");
  const std::string table = cursor.name();
  cursor.expectEnd();
  cursor.seek(namesAt);
  return enableTableTriggers(db, cursor, table, enable);
}

int64_t enableTableTriggers(sqlite3* db, TokenCursor& cursor, const std::string& table,
                            bool enable) {
  cursor.accept("TRIGGER");
  sqlite::exec(db, kForgetOrphanTriggers);
  const auto stored = loadTable(db, table, cursor.sql());
  const int64_t disabled = enable ? 0 : 1;
  if (cursor.accept("ALL")) {
    sqlite::Stmt stmt(db, kSetAllDisabled);
    stmt.bind(1, disabled).bind(2, stored.name).run();
    return 0;
  }
  do {
    const std::string name = cursor.name();
    const auto existing = findProcedural(db, name);
    if (!existing || existing->type != "TR" || !iequals(existing->parent, stored.name))
      fail(cursor, "Cannot find the object \"" + name +
                       "\" because it does not exist or you do not have permissions.");
    sqlite::Stmt stmt(db, kSetDisabled);
    stmt.bind(1, disabled).bind(2, name).bind(3, stored.name).run();
  } while (cursor.acceptSymbol(","));
  if (!cursor.atEnd() && !cursor.peekIs("ON")) cursor.syntax("unexpected text after the triggers");
  return 0;
}

}  // namespace db::embedded::ddl
