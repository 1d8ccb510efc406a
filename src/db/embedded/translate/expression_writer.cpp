#include "db/embedded/translate/expression_writer.h"

#include <charconv>

#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/date_parts.h"
#include "db/embedded/extension.h"
#include "db/embedded/sql_quoting.h"
#include "db/embedded/translate/keywords.h"
#include "db/embedded/translate/type_names.h"

namespace db::embedded {
namespace {

constexpr std::string_view kTableHints[] = {
    "NOLOCK", "READUNCOMMITTED", "ROWLOCK",       "UPDLOCK",        "HOLDLOCK",
    "NOWAIT", "READPAST",        "TABLOCK",       "TABLOCKX",       "PAGLOCK",
    "XLOCK",  "SERIALIZABLE",    "READCOMMITTED", "REPEATABLEREAD",
};

constexpr std::string_view kSpid = "@@SPID";

bool isUserWord(std::string_view w) {
  return iequals(w, "USER") || iequals(w, "CURRENT_USER") || iequals(w, "SESSION_USER") ||
         iequals(w, "SYSTEM_USER");
}

std::string daysText(DateTime t) {
  if (t.msSinceZero() % DateTime::kMsPerDay == 0)
    return std::to_string(t.msSinceZero() / DateTime::kMsPerDay);
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, t.toDays());
  (void)ec;
  return std::string(buf, end);
}

// Parameters standing for T-SQL variables carry their type: "@NAME$T" a text, "@NAME$D" a
// date-time, so that '+' concatenates or adds days as it would on the variable.
ExprType variableParameterType(std::string_view name) {
  if (name.size() < 3 || name.front() != '@' || name[name.size() - 2] != '$')
    return ExprType::Unknown;
  switch (name.back()) {
    case 'T':
    case 't':
      return ExprType::Text;
    case 'D':
    case 'd':
      return ExprType::Date;
    default:
      return ExprType::Unknown;
  }
}

}  // namespace

std::string ExpressionWriter::dateLiteral(const std::string& text) const {
  if (auto t = parseDateStyle(text, 0)) return daysText(*t);
  throw Error(
      ErrorKind::Conversion,
      "Conversion failed when converting date and/or time from character string '" + text + "'",
      std::string(ctx_.sql));
}

bool ExpressionWriter::isTermStart(size_t i, const std::vector<Item>& items) const {
  const Token& t = ctx_.tokens[i];
  const bool afterExpression = !items.empty() && items.back().expression;
  switch (t.kind) {
    case TokenKind::String:
    case TokenKind::Number:
    case TokenKind::Parameter:
    case TokenKind::Quoted:
      return true;
    case TokenKind::Word:
      if (t.is("CASE") || t.is("NULL")) return true;
      if ((t.is("LEFT") || t.is("RIGHT")) && ctx_.isSymbol(i + 1, "(")) return true;
      if (isKeyword(t)) return false;
      for (auto join : {"LEFT", "RIGHT", "INNER", "OUTER", "FULL", "CROSS"})
        if (t.is(join)) return false;
      return true;
    case TokenKind::Symbol:
      if (t.isSymbol("(")) return true;
      if (t.isSymbol("*") || t.isSymbol("-") || t.isSymbol("+")) return !afterExpression;
      return false;
    default:
      return false;
  }
}

void ExpressionWriter::Sequence::keyword(std::string text) {
  Item item;
  item.keyword = upper(text);
  item.text = std::move(text);
  items.push_back(std::move(item));
}

Piece ExpressionWriter::sequence(size_t begin, size_t end, bool dateContext) {
  Sequence s;
  size_t i = begin;
  while (i < end) {
    const Token& t = ctx_.tokens[i];
    rejectUnsupported(i, end, s);
    if (t.is("SELECT")) {
      selectClause(i, end, s);
      continue;
    }
    trackFromList(t, s);
    if (tableHintOrCollation(i, s)) continue;
    if (t.is("IN") && ctx_.isSymbol(i + 1, "(")) {
      inList(i, s);
      continue;
    }
    writeToken(i, end, s);
  }
  if (dateContext)
    for (auto& item : s.items)
      if (item.expression) toDate(item);
  applyDateComparisons(s.items);
  return joined(s);
}

void ExpressionWriter::rejectUnsupported(size_t i, size_t end, const Sequence& s) const {
  const Token& t = ctx_.tokens[i];
  if (t.kind == TokenKind::Word && t.text.front() == '@' && !t.is(kSpid))
    ctx_.unsupported("T-SQL variables (" + std::string(t.text) + ")");
  if ((t.is("UNION") || t.is("EXCEPT") || t.is("INTERSECT")) && !s.limit.empty())
    ctx_.unsupported("TOP in a UNION");
  if (t.is("INTO") && s.sawSelect) ctx_.unsupported("SELECT ... INTO inside another statement");
  if (t.is("LIKE") && i + 1 < end && ctx_.tokens[i + 1].kind == TokenKind::String &&
      ctx_.tokens[i + 1].value().find('[') != std::string::npos)
    ctx_.unsupported("LIKE patterns with [ ] character classes");
}

void ExpressionWriter::selectClause(size_t& i, size_t end, Sequence& s) {
  if (!s.limit.empty()) ctx_.unsupported("TOP in a UNION");
  s.sawSelect = true;
  s.inFrom = false;
  s.keyword("SELECT");
  ++i;
  if (ctx_.is(i, "DISTINCT") || ctx_.is(i, "ALL")) s.keyword(std::string(ctx_.tokens[i++].text));
  if (ctx_.is(i, "TOP")) s.limit = topLimit(i, end);
}

void ExpressionWriter::trackFromList(const Token& t, Sequence& s) {
  if (t.is("FROM")) {
    s.inFrom = true;
  } else if (t.is("WHERE") || t.is("GROUP") || t.is("ORDER") || t.is("HAVING") || t.is("SET") ||
             t.is("VALUES") || t.is("UNION")) {
    // A join's ON condition does not end the FROM list: ", TABLE" may follow it.
    s.inFrom = false;
  }
}

bool ExpressionWriter::tableHintOrCollation(size_t& i, Sequence& s) {
  const Token& t = ctx_.tokens[i];
  if (t.is("WITH") && ctx_.isSymbol(i + 1, "(")) {
    size_t j = i + 1;
    if (skipTableHint(j)) {
      i = j;
      return true;
    }
  }
  if (!t.is("COLLATE")) return false;
  const Token& name = ctx_.at(i + 1);
  s.keyword("COLLATE");
  s.keyword(upper(name.value()).find("_CI") != std::string::npos ? "NOCASE" : "BINARY");
  i += 2;
  return true;
}

// The values of an IN list are dates when the expression before IN is one.
void ExpressionWriter::inList(size_t& i, Sequence& s) {
  s.keyword("IN");
  const Item* lhs = nullptr;
  for (auto it = s.items.rbegin(); it != s.items.rend() && !lhs; ++it)
    if (it->expression)
      lhs = &*it;
    else if (it->keyword != "IN" && it->keyword != "NOT")
      break;
  const size_t close = ctx_.closing(i + 1);
  const bool subquery = ctx_.is(i + 2, "SELECT");
  const bool date = lhs && lhs->type == ExprType::Date && !subquery;
  Piece list = sequence(i + 2, close, date);
  Item item;
  item.text = "(" + list.text + ")";
  item.expression = true;
  s.items.push_back(std::move(item));
  i = close + 1;
}

// An expression, a comparison operator, or a keyword or punctuation passed on as it is.
void ExpressionWriter::writeToken(size_t& i, size_t end, Sequence& s) {
  const Token& t = ctx_.tokens[i];
  if (isTermStart(i, s.items)) {
    const std::string previous = s.items.empty() ? "" : s.items.back().keyword;
    const bool tablePosition = previous == "FROM" || previous == "JOIN" || previous == "UPDATE" ||
                               previous == "INTO" || previous == "TABLE" ||
                               (previous == "," && s.inFrom);
    Item item;
    Piece p = expression(i, end, tablePosition, item);
    item.text = std::move(p.text);
    item.expression = true;
    item.type = p.type;
    s.items.push_back(std::move(item));
    return;
  }
  if (isComparison(t)) {
    Item item;
    item.text = t.text == "!<" ? ">=" : t.text == "!>" ? "<=" : std::string(t.text);
    item.keyword = "=";  // any comparison: a text on its other side meets a date
    s.items.push_back(std::move(item));
    ++i;
    return;
  }
  if (t.kind == TokenKind::Symbol && !t.isSymbol(",") && !t.isSymbol("=") && !t.isSymbol(".") &&
      !t.isSymbol("*") && !t.isSymbol("||"))
    ctx_.syntax("unexpected '" + std::string(t.text) + "'");
  s.keyword(std::string(t.text));
  ++i;
}

Piece ExpressionWriter::joined(const Sequence& s) {
  const std::vector<Item>& items = s.items;
  Piece out;
  for (size_t k = 0; k < items.size(); ++k) {
    if (k > 0 && items[k].text != ",") out.text += ' ';
    out.text += items[k].text;
  }
  if (!s.limit.empty()) out.text += " LIMIT " + s.limit;
  out.single = items.size() == 1 && items[0].expression;
  if (out.single) out.type = items[0].type;
  if (!items.empty() && items[0].keyword == "SELECT") {
    size_t k = 1;
    if (k < items.size() && (items[k].keyword == "DISTINCT" || items[k].keyword == "ALL")) ++k;
    if (k + 1 < items.size() && items[k].expression &&
        (items[k + 1].keyword == "FROM" || items[k + 1].keyword == "AS"))
      out.selectType = items[k].type;
  }
  return out;
}

void ExpressionWriter::toDate(Item& item) {
  if (item.literal) {
    item.text = dateLiteral(item.literalValue);
    item.literal = false;
    item.type = ExprType::Date;
  } else if (item.parameter >= 0) {
    ctx_.dateParameters[static_cast<size_t>(item.parameter)] = true;
  } else if (item.expression && item.type == ExprType::Text) {
    // A text from a column or an expression converts where it meets a date, as on the server;
    // kept as a text it would compare greater than every date and be stored as a text.
    item.text = convertedToDate(item.text);
    item.type = ExprType::Date;
  }
}

void ExpressionWriter::applyDateComparisons(std::vector<Item>& items) {
  for (size_t k = 1; k + 1 < items.size(); ++k) {
    if (items[k].keyword == "=" && items[k - 1].expression && items[k + 1].expression) {
      if (items[k - 1].type == ExprType::Date) toDate(items[k + 1]);
      if (items[k + 1].type == ExprType::Date) toDate(items[k - 1]);
    } else if (items[k].keyword == "BETWEEN") {
      const size_t lhs = items[k - 1].keyword == "NOT" && k >= 2 ? k - 2 : k - 1;
      if (!items[lhs].expression || items[lhs].type != ExprType::Date) continue;
      if (items[k + 1].expression) toDate(items[k + 1]);
      if (k + 3 < items.size() && items[k + 2].keyword == "AND" && items[k + 3].expression)
        toDate(items[k + 3]);
    }
  }
}

Piece ExpressionWriter::expression(size_t& i, size_t end, bool tablePosition, Item& item) {
  Item first;
  Piece head = term(i, end, tablePosition, first);
  if (tablePosition) return head;
  std::vector<Piece> terms{head};
  std::vector<std::string> ops;
  while (i + 1 < end) {
    const Token& op = ctx_.tokens[i];
    if (!(op.isSymbol("+") || op.isSymbol("-") || op.isSymbol("*") || op.isSymbol("/") ||
          op.isSymbol("%")))
      break;
    ops.emplace_back(op.text);
    ++i;
    Item ignored;
    terms.push_back(term(i, end, false, ignored));
  }
  if (terms.size() == 1) {
    item = first;
    return head;
  }
  bool anyText = false, anyDate = false, allNumber = true, additive = true;
  for (const auto& t : terms) {
    anyText = anyText || t.type == ExprType::Text;
    anyDate = anyDate || t.type == ExprType::Date;
    allNumber = allNumber && t.type == ExprType::Number;
  }
  for (const auto& op : ops) additive = additive && (op == "+" || op == "-");
  Piece out;
  out.text = terms[0].text;
  for (size_t k = 0; k < ops.size(); ++k)
    out.text +=
        " " + (ops[k] == "+" && anyText ? std::string("||") : ops[k]) + " " + terms[k + 1].text;
  out.type = anyText               ? ExprType::Text
             : anyDate && additive ? ExprType::Date
             : allNumber           ? ExprType::Number
                                   : ExprType::Unknown;
  out.single = true;
  return out;
}

Piece ExpressionWriter::term(size_t& i, size_t end, bool tablePosition, Item& item) {
  if (i >= end) ctx_.syntax("an expression was expected");
  const Token& t = ctx_.tokens[i];
  switch (t.kind) {
    case TokenKind::String:
      ++i;
      item.literal = true;
      item.literalValue = t.value();
      return {quoteString(item.literalValue), ExprType::Text, true};
    case TokenKind::Number:
      ++i;
      return {std::string(t.text), ExprType::Number, true};
    case TokenKind::Parameter: {
      ++i;
      const size_t index = ctx_.parameterIndex(t.value());
      item.parameter = static_cast<long>(index);
      return {"?" + std::to_string(index + 1), variableParameterType(t.value()), true};
    }
    case TokenKind::Symbol:
      if (t.isSymbol("(")) return group(i);
      if (t.isSymbol("*")) {
        ++i;
        return {"*", ExprType::Unknown, false};
      }
      if (t.isSymbol("-") || t.isSymbol("+")) {
        ++i;
        Item ignored;
        Piece p = term(i, end, false, ignored);
        return {std::string(t.text) + p.text,
                p.type == ExprType::Number ? ExprType::Number : ExprType::Unknown, true};
      }
      ctx_.syntax("unexpected '" + std::string(t.text) + "'");
    case TokenKind::Word:
      if (t.is("CASE")) return caseExpression(i, end);
      if (t.is(kSpid)) {
        ++i;
        return {"KIVTAB_SPID()", ExprType::Number, true};
      }
      if (t.is("NULL")) {
        ++i;
        return {"NULL", ExprType::Unknown, true};
      }
      if (!tablePosition && ctx_.isSymbol(i + 1, "(")) return function(i);
      return name(i, tablePosition);
    case TokenKind::Quoted:
      return name(i, tablePosition);
    default:
      ctx_.syntax("unexpected '" + std::string(t.text) + "'");
  }
}

Piece ExpressionWriter::group(size_t& i) {
  const size_t close = ctx_.closing(i);
  Piece inner = sequence(i + 1, close);
  i = close + 1;
  return {"(" + inner.text + ")", inner.single ? inner.type : inner.selectType, true};
}

Piece ExpressionWriter::caseExpression(size_t& i, size_t end) {
  int depth = 0;
  size_t close = i;
  for (; close < end; ++close) {
    if (ctx_.tokens[close].is("CASE")) ++depth;
    if (ctx_.tokens[close].is("END") && --depth == 0) break;
  }
  if (close >= end) ctx_.syntax("CASE without END");
  Piece inner = sequence(i + 1, close);
  i = close + 1;
  return {"CASE " + inner.text + " END", ExprType::Unknown, true};
}

Piece ExpressionWriter::name(size_t& i, bool tablePosition) {
  const size_t start = i;
  const auto chain = readChain(ctx_, i);
  if (tablePosition) {
    Piece p{resolveTable(ctx_, chain).sql(), ExprType::Unknown, true};
    if (ctx_.isSymbol(i, "(")) skipTableHint(i);
    return p;
  }
  if (chain.size() == 1 && isUserWord(chain[0]) && ctx_.tokens[start].kind == TokenKind::Word)
    return {quoteString(ctx_.user), ExprType::Text, true};
  if (chain.size() == 1 && iequals(chain[0], "CURRENT_TIMESTAMP"))
    return {"GETDATE()", ExprType::Date, true};

  // Qualifier: a catalogue name becomes its view, an owner prefix goes.
  std::vector<std::string> qualifier(chain.begin(), chain.end() - 1);
  size_t firstPart = start;
  if (!qualifier.empty() && iequals(qualifier.front(), "dbo") && qualifier.size() > 1) {
    qualifier.erase(qualifier.begin());
    firstPart += 2;
  }
  std::string qualifierText;
  std::string lookup;
  if (!qualifier.empty()) {
    std::string joined;
    for (const auto& p : qualifier) joined += (joined.empty() ? "" : ".") + p;
    if (auto view = catalog::viewFor(joined)) {
      lookup = *view;
      qualifierText = quoteIdentifier(*view) + ".";
    } else if (qualifier.size() == 1) {
      lookup = qualifier[0];
      qualifierText = std::string(ctx_.tokens[firstPart].text) + ".";
    } else {
      ctx_.unsupported("the qualified name " + joined + "." + chain.back());
    }
  }
  std::string text = qualifierText + std::string(ctx_.tokens[i - 1].text);
  if (ctx_.isSymbol(i, ".") && ctx_.isSymbol(i + 1, "*")) {
    i += 2;
    return {text + ".*", ExprType::Unknown, false};
  }
  return {text, ctx_.columnType(lookup, chain.back()), true};
}

std::string ExpressionWriter::topLimit(size_t& i, size_t end) {
  ++i;  // TOP
  std::string limit;
  if (ctx_.isSymbol(i, "(")) {
    const size_t close = ctx_.closing(i);
    limit = sequence(i + 1, close).text;
    i = close + 1;
  } else if (i < end && ctx_.tokens[i].kind == TokenKind::Number) {
    limit = std::string(ctx_.tokens[i++].text);
  } else if (i < end && ctx_.tokens[i].kind == TokenKind::Parameter) {
    limit = "?" + std::to_string(ctx_.parameterIndex(ctx_.tokens[i++].value()) + 1);
  } else {
    ctx_.syntax("TOP needs a number");
  }
  if (ctx_.is(i, "PERCENT")) ctx_.unsupported("TOP ... PERCENT");
  if (ctx_.is(i, "WITH") && ctx_.is(i + 1, "TIES")) ctx_.unsupported("TOP ... WITH TIES");
  return limit;
}

bool ExpressionWriter::skipTableHint(size_t& i) {
  const size_t close = ctx_.closing(i);
  if (close == i + 1) return false;
  for (size_t k = i + 1; k < close; ++k) {
    const Token& t = ctx_.tokens[k];
    if (t.isSymbol(",")) continue;
    bool hint = false;
    for (auto h : kTableHints) hint = hint || t.is(h);
    if (!hint) return false;
  }
  i = close + 1;
  return true;
}

}  // namespace db::embedded
