#include "db/embedded/translate/expression_writer.h"

#include <charconv>

#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/date_parts.h"
#include "db/embedded/extension.h"
#include "db/embedded/translate/keywords.h"

namespace db::embedded {
namespace {

constexpr std::string_view kTableHints[] = {
    "NOLOCK", "READUNCOMMITTED", "ROWLOCK",       "UPDLOCK",        "HOLDLOCK",
    "NOWAIT", "READPAST",        "TABLOCK",       "TABLOCKX",       "PAGLOCK",
    "XLOCK",  "SERIALIZABLE",    "READCOMMITTED", "REPEATABLEREAD",
};

// T-SQL functions with no counterpart here: named in the error rather than left to fail later.
constexpr std::string_view kUnsupportedFunctions[] = {
    "OBJECT_ID",      "OBJECTPROPERTY",
    "COL_LENGTH",     "NEWID",
    "SCOPE_IDENTITY", "IDENT_CURRENT",
    "ISNUMERIC",      "STUFF",
    "PATINDEX",       "DATENAME",
    "FORMAT",         "IIF",
    "CHOOSE",         "STR",
    "SPACE",          "QUOTENAME",
    "DB_NAME",        "HOST_NAME",
    "GETUTCDATE",     "SYSDATETIME",
    "EOMONTH",        "TRY_CONVERT",
    "TRY_CAST",       "CONCAT",
};

struct FunctionType {
  std::string_view name;
  ExprType type;
};

constexpr FunctionType kTypedFunctions[] = {
    {"COUNT", ExprType::Number},   {"SUM", ExprType::Number},          {"AVG", ExprType::Number},
    {"LEN", ExprType::Number},     {"CHARINDEX", ExprType::Number},    {"ROUND", ExprType::Number},
    {"ABS", ExprType::Number},     {"YEAR", ExprType::Number},         {"MONTH", ExprType::Number},
    {"DAY", ExprType::Number},     {"UPPER", ExprType::Text},          {"LOWER", ExprType::Text},
    {"LTRIM", ExprType::Text},     {"RTRIM", ExprType::Text},          {"REPLACE", ExprType::Text},
    {"REPLICATE", ExprType::Text}, {"SERVERPROPERTY", ExprType::Text},
};

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

Piece ExpressionWriter::sequence(size_t begin, size_t end, bool dateContext) {
  std::vector<Item> items;
  bool inFrom = false;
  bool sawSelect = false;
  std::string limit;
  auto keyword = [&](std::string text) {
    Item item;
    item.keyword = upper(text);
    item.text = std::move(text);
    items.push_back(std::move(item));
  };
  size_t i = begin;
  while (i < end) {
    const Token& t = ctx_.tokens[i];
    if (t.kind == TokenKind::Word && (t.text.front() == '@'))
      ctx_.unsupported("T-SQL variables (" + std::string(t.text) + ")");
    if (t.is("SELECT")) {
      if (!limit.empty()) ctx_.unsupported("TOP in a UNION");
      sawSelect = true;
      inFrom = false;
      keyword("SELECT");
      ++i;
      if (ctx_.is(i, "DISTINCT") || ctx_.is(i, "ALL")) keyword(std::string(ctx_.tokens[i++].text));
      if (ctx_.is(i, "TOP")) limit = topLimit(i, end);
      continue;
    }
    if (t.is("UNION") || t.is("EXCEPT") || t.is("INTERSECT")) {
      if (!limit.empty()) ctx_.unsupported("TOP in a UNION");
    }
    if (t.is("INTO") && sawSelect) ctx_.unsupported("SELECT ... INTO inside another statement");
    if (t.is("FROM")) {
      inFrom = true;
    } else if (t.is("WHERE") || t.is("GROUP") || t.is("ORDER") || t.is("HAVING") || t.is("SET") ||
               t.is("VALUES") || t.is("UNION")) {
      // A join's ON condition does not end the FROM list: ", TABLE" may follow it.
      inFrom = false;
    }
    if (t.is("WITH") && ctx_.isSymbol(i + 1, "(")) {
      size_t j = i + 1;
      if (skipTableHint(j)) {
        i = j;
        continue;
      }
    }
    if (t.is("COLLATE")) {
      const Token& name = ctx_.at(i + 1);
      keyword("COLLATE");
      keyword(upper(name.value()).find("_CI") != std::string::npos ? "NOCASE" : "BINARY");
      i += 2;
      continue;
    }
    if (t.is("LIKE") && i + 1 < end && ctx_.tokens[i + 1].kind == TokenKind::String &&
        ctx_.tokens[i + 1].value().find('[') != std::string::npos)
      ctx_.unsupported("LIKE patterns with [ ] character classes");
    if (t.is("IN") && ctx_.isSymbol(i + 1, "(")) {
      keyword("IN");
      const Item* lhs = nullptr;
      for (auto it = items.rbegin(); it != items.rend() && !lhs; ++it)
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
      items.push_back(std::move(item));
      i = close + 1;
      continue;
    }
    if (isTermStart(i, items)) {
      const std::string previous = items.empty() ? "" : items.back().keyword;
      const bool tablePosition = previous == "FROM" || previous == "JOIN" || previous == "UPDATE" ||
                                 previous == "INTO" || previous == "TABLE" ||
                                 (previous == "," && inFrom);
      Item item;
      Piece p = expression(i, end, tablePosition, item);
      item.text = std::move(p.text);
      item.expression = true;
      item.type = p.type;
      items.push_back(std::move(item));
      continue;
    }
    if (isComparison(t)) {
      Item item;
      item.text = t.text == "!<" ? ">=" : t.text == "!>" ? "<=" : std::string(t.text);
      item.keyword = "=";  // any comparison: a text on its other side meets a date
      items.push_back(std::move(item));
      ++i;
      continue;
    }
    if (t.kind == TokenKind::Symbol && !t.isSymbol(",") && !t.isSymbol("=") && !t.isSymbol(".") &&
        !t.isSymbol("*") && !t.isSymbol("||"))
      ctx_.syntax("unexpected '" + std::string(t.text) + "'");
    keyword(std::string(t.text));
    ++i;
  }
  if (dateContext)
    for (auto& item : items)
      if (item.expression) toDate(item);
  applyDateComparisons(items);

  Piece out;
  for (size_t k = 0; k < items.size(); ++k) {
    if (k > 0 && items[k].text != ",") out.text += ' ';
    out.text += items[k].text;
  }
  if (!limit.empty()) out.text += " LIMIT " + limit;
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
      return {"?" + std::to_string(index + 1), ExprType::Unknown, true};
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
    Piece p{quoteIdentifier(sqliteTableName(ctx_, chain)), ExprType::Unknown, true};
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

Piece ExpressionWriter::argument(std::pair<size_t, size_t> range) {
  Piece p = sequence(range.first, range.second);
  if (!p.single) p.type = ExprType::Unknown;
  return p;
}

Piece ExpressionWriter::function(size_t& i) {
  const Token& nameToken = ctx_.tokens[i];
  const std::string fname = upper(nameToken.value());
  const size_t open = i + 1;
  const size_t close = ctx_.closing(open);
  const auto ranges = ctx_.splitCommas(open + 1, close);
  i = close + 1;

  auto call = [&](const std::string& sqliteName, ExprType type) {
    std::string text = sqliteName + "(";
    for (size_t k = 0; k < ranges.size(); ++k) text += (k ? ", " : "") + argument(ranges[k]).text;
    return Piece{text + ")", type, true};
  };
  auto needArgs = [&](size_t n) {
    if (ranges.size() < n) ctx_.syntax(fname + " needs " + std::to_string(n) + " arguments");
  };
  auto firstType = [&] { return ranges.empty() ? ExprType::Unknown : argument(ranges[0]).type; };

  for (auto unsupported : kUnsupportedFunctions)
    if (fname == unsupported) ctx_.unsupported("the function " + fname);
  for (const auto& typed : kTypedFunctions)
    if (fname == typed.name) return call(fname, typed.type);

  if (fname == "CONVERT") {
    needArgs(2);
    std::string style;
    if (ranges.size() > 2) {
      const auto [b, e] = ranges[2];
      if (e != b + 1 || ctx_.tokens[b].kind != TokenKind::Number)
        ctx_.unsupported("a CONVERT style that is not a number");
      style = std::string(ctx_.tokens[b].text);
    }
    std::string typeText;
    for (size_t k = ranges[0].first; k < ranges[0].second; ++k)
      typeText += std::string(ctx_.tokens[k].text);
    return convert(typeText, ranges[0].first, ranges[0].second, argument(ranges[1]), style);
  }
  if (fname == "CAST") {
    size_t as = close;
    for (size_t k = open + 1; k < close; ++k) {
      if (ctx_.tokens[k].isSymbol("("))
        k = ctx_.closing(k);
      else if (ctx_.tokens[k].is("AS"))
        as = k;
    }
    if (as == close) ctx_.syntax("CAST without AS");
    std::string typeText;
    for (size_t k = as + 1; k < close; ++k) typeText += std::string(ctx_.tokens[k].text);
    return convert(typeText, as + 1, close, argument({open + 1, as}), "");
  }
  if (fname == "ISNULL" || fname == "COALESCE" || fname == "IFNULL" || fname == "NULLIF")
    return call(fname == "ISNULL" ? "IFNULL" : fname, firstType());
  if (fname == "MAX" || fname == "MIN") return call(fname, firstType());
  if (fname == "LEFT") {
    needArgs(2);
    return {"SUBSTR(" + argument(ranges[0]).text + ", 1, " + argument(ranges[1]).text + ")",
            ExprType::Text, true};
  }
  if (fname == "RIGHT") return call("KIVTAB_RIGHT", ExprType::Text);
  if (fname == "SUBSTRING") return call("SUBSTR", ExprType::Text);
  if (fname == "GETDATE") return {"GETDATE()", ExprType::Date, true};
  if (fname == "USER_NAME" || fname == "SUSER_SNAME" || fname == "SUSER_NAME")
    return {quoteString(ctx_.user), ExprType::Text, true};
  if (fname == "DATEADD" || fname == "DATEDIFF" || fname == "DATEPART") {
    needArgs(fname == "DATEPART" ? 2 : 3);
    const auto [b, e] = ranges[0];
    if (e != b + 1 || !datePartNamed(ctx_.tokens[b].value()))
      ctx_.unsupported("the date part of this " + fname);
    std::string text = "KIVTAB_" + fname + "(" + quoteString(ctx_.tokens[b].value());
    for (size_t k = 1; k < ranges.size(); ++k) text += ", " + argument(ranges[k]).text;
    return {text + ")", fname == "DATEADD" ? ExprType::Date : ExprType::Number, true};
  }
  return call(std::string(nameToken.text), ExprType::Unknown);
}

Piece ExpressionWriter::convert(const std::string& typeText, size_t typeBegin, size_t typeEnd,
                                Piece value, const std::string& style) {
  if (typeBegin >= typeEnd) ctx_.syntax("a type was expected");
  const std::string base = upper(ctx_.tokens[typeBegin].value());
  // The length or precision and scale in parentheses, when given.
  std::vector<std::string> sizes;
  if (ctx_.isSymbol(typeBegin + 1, "("))
    for (size_t k = typeBegin + 2; k < typeEnd && !ctx_.tokens[k].isSymbol(")"); ++k)
      if (!ctx_.tokens[k].isSymbol(",")) sizes.push_back(upper(ctx_.tokens[k].text));

  if (base == "VARCHAR" || base == "CHAR" || base == "NVARCHAR" || base == "NCHAR" ||
      base == "TEXT" || base == "NTEXT") {
    const bool asDate =
        value.type == ExprType::Date || (!style.empty() && value.type == ExprType::Unknown);
    std::string text =
        asDate ? "KIVTAB_DATETEXT(" + value.text + ", " + (style.empty() ? "0" : style) + ")"
               : "CAST(" + value.text + " AS TEXT)";
    if (!sizes.empty() && sizes[0] != "MAX") text = "SUBSTR(" + text + ", 1, " + sizes[0] + ")";
    return {text, ExprType::Text, true};
  }
  if (base == "DATETIME" || base == "SMALLDATETIME" || base == "DATE") {
    std::string text = "KIVTAB_TODATE(" + value.text + ", " + (style.empty() ? "0" : style) + ")";
    if (base == "DATE") text = "KIVTAB_DATEADD('day', 0, CAST(" + text + " AS INTEGER))";
    return {text, ExprType::Date, true};
  }
  if (base == "INT" || base == "INTEGER" || base == "BIGINT" || base == "SMALLINT" ||
      base == "TINYINT" || base == "BIT")
    return {"CAST(" + value.text + " AS INTEGER)", ExprType::Number, true};
  if (base == "DECIMAL" || base == "NUMERIC" || base == "FLOAT" || base == "REAL" ||
      base == "MONEY") {
    std::string text = "CAST(" + value.text + " AS REAL)";
    if (sizes.size() == 2) text = "ROUND(" + text + ", " + sizes[1] + ")";
    return {text, ExprType::Number, true};
  }
  ctx_.unsupported("conversion to " + typeText);
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
