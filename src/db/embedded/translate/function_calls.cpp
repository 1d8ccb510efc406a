#include "db/core/error.h"
#include "db/core/named_table.h"
#include "db/core/text.h"
#include "db/embedded/date_parts.h"
#include "db/embedded/extension.h"
#include "db/embedded/sql_quoting.h"
#include "db/embedded/translate/expression_writer.h"

// The T-SQL function calls: those SQLite lacks become its own spelling or the engine's
// functions, and each call's result type feeds the '+' and date decisions around it.
namespace db::embedded {
namespace {

// T-SQL functions with no counterpart here: named in the error rather than left to fail later.
constexpr std::string_view kUnsupportedFunctions[] = {
    "OBJECTPROPERTY", "COL_LENGTH",  "IDENT_CURRENT", "FORMAT",      "CHOOSE",
    "GETUTCDATE",     "SYSDATETIME", "EOMONTH",       "TRY_CONVERT", "TRY_CAST",
};

constexpr Named<ExprType> kTypedFunctions[] = {
    {"COUNT", ExprType::Number},
    {"SUM", ExprType::Number},
    {"AVG", ExprType::Number},
    {"LEN", ExprType::Number},
    {"CHARINDEX", ExprType::Number},
    {"ROUND", ExprType::Number},
    {"ABS", ExprType::Number},
    {"YEAR", ExprType::Number},
    {"MONTH", ExprType::Number},
    {"DAY", ExprType::Number},
    {"UPPER", ExprType::Text},
    {"LOWER", ExprType::Text},
    {"LTRIM", ExprType::Text},
    {"RTRIM", ExprType::Text},
    {"REPLACE", ExprType::Text},
    {"REPLICATE", ExprType::Text},
    {"SERVERPROPERTY", ExprType::Text},
    {"HOST_NAME", ExprType::Text},
    {"APP_NAME", ExprType::Text},
    {"DB_NAME", ExprType::Text},
    {"STR", ExprType::Text},
    {"ISNUMERIC", ExprType::Number},
    {"STUFF", ExprType::Text},
    {"PATINDEX", ExprType::Number},
    {"QUOTENAME", ExprType::Text},
    {"NEWID", ExprType::Text},
    {"SCOPE_IDENTITY", ExprType::Number},
};

bool isWeekday(std::string_view part) {
  return iequals(part, "weekday") || iequals(part, "dw") || iequals(part, "w");
}

bool isUserFunction(std::string_view name) {
  return name == "USER_NAME" || name == "SUSER_SNAME" || name == "SUSER_NAME";
}

}  // namespace

Piece ExpressionWriter::argument(std::pair<size_t, size_t> range) {
  Piece p = sequence(range.first, range.second);
  if (!p.single) p.type = ExprType::Unknown;
  return p;
}

Piece ExpressionWriter::function(size_t& i) {
  FunctionCall c;
  c.spelled = std::string(ctx_.tokens[i].text);
  c.name = upper(ctx_.tokens[i].value());
  c.open = i + 1;
  c.close = ctx_.closing(c.open);
  c.ranges = ctx_.splitCommas(c.open + 1, c.close);
  i = c.close + 1;

  for (auto unsupported : kUnsupportedFunctions)
    if (c.name == unsupported) ctx_.unsupported("the function " + c.name);
  if (const auto type = lookupName(kTypedFunctions, c.name)) return callAs(c, c.name, *type);
  if (auto p = conversionCall(c)) return *p;
  if (auto p = valueCall(c)) return *p;
  if (auto p = textCall(c)) return *p;
  if (auto p = dateCall(c)) return *p;
  return callAs(c, c.spelled, ExprType::Unknown);
}

Piece ExpressionWriter::callAs(const FunctionCall& c, const std::string& sqliteName,
                               ExprType type) {
  std::string text = sqliteName + "(";
  for (size_t k = 0; k < c.ranges.size(); ++k) text += (k ? ", " : "") + argument(c.ranges[k]).text;
  return Piece{text + ")", type, true};
}

void ExpressionWriter::needArguments(const FunctionCall& c, size_t n) {
  if (c.ranges.size() < n) ctx_.syntax(c.name + " needs " + std::to_string(n) + " arguments");
}

std::optional<Piece> ExpressionWriter::conversionCall(const FunctionCall& c) {
  const auto& ranges = c.ranges;
  if (c.name == "CONVERT") {
    needArguments(c, 2);
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
  if (c.name != "CAST") return std::nullopt;
  size_t as = c.close;
  for (size_t k = c.open + 1; k < c.close; ++k) {
    if (ctx_.tokens[k].isSymbol("("))
      k = ctx_.closing(k);
    else if (ctx_.tokens[k].is("AS"))
      as = k;
  }
  if (as == c.close) ctx_.syntax("CAST without AS");
  std::string typeText;
  for (size_t k = as + 1; k < c.close; ++k) typeText += std::string(ctx_.tokens[k].text);
  return convert(typeText, as + 1, c.close, argument({c.open + 1, as}), "");
}

// Calls whose type is their arguments', the server's values, and the catalogue's.
std::optional<Piece> ExpressionWriter::valueCall(const FunctionCall& c) {
  const std::string& f = c.name;
  auto firstType = [&] {
    return c.ranges.empty() ? ExprType::Unknown : argument(c.ranges[0]).type;
  };
  if (f == "ISNULL" || f == "COALESCE" || f == "IFNULL" || f == "NULLIF")
    return callAs(c, f == "ISNULL" ? "IFNULL" : f, firstType());
  if (f == "MAX" || f == "MIN") return callAs(c, f, firstType());
  if (f == "GETDATE") return Piece{"GETDATE()", ExprType::Date, true};
  if (isUserFunction(f)) return Piece{quoteString(ctx_.user), ExprType::Text, true};
  if (f == "IIF") {
    if (c.ranges.size() != 3) ctx_.syntax("IIF needs 3 arguments");
    const Piece then = argument(c.ranges[1]);
    return Piece{"CASE WHEN " + argument(c.ranges[0]).text + " THEN " + then.text + " ELSE " +
                     argument(c.ranges[2]).text + " END",
                 then.type, true};
  }
  if (f == "DATALENGTH") {
    needArguments(c, 1);
    const Piece p = argument(c.ranges[0]);
    // A date-time is 8 bytes on the server; here it is a number of days.
    if (p.type == ExprType::Date)
      return Piece{"CASE WHEN " + p.text + " IS NULL THEN NULL ELSE 8 END", ExprType::Number, true};
    return Piece{"KIVTAB_DATALENGTH(" + p.text + ")", ExprType::Number, true};
  }
  if (f == "OBJECT_ID") return objectId(c.ranges);
  return std::nullopt;
}

std::optional<Piece> ExpressionWriter::textCall(const FunctionCall& c) {
  const std::string& f = c.name;
  if (f == "LEFT") {
    needArguments(c, 2);
    return Piece{
        "SUBSTR(" + argument(c.ranges[0]).text + ", 1, " + argument(c.ranges[1]).text + ")",
        ExprType::Text, true};
  }
  if (f == "RIGHT") return callAs(c, "KIVTAB_RIGHT", ExprType::Text);
  if (f == "SUBSTRING") return callAs(c, "SUBSTR", ExprType::Text);
  if (f == "CONCAT") {
    if (c.ranges.size() < 2) ctx_.syntax("CONCAT needs at least 2 arguments");
    std::string text = "KIVTAB_CONCAT(";
    for (size_t k = 0; k < c.ranges.size(); ++k) {
      const Piece p = argument(c.ranges[k]);
      text += (k ? ", " : "") +
              (p.type == ExprType::Date ? "KIVTAB_DATETEXT(" + p.text + ", 0)" : p.text);
    }
    return Piece{text + ")", ExprType::Text, true};
  }
  if (f == "SPACE") {
    needArguments(c, 1);
    return Piece{"REPLICATE(' ', " + argument(c.ranges[0]).text + ")", ExprType::Text, true};
  }
  return std::nullopt;
}

// The date-part functions; the part is a bare name the engine's functions get as a text.
std::optional<Piece> ExpressionWriter::dateCall(const FunctionCall& c) {
  const std::string& f = c.name;
  if (f == "DATENAME") {
    needArguments(c, 2);
    const auto [b, e] = c.ranges[0];
    if (e != b + 1 || !(datePartNamed(ctx_.tokens[b].value()) || isWeekday(ctx_.tokens[b].value())))
      ctx_.unsupported("the date part of this DATENAME");
    return Piece{"KIVTAB_DATENAME(" + quoteString(ctx_.tokens[b].value()) + ", " +
                     argument(c.ranges[1]).text + ")",
                 ExprType::Text, true};
  }
  if (f != "DATEADD" && f != "DATEDIFF" && f != "DATEPART") return std::nullopt;
  needArguments(c, f == "DATEPART" ? 2 : 3);
  const auto [b, e] = c.ranges[0];
  if (e != b + 1 || !datePartNamed(ctx_.tokens[b].value()))
    ctx_.unsupported("the date part of this " + f);
  std::string text = "KIVTAB_" + f + "(" + quoteString(ctx_.tokens[b].value());
  for (size_t k = 1; k < c.ranges.size(); ++k) text += ", " + argument(c.ranges[k]).text;
  return Piece{text + ")", f == "DATEADD" ? ExprType::Date : ExprType::Number, true};
}

// OBJECT_ID('[owner.]name'[, 'type']): the object's id from the catalogue, NULL when absent. A
// literal three-part name looks in that database's catalogue.
Piece ExpressionWriter::objectId(const std::vector<std::pair<size_t, size_t>>& ranges) {
  if (ranges.empty() || ranges.size() > 2) ctx_.syntax("OBJECT_ID needs 1 or 2 arguments");
  const std::string sysobjects = *catalog::viewFor("sysobjects");
  std::string source = quoteIdentifier(sysobjects);
  std::string name = "KIVTAB_OBJECT_NAME(" + argument(ranges[0]).text + ")";
  const auto [b, e] = ranges[0];
  if (e == b + 1 && ctx_.tokens[b].kind == TokenKind::String) {
    const std::string literal = ctx_.tokens[b].value();
    std::vector<Token> parts;
    try {
      parts = significant(tokenize(literal));
    } catch (const Error&) {
      // Not a name: no object has it, which the look-up by name answers.
    }
    TranslationContext inner(literal, parts, ctx_.schema, ctx_.user, ctx_.databases);
    size_t i = 0;
    if (parts.size() >= 4 && parts[0].kind != TokenKind::Symbol) {
      const auto chain = readChain(inner, i);
      if (chain.size() == 3 && i == parts.size()) {
        TableName table = resolveTable(inner, {chain[0], "dbo", "sysobjects"});
        source = table.sql();
        name = quoteString(chain[2]);
      }
    }
  }
  std::string sql = "(SELECT id FROM " + source + " WHERE name = " + name;
  if (ranges.size() == 2) sql += " AND xtype = " + argument(ranges[1]).text;
  return {sql + ")", ExprType::Number, true};
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
    // Without a length SQL Server converts to 30 characters.
    const std::string length = sizes.empty() ? "30" : sizes[0];
    if (length != "MAX" && base != "TEXT" && base != "NTEXT")
      text = "SUBSTR(" + text + ", 1, " + length + ")";
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

}  // namespace db::embedded
