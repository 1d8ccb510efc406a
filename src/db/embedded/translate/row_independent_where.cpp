#include "db/embedded/translate/row_independent_where.h"

#include <optional>
#include <string_view>
#include <vector>

#include "db/core/text.h"
#include "db/embedded/sql_quoting.h"
#include "db/embedded/translate/context.h"
#include "db/embedded/translate/expression_writer.h"
#include "db/embedded/translate/translation.h"

namespace db::embedded {
namespace {

constexpr std::string_view kComparisons[] = {"<", "<=", ">", ">=", "=", "<>", "!="};

bool isName(const Token& t) { return t.kind == TokenKind::Word || t.kind == TokenKind::Quoted; }

bool isComparison(const Token& t) {
  for (auto symbol : kComparisons)
    if (t.isSymbol(symbol)) return true;
  return false;
}

bool hasColumn(TranslationContext& ctx, std::string_view table, std::string_view column) {
  for (const auto& c : ctx.schema.columns(table))
    if (iequals(c.name, column)) return true;
  return false;
}

// The end of the operand at `i` when it names no row of the changed table: a parameter, a
// literal, or (SELECT MAX|MIN(column) FROM table) whose column is the table's own, so that it
// cannot refer to the outer row.
std::optional<size_t> rowIndependentOperand(TranslationContext& ctx, size_t i) {
  const auto& t = ctx.tokens;
  if (i >= t.size()) return std::nullopt;
  if (t[i].kind == TokenKind::Parameter || t[i].kind == TokenKind::Number ||
      t[i].kind == TokenKind::String)
    return i + 1;
  constexpr size_t kSubqueryTokens = 9;  // ( SELECT MAX ( x ) FROM T )
  if (i + kSubqueryTokens > t.size() || !t[i].isSymbol("(") || !t[i + 1].is("SELECT") ||
      !(t[i + 2].is("MAX") || t[i + 2].is("MIN")) || !t[i + 3].isSymbol("(") || !isName(t[i + 4]) ||
      !t[i + 5].isSymbol(")") || !t[i + 6].is("FROM") || !isName(t[i + 7]) ||
      !t[i + 8].isSymbol(")"))
    return std::nullopt;
  if (!hasColumn(ctx, t[i + 7].value(), t[i + 4].value())) return std::nullopt;
  return i + kSubqueryTokens;
}

// The position of WHERE in "UPDATE T SET ... WHERE" (no FROM) or "DELETE FROM T WHERE", T one
// bare name; 0 otherwise.
size_t whereOfSingleTable(const TranslationContext& ctx) {
  const auto& t = ctx.tokens;
  const bool update = ctx.is(0, "UPDATE") && ctx.is(2, "SET");
  const bool remove = ctx.is(0, "DELETE") && ctx.is(1, "FROM") && ctx.is(3, "WHERE");
  if (!update && !remove) return 0;
  int depth = 0;
  for (size_t i = 2; i < t.size(); ++i) {
    if (t[i].isSymbol("(")) ++depth;
    if (t[i].isSymbol(")")) --depth;
    if (depth != 0) continue;
    if (update && t[i].is("FROM")) return 0;
    if (t[i].is("WHERE")) return i;
  }
  return 0;
}

Token word(std::string_view text, size_t offset) { return Token{TokenKind::Word, text, offset}; }
Token symbol(std::string_view text, size_t offset) {
  return Token{TokenKind::Symbol, text, offset};
}

}  // namespace

size_t guardRowIndependentWhere(TranslationContext& ctx) {
  const size_t where = whereOfSingleTable(ctx);
  if (where == 0) return 0;
  const Token& table = ctx.tokens[ctx.is(0, "UPDATE") ? 1 : 2];
  if (!isName(table) || !ctx.schema.numbersRows(table.value())) return 0;
  const auto left = rowIndependentOperand(ctx, where + 1);
  if (!left || *left >= ctx.tokens.size() || !isComparison(ctx.tokens[*left])) return 0;
  const auto right = rowIndependentOperand(ctx, *left + 1);
  if (!right || *right != ctx.tokens.size()) return 0;

  // The least row number is written as an expression: its digits alone exceed a 64-bit integer.
  const size_t at = ctx.tokens[where + 1].offset;
  std::vector<Token> out(ctx.tokens.begin(), ctx.tokens.begin() + static_cast<long>(where + 1));
  for (const Token& t :
       {word("_rowid_", at), symbol(">=", at), symbol("(", at), word("CASE", at), word("WHEN", at)})
    out.push_back(t);
  out.insert(out.end(), ctx.tokens.begin() + static_cast<long>(where + 1), ctx.tokens.end());
  for (const Token& t :
       {word("THEN", at), symbol("-", at), Token{TokenKind::Number, "9223372036854775807", at},
        symbol("-", at), Token{TokenKind::Number, "1", at}, word("END", at), symbol(")", at)})
    out.push_back(t);
  ctx.tokens = std::move(out);
  return where;
}

void describeWholeTableUpdate(TranslationContext& ctx, ExpressionWriter& writer, size_t where,
                              Translation& out) {
  // SET a = x, b = y: the name before each top-level '='.
  for (const auto& [begin, end] : ctx.splitCommas(3, where)) {
    for (size_t i = begin + 1; i < end; ++i) {
      if (!ctx.tokens[i].isSymbol("=")) continue;
      if (isName(ctx.tokens[i - 1])) out.wholeTableColumns.push_back(ctx.tokens[i - 1].value());
      break;
    }
  }
  out.wholeTableCount = "SELECT COUNT(*) FROM " + quoteIdentifier(ctx.tokens[1].value()) +
                        " WHERE " + writer.sequence(where + 1, ctx.tokens.size()).text;
}

}  // namespace db::embedded
