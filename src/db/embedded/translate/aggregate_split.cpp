#include "db/embedded/translate/aggregate_split.h"

#include <optional>
#include <vector>

#include "db/embedded/translate/context.h"

namespace db::embedded {
namespace {

constexpr std::string_view kOpen = "(", kClose = ")", kComma = ",", kSelect = "SELECT",
                           kFrom = "FROM", kAs = "AS";

// Words that give the query more than one table or more than one row.
constexpr std::string_view kRefused[] = {"JOIN",      "GROUP",  "HAVING", "ORDER", "UNION",
                                         "INTERSECT", "EXCEPT", "INTO",   "TOP",   "DISTINCT",
                                         "FOR",       "OPTION", "WITH"};

struct Aggregate {
  size_t begin, end;  // the call, COUNT(*) or MAX(...)
  size_t alias;
};

bool refused(const Token& t) {
  for (auto word : kRefused)
    if (t.is(word)) return true;
  return false;
}

// An item "COUNT(*) [AS] name" or "MAX|MIN(expression) [AS] name" within [begin, end).
std::optional<Aggregate> aggregateAt(const TranslationContext& ctx, size_t begin, size_t end) {
  const bool count = ctx.is(begin, "COUNT");
  if (!count && !ctx.is(begin, "MAX") && !ctx.is(begin, "MIN")) return std::nullopt;
  if (!ctx.isSymbol(begin + 1, "(")) return std::nullopt;
  const size_t close = ctx.closing(begin + 1);
  if (count && !(close == begin + 3 && ctx.isSymbol(begin + 2, "*"))) return std::nullopt;
  size_t alias = close + 1;
  if (ctx.is(alias, "AS")) ++alias;
  if (alias + 1 != end) return std::nullopt;
  const TokenKind kind = ctx.tokens[alias].kind;
  if (kind != TokenKind::Word && kind != TokenKind::Quoted) return std::nullopt;
  return Aggregate{begin, close + 1, alias};
}

Token word(std::string_view text, size_t offset) { return Token{TokenKind::Word, text, offset}; }
Token symbol(std::string_view text, size_t offset) {
  return Token{TokenKind::Symbol, text, offset};
}

}  // namespace

void splitAggregates(TranslationContext& ctx) {
  const auto& tokens = ctx.tokens;
  if (!ctx.is(0, "SELECT")) return;
  size_t from = 0;
  int depth = 0;
  for (size_t i = 1; i < tokens.size(); ++i) {
    if (tokens[i].isSymbol("(")) ++depth;
    if (tokens[i].isSymbol(")")) --depth;
    if (depth != 0) continue;
    if (refused(tokens[i])) return;
    if (from == 0 && tokens[i].is("FROM")) from = i;
    // One table: no second one after a comma.
    if (from != 0 && tokens[i].isSymbol(",")) return;
  }
  if (from == 0) return;
  std::vector<Aggregate> items;
  for (const auto& [begin, end] : ctx.splitCommas(1, from)) {
    const auto item = aggregateAt(ctx, begin, end);
    if (!item) return;
    items.push_back(*item);
  }
  if (items.size() < 2) return;
  // The table and what follows it: a name, optionally WHERE and its condition.
  size_t where = from + 1;
  while (where < tokens.size() && !tokens[where].is("WHERE")) {
    const Token& t = tokens[where];
    if (t.kind != TokenKind::Word && t.kind != TokenKind::Quoted && !t.isSymbol(".")) return;
    ++where;
  }
  if (where == from + 1) return;

  std::vector<Token> out{tokens[0]};
  for (size_t n = 0; n < items.size(); ++n) {
    const size_t at = tokens[items[n].begin].offset;
    if (n > 0) out.push_back(symbol(kComma, at));
    out.push_back(symbol(kOpen, at));
    out.push_back(word(kSelect, at));
    out.insert(out.end(), tokens.begin() + static_cast<long>(items[n].begin),
               tokens.begin() + static_cast<long>(items[n].end));
    out.push_back(word(kFrom, at));
    out.insert(out.end(), tokens.begin() + static_cast<long>(from + 1), tokens.end());
    out.push_back(symbol(kClose, at));
    out.push_back(word(kAs, at));
    out.push_back(tokens[items[n].alias]);
  }
  ctx.tokens = std::move(out);
}

}  // namespace db::embedded
