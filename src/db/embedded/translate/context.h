#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/embedded/tokenizer.h"
#include "db/embedded/translate/schema_info.h"

namespace db::embedded {

namespace server {
class Databases;
}

struct TableRef {
  std::string name;    // as SQLite knows it (owner dropped, catalogue names replaced)
  std::string alias;   // empty when none
  std::string schema;  // the SQLite schema of another database; empty for the connection's own
};

// A table, view or catalogue name as SQLite reaches it.
struct TableName {
  std::string schema;     // SQLite schema of another database of the server; empty for this one
  std::string name;       // bare, unquoted
  std::string inlineSql;  // a catalogue view of another database: the SELECT standing for it
  // The reference as SQLite text: "name", "schema"."name" or (SELECT ...).
  std::string sql() const;
};

// What translating one statement shares between its parts.
struct TranslationContext {
  TranslationContext(std::string_view sql, std::vector<Token> tokens, SchemaInfo& schema,
                     const std::string& user, server::Databases* databases = nullptr);

  std::string_view sql;       // the original text, for errors
  std::vector<Token> tokens;  // significant tokens
  SchemaInfo& schema;
  const std::string& user;
  server::Databases* databases;         // other databases of the server; none reachable when null
  std::vector<std::string> parameters;  // names in order of first appearance
  std::vector<bool> dateParameters;
  std::vector<TableRef> tables;  // every table the statement names, with its alias

  [[noreturn]] void unsupported(const std::string& construct) const;
  [[noreturn]] void syntax(const std::string& what) const;

  const Token& at(size_t i) const;  // a Syntax error past the end
  bool is(size_t i, std::string_view keyword) const {
    return i < tokens.size() && tokens[i].is(keyword);
  }
  bool isSymbol(size_t i, std::string_view symbol) const {
    return i < tokens.size() && tokens[i].isSymbol(symbol);
  }
  size_t closing(size_t open) const;  // the ')' matching the '(' at `open`
  // Top-level comma-separated ranges of [begin, end).
  std::vector<std::pair<size_t, size_t>> splitCommas(size_t begin, size_t end) const;

  size_t parameterIndex(std::string_view name) const;
  ExprType columnType(std::string_view qualifier, std::string_view column);
};

// A name chain at `i` (a, a.b, [a].b.c) as bare parts; advances `i` past it.
std::vector<std::string> readChain(const TranslationContext& ctx, size_t& i);

// A table name as SQLite reaches it: catalogue names become their views, the owner is dropped,
// a three-part name (DB.owner.name, DB..name) reaches another database of the server.
TableName resolveTable(const TranslationContext& ctx, const std::vector<std::string>& chain);

// A table name of the connection's own database as SQLite knows it (bare, unquoted); a name in
// another database is refused, naming `purpose`.
std::string sqliteTableName(const TranslationContext& ctx, const std::vector<std::string>& chain,
                            std::string_view purpose = "this statement");

// Collects the tables a statement names (FROM, JOIN, UPDATE, INTO, DELETE) with their aliases.
void collectTables(TranslationContext& ctx);

// "CREATE TABLE ", or "CREATE TEMP TABLE " for a #name (bare or quoted): temporary tables are
// private to the connection and go when it closes, as on SQL Server.
std::string createTableWords(std::string_view name);

}  // namespace db::embedded
