#include "db/embedded/translate/context.h"

#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/extension.h"
#include "db/embedded/server/databases.h"
#include "db/embedded/sql_quoting.h"
#include "db/embedded/translate/keywords.h"

namespace db::embedded {

TranslationContext::TranslationContext(std::string_view sqlText,
                                       std::vector<Token> significantTokens, SchemaInfo& schemaInfo,
                                       const std::string& userName, server::Databases* servers)
    : sql(sqlText),
      tokens(std::move(significantTokens)),
      schema(schemaInfo),
      user(userName),
      databases(servers),
      parameters(parameterNamesOf(tokens)) {
  dateParameters.assign(parameters.size(), false);
}

void TranslationContext::unsupported(const std::string& construct) const {
  throw Error(ErrorKind::Unsupported, "The embedded database engine does not support " + construct,
              std::string(sql));
}

void TranslationContext::syntax(const std::string& what) const {
  throw Error(ErrorKind::Syntax, "Incorrect syntax: " + what, std::string(sql));
}

const Token& TranslationContext::at(size_t i) const {
  if (i >= tokens.size()) syntax("the statement ends too early");
  return tokens[i];
}

size_t TranslationContext::closing(size_t open) const {
  int depth = 0;
  for (size_t i = open; i < tokens.size(); ++i) {
    if (tokens[i].isSymbol("(")) ++depth;
    if (tokens[i].isSymbol(")") && --depth == 0) return i;
  }
  syntax("a '(' is not closed");
}

std::vector<std::pair<size_t, size_t>> TranslationContext::splitCommas(size_t begin,
                                                                       size_t end) const {
  std::vector<std::pair<size_t, size_t>> out;
  size_t start = begin;
  for (size_t i = begin; i < end; ++i) {
    if (tokens[i].isSymbol("(")) {
      i = closing(i);
    } else if (tokens[i].isSymbol(",")) {
      out.emplace_back(start, i);
      start = i + 1;
    }
  }
  if (start < end || !out.empty()) out.emplace_back(start, end);
  return out;
}

size_t TranslationContext::parameterIndex(std::string_view name) const {
  for (size_t i = 0; i < parameters.size(); ++i)
    if (iequals(parameters[i], name)) return i;
  return 0;
}

ExprType TranslationContext::columnType(std::string_view qualifier, std::string_view column) {
  auto typeIn = [&](const std::string& table,
                    const std::string& inSchema) -> std::optional<ExprType> {
    for (const auto& c : schema.columns(table, inSchema))
      if (iequals(c.name, column)) return exprTypeOfDeclared(c.declaredType);
    return std::nullopt;
  };
  for (const auto& t : tables) {
    if (!qualifier.empty() && !iequals(qualifier, t.alias) && !iequals(qualifier, t.name)) continue;
    if (auto type = typeIn(t.name, t.schema)) return *type;
  }
  return ExprType::Unknown;
}

std::vector<std::string> readChain(const TranslationContext& ctx, size_t& i) {
  std::vector<std::string> parts;
  for (;;) {
    const Token& t = ctx.at(i);
    if (t.kind != TokenKind::Word && t.kind != TokenKind::Quoted) ctx.syntax("a name was expected");
    parts.push_back(t.value());
    ++i;
    if (!ctx.isSymbol(i, ".")) return parts;
    // DB..name: the owner left out.
    if (ctx.isSymbol(i + 1, ".")) {
      parts.emplace_back();
      ++i;
    }
    if (ctx.isSymbol(i + 1, "*")) return parts;
    ++i;
  }
}

std::string TableName::sql() const {
  if (!inlineSql.empty()) return "(" + inlineSql + ")";
  return schema.empty() ? quoteIdentifier(name)
                        : quoteIdentifier(schema) + "." + quoteIdentifier(name);
}

namespace {

std::string joined(std::vector<std::string>::const_iterator begin,
                   std::vector<std::string>::const_iterator end) {
  std::string out;
  for (auto it = begin; it != end; ++it) out += (it == begin ? "" : ".") + *it;
  return out;
}

bool isOwner(std::string_view owner) { return owner.empty() || iequals(owner, "dbo"); }

}  // namespace

TableName resolveTable(const TranslationContext& ctx, const std::vector<std::string>& chain) {
  const std::string whole = joined(chain.begin(), chain.end());
  if (chain.size() > 3) ctx.unsupported("the qualified name " + whole);
  const bool otherDatabase = chain.size() == 3 && !iequals(chain[0], "master") &&
                             !(ctx.databases && ctx.databases->isCurrent(chain[0]));
  if (otherDatabase) {
    const std::string local = joined(chain.begin() + 1, chain.end());
    const auto view = catalog::viewFor(local);
    if (!ctx.databases || (!view && !isOwner(chain[1])))
      ctx.unsupported("the qualified name " + whole);
    std::string schema;
    try {
      schema = ctx.databases->schemaOf(chain[0]);
    } catch (const Error& e) {
      throw Error(e.kind(), e.what(), std::string(ctx.sql), e.nativeCode());
    }
    if (view) {
      // Server-wide views (sys.databases, syslogins, ...) are the same from every database.
      std::string select = catalog::viewSelectFor(*view, schema);
      if (select.empty()) return {{}, *view, {}};
      return {schema, *view, std::move(select)};
    }
    return {schema, chain[2], {}};
  }
  if (auto view = catalog::viewFor(whole)) return {{}, *view, {}};
  if (chain.size() == 1) return {{}, chain[0], {}};
  if (chain.size() == 2 && !chain[0].empty() && isOwner(chain[0])) return {{}, chain[1], {}};
  if (chain.size() == 3 && !iequals(chain[0], "master") && isOwner(chain[1]))
    return {{}, chain[2], {}};
  ctx.unsupported("the qualified name " + whole);
}

std::string sqliteTableName(const TranslationContext& ctx, const std::vector<std::string>& chain,
                            std::string_view purpose) {
  TableName table = resolveTable(ctx, chain);
  if (!table.schema.empty())
    ctx.unsupported("a name in another database in " + std::string(purpose));
  return table.name;
}

void collectTables(TranslationContext& ctx) {
  const auto& toks = ctx.tokens;
  for (size_t i = 0; i < toks.size(); ++i) {
    const bool from = toks[i].is("FROM");
    if (!from && !toks[i].is("JOIN") && !toks[i].is("UPDATE") && !toks[i].is("INTO") &&
        !toks[i].is("TABLE") &&
        !(toks[i].is("DELETE") && i + 1 < toks.size() && !toks[i + 1].is("FROM")))
      continue;
    size_t j = i + 1;
    for (;;) {
      if (j >= toks.size()) break;
      TableRef ref;
      if (toks[j].isSymbol("(")) {
        j = ctx.closing(j) + 1;
      } else if (toks[j].kind == TokenKind::Word || toks[j].kind == TokenKind::Quoted) {
        if (isKeyword(toks[j])) break;
        TableName table = resolveTable(ctx, readChain(ctx, j));
        ref.name = table.name;
        ref.schema = table.inlineSql.empty() ? table.schema : std::string();
      } else {
        break;
      }
      if (ctx.is(j, "AS")) ++j;
      if (j < toks.size() &&
          (toks[j].kind == TokenKind::Word || toks[j].kind == TokenKind::Quoted) &&
          !isKeyword(toks[j]))
        ref.alias = toks[j++].value();
      if (!ref.name.empty()) ctx.tables.push_back(ref);
      if (!from || !ctx.isSymbol(j, ",")) break;
      ++j;
    }
  }
}

std::string createTableWords(std::string_view name) {
  const bool temporary = name.starts_with("#") || name.starts_with("\"#");
  return temporary ? "CREATE TEMP TABLE " : "CREATE TABLE ";
}

}  // namespace db::embedded
