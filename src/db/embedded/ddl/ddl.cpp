#include "db/embedded/ddl/alter_database.h"
#include "db/embedded/ddl/alter_table.h"
#include "db/embedded/ddl/procedural.h"
#include "db/embedded/ddl/token_cursor.h"
#include "db/embedded/extension.h"

namespace db::embedded::ddl {
namespace {

bool isProceduralKind(const TokenCursor& c, size_t at) {
  return c.peekIs("PROCEDURE", at) || c.peekIs("PROC", at) || c.peekIs("TRIGGER", at);
}

}  // namespace

std::optional<int64_t> tryExecute(sqlite3* db, const std::vector<Token>& tokens,
                                  std::string_view sql) {
  TokenCursor c(tokens, sql);
  if (c.accept("ALTER")) {
    if (c.accept("TABLE")) return alterTable(db, c);
    if (c.accept("DATABASE")) return alterDatabase(db, c);
    if (isProceduralKind(c, 0)) return createProcedural(db, c, true);
    return std::nullopt;
  }
  if (c.accept("CREATE")) {
    const bool orAlter = c.peekIs("OR") && c.peekIs("ALTER", 1);
    if (isProceduralKind(c, orAlter ? 2 : 0)) return createProcedural(db, c, false);
    return std::nullopt;
  }
  if (c.accept("DROP")) {
    if (isProceduralKind(c, 0)) return dropProcedural(db, c);
    return std::nullopt;
  }
  if (c.peekIs("ENABLE") || c.peekIs("DISABLE")) {
    const bool enable = c.accept("ENABLE");
    if (!enable) c.expect("DISABLE");
    if (c.peekIs("TRIGGER")) return enableTriggers(db, c, enable);
    c.unsupported((enable ? "ENABLE " : "DISABLE ") + std::string(c.peek().text));
  }
  return std::nullopt;
}

}  // namespace db::embedded::ddl
