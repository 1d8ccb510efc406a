#include <cctype>

#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/translate/context.h"
#include "db/embedded/translate/expression_writer.h"
#include "db/embedded/translate/row_independent_where.h"
#include "db/embedded/translate/statement_forms.h"
#include "db/embedded/translate/translator.h"

namespace db::embedded {
namespace {

// Placeholder words the translator adds where T-SQL lets them out (DELETE t, INSERT t).
constexpr std::string_view kFrom = "FROM";
constexpr std::string_view kInto = "INTO";

std::vector<Token> statementTokens(std::string_view sql) {
  auto tokens = significant(tokenize(sql));
  while (!tokens.empty() && tokens.back().isSymbol(";")) tokens.pop_back();
  int depth = 0;
  for (const auto& t : tokens) {
    if (t.isSymbol("(")) ++depth;
    if (t.isSymbol(")")) --depth;
    if (t.isSymbol(";") && depth == 0)
      throw Error(ErrorKind::Unsupported,
                  "The embedded database engine does not support several statements in one text",
                  std::string(sql));
  }
  if (tokens.empty()) throw Error(ErrorKind::Syntax, "The statement is empty", std::string(sql));
  return tokens;
}

void insertWord(TranslationContext& ctx, size_t at, std::string_view word) {
  ctx.tokens.insert(ctx.tokens.begin() + static_cast<long>(at),
                    Token{TokenKind::Word, word, ctx.tokens[at - 1].offset});
}

void checkSingleFrom(const TranslationContext& ctx) {
  int depth = 0, froms = 0;
  for (const auto& t : ctx.tokens) {
    if (t.isSymbol("(")) ++depth;
    if (t.isSymbol(")")) --depth;
    if (depth == 0 && t.is("FROM") && ++froms > 1) ctx.unsupported("DELETE ... FROM ... FROM");
  }
}

// The table an INSERT, UPDATE or DELETE changes: the first it names, through its alias when
// it names an alias (UPDATE a SET ... FROM T a).
std::string changedTable(const TranslationContext& ctx) {
  if (ctx.tables.empty()) return {};
  const std::string& first = ctx.tables.front().name;
  for (const auto& t : ctx.tables)
    if (iequals(t.alias, first)) return t.name;
  return first;
}

}  // namespace

Translation translateStatement(std::string_view sql, SchemaInfo& schema, const std::string& user,
                               server::Databases* databases) {
  TranslationContext ctx(sql, statementTokens(sql), schema, user, databases);
  ExpressionWriter writer(ctx);
  Translation out;
  // A copy: some forms rewrite the token list.
  const Token first = ctx.tokens[0];
  if (first.is("IF")) {
    translateIf(ctx, writer, out);
  } else if (first.is("SELECT") || first.is("WITH")) {
    translateSelect(ctx, writer, out);
  } else if (first.is("INSERT")) {
    if (!ctx.is(1, "INTO")) insertWord(ctx, 1, kInto);
    translateInsert(ctx, writer, out);
    out.reportsChanges = true;
  } else if (first.is("UPDATE")) {
    const size_t where = guardRowIndependentWhere(ctx);
    collectTables(ctx);
    out.sql = writer.rest(0).text;
    if (where != 0) describeWholeTableUpdate(ctx, writer, where, out);
    out.reportsChanges = true;
  } else if (first.is("DELETE")) {
    if (!ctx.is(1, "FROM")) insertWord(ctx, 1, kFrom);
    checkSingleFrom(ctx);
    guardRowIndependentWhere(ctx);
    collectTables(ctx);
    out.sql = writer.rest(0).text;
    out.reportsChanges = true;
  } else if (first.is("TRUNCATE")) {
    if (!ctx.is(1, "TABLE")) ctx.syntax("TRUNCATE needs TABLE");
    size_t i = 2;
    out.sql = "DELETE FROM " + resolveTable(ctx, readChain(ctx, i)).sql();
    if (i != ctx.tokens.size()) ctx.syntax("unexpected text after the table name");
    out.reportsChanges = true;
  } else if (first.is("CREATE")) {
    translateCreate(ctx, writer, out);
  } else if (first.is("DROP")) {
    translateDrop(ctx, out);
  } else if (first.is("ALTER")) {
    translateAlter(ctx, writer, out);
  } else if (first.is("DBCC")) {
    translateDbcc(ctx, writer, out);
  } else if (first.is("BEGIN") || first.is("COMMIT") || first.is("ROLLBACK")) {
    if (ctx.tokens.size() > 1 && !ctx.is(1, "TRAN") && !ctx.is(1, "TRANSACTION"))
      ctx.unsupported(upper(first.text) + " " + std::string(ctx.tokens[1].text));
    out.sql = upper(first.text);
  } else {
    ctx.unsupported("the statement " + upper(first.text));
  }
  if (out.reportsChanges && !first.is("TRUNCATE")) {
    out.change = static_cast<char>(std::toupper(static_cast<unsigned char>(first.text[0])));
    out.changedTable = changedTable(ctx);
  }
  out.parameters = ctx.parameters;
  out.dateParameters = ctx.dateParameters;
  return out;
}

}  // namespace db::embedded
