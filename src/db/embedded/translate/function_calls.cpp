#include "db/core/text.h"
#include "db/embedded/date_parts.h"
#include "db/embedded/translate/expression_writer.h"

// The T-SQL function calls: those SQLite lacks become its own spelling or the engine's
// functions, and each call's result type feeds the '+' and date decisions around it.
namespace db::embedded {
namespace {

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
