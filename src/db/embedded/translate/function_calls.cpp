#include "db/core/error.h"
#include "db/core/text.h"
#include "db/embedded/date_parts.h"
#include "db/embedded/extension.h"
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

struct FunctionType {
  std::string_view name;
  ExprType type;
};

constexpr FunctionType kTypedFunctions[] = {
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
  if (isUserFunction(fname)) return {quoteString(ctx_.user), ExprType::Text, true};
  if (fname == "IIF") {
    if (ranges.size() != 3) ctx_.syntax("IIF needs 3 arguments");
    const Piece then = argument(ranges[1]);
    return {"CASE WHEN " + argument(ranges[0]).text + " THEN " + then.text + " ELSE " +
                argument(ranges[2]).text + " END",
            then.type, true};
  }
  if (fname == "CONCAT") {
    if (ranges.size() < 2) ctx_.syntax("CONCAT needs at least 2 arguments");
    std::string text = "KIVTAB_CONCAT(";
    for (size_t k = 0; k < ranges.size(); ++k) {
      const Piece p = argument(ranges[k]);
      text += (k ? ", " : "") +
              (p.type == ExprType::Date ? "KIVTAB_DATETEXT(" + p.text + ", 0)" : p.text);
    }
    return {text + ")", ExprType::Text, true};
  }
  if (fname == "SPACE") {
    needArgs(1);
    return {"REPLICATE(' ', " + argument(ranges[0]).text + ")", ExprType::Text, true};
  }
  if (fname == "DATALENGTH") {
    needArgs(1);
    const Piece p = argument(ranges[0]);
    // A date-time is 8 bytes on the server; here it is a number of days.
    if (p.type == ExprType::Date)
      return {"CASE WHEN " + p.text + " IS NULL THEN NULL ELSE 8 END", ExprType::Number, true};
    return {"KIVTAB_DATALENGTH(" + p.text + ")", ExprType::Number, true};
  }
  if (fname == "OBJECT_ID") return objectId(ranges);
  if (fname == "DATENAME") {
    needArgs(2);
    const auto [b, e] = ranges[0];
    if (e != b + 1 || !(datePartNamed(ctx_.tokens[b].value()) || isWeekday(ctx_.tokens[b].value())))
      ctx_.unsupported("the date part of this DATENAME");
    return {"KIVTAB_DATENAME(" + quoteString(ctx_.tokens[b].value()) + ", " +
                argument(ranges[1]).text + ")",
            ExprType::Text, true};
  }
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
