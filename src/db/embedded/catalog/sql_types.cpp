#include "db/embedded/catalog/sql_types.h"

#include <charconv>

#include "db/core/text.h"

namespace db::embedded::catalog {
namespace {

enum class Shape {
  Fixed,      // length, precision and scale fixed by the type
  Chars,      // (n) characters of one byte
  WideChars,  // (n) characters of two bytes
  Bytes,      // (n) bytes
  Decimal,    // (p, s)
};

struct TypeRule {
  std::string_view name;
  int xtype;
  Shape shape;
  int length;  // fixed length, or the default n / p when no argument is given
  int precision;
  int scale;
  std::optional<int> numericPrecision;
  std::optional<int> datetimePrecision;
};

// The server's system types with the facts the catalogue reports about each.
const std::vector<TypeRule>& rules() {
  static const std::vector<TypeRule> kRules = {
      {"bigint", 127, Shape::Fixed, 8, 19, 0, 19, {}},
      {"binary", 173, Shape::Bytes, 1, 0, 0, {}, {}},
      {"bit", 104, Shape::Fixed, 1, 1, 0, {}, {}},
      {"char", 175, Shape::Chars, 1, 0, 0, {}, {}},
      {"date", 40, Shape::Fixed, 3, 10, 0, {}, 0},
      {"datetime", 61, Shape::Fixed, 8, 23, 3, {}, 3},
      {"datetime2", 42, Shape::Fixed, 8, 27, 7, {}, 7},
      {"decimal", 106, Shape::Decimal, 18, 18, 0, {}, {}},
      {"float", 62, Shape::Fixed, 8, 53, 0, 53, {}},
      {"image", 34, Shape::Fixed, 16, 0, 0, {}, {}},
      {"int", 56, Shape::Fixed, 4, 10, 0, 10, {}},
      {"money", 60, Shape::Fixed, 8, 19, 4, 19, {}},
      {"nchar", 239, Shape::WideChars, 1, 0, 0, {}, {}},
      {"ntext", 99, Shape::Fixed, 16, 0, 0, {}, {}},
      {"numeric", 108, Shape::Decimal, 18, 18, 0, {}, {}},
      {"nvarchar", 231, Shape::WideChars, 1, 0, 0, {}, {}},
      {"real", 59, Shape::Fixed, 4, 24, 0, 24, {}},
      {"smalldatetime", 58, Shape::Fixed, 4, 16, 0, {}, 0},
      {"smallint", 52, Shape::Fixed, 2, 5, 0, 5, {}},
      {"smallmoney", 122, Shape::Fixed, 4, 10, 4, 10, {}},
      {"text", 35, Shape::Fixed, 16, 0, 0, {}, {}},
      {"time", 41, Shape::Fixed, 5, 16, 7, {}, 7},
      {"timestamp", 189, Shape::Fixed, 8, 0, 0, {}, {}},
      {"tinyint", 48, Shape::Fixed, 1, 3, 0, 3, {}},
      {"uniqueidentifier", 36, Shape::Fixed, 16, 0, 0, {}, {}},
      {"varbinary", 165, Shape::Bytes, 1, 0, 0, {}, {}},
      {"varchar", 167, Shape::Chars, 1, 0, 0, {}, {}},
      {"xml", 241, Shape::Fixed, -1, 0, 0, {}, {}},
  };
  return kRules;
}

// SQLite spellings that stand for a server type.
std::string_view canonicalName(std::string_view name) {
  static const std::pair<std::string_view, std::string_view> kAliases[] = {
      {"integer", "int"},
      {"double", "float"},
      {"double precision", "float"},
      {"boolean", "bit"},
      {"blob", "varbinary"},
      {"character", "char"},
      {"dec", "decimal"},
      {"character varying", "varchar"},
  };
  for (const auto& [alias, name2] : kAliases)
    if (name == alias) return name2;
  return name;
}

const TypeRule* findRule(std::string_view name) {
  for (const auto& rule : rules())
    if (rule.name == name) return &rule;
  return nullptr;
}

// "(10)", "(17,3)", "(MAX)", "(-1)" after the type name; -1 stands for MAX.
std::vector<int64_t> parseArguments(std::string_view text) {
  std::vector<int64_t> out;
  const size_t open = text.find('(');
  const size_t close = text.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) return out;
  std::string_view rest = text.substr(open + 1, close - open - 1);
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    const std::string_view part = trim(rest.substr(0, comma));
    int64_t value = 0;
    if (iequals(part, "max")) {
      value = -1;
    } else if (std::from_chars(part.data(), part.data() + part.size(), value).ec != std::errc()) {
      return {};
    }
    out.push_back(value);
    if (comma == std::string_view::npos) break;
    rest = rest.substr(comma + 1);
  }
  return out;
}

int decimalStorage(int precision) {
  if (precision <= 9) return 5;
  if (precision <= 19) return 9;
  if (precision <= 28) return 13;
  return 17;
}

}  // namespace

SqlType describeType(std::string_view declared) {
  const std::string_view head = trim(declared.substr(0, declared.find('(')));
  std::string name = lower(head);
  // Collapse inner runs of blanks ("double   precision").
  std::string collapsed;
  for (char c : name) {
    if (c == ' ' && (collapsed.empty() || collapsed.back() == ' ')) continue;
    collapsed += c;
  }
  name = std::string(canonicalName(collapsed));
  if (declared.empty() || name.empty()) name = "sql_variant";

  SqlType type;
  type.name = name;
  const TypeRule* rule = findRule(name);
  if (!rule) return type;
  type.xtype = rule->xtype;
  type.numericPrecision = rule->numericPrecision;
  type.datetimePrecision = rule->datetimePrecision;
  const std::vector<int64_t> args = parseArguments(declared);
  // A BLOB declared without a size is the unbounded binary type.
  const bool unboundedBlob = iequals(head, "blob");
  switch (rule->shape) {
    case Shape::Fixed:
      type.length = rule->length;
      type.precision = rule->precision;
      type.scale = rule->scale;
      if (name == "text" || name == "image") type.charLength = 2147483647;
      if (name == "ntext") type.charLength = 1073741823;
      if (type.numericPrecision) type.numericScale = rule->scale;
      break;
    case Shape::Chars:
    case Shape::Bytes:
    case Shape::WideChars: {
      const int64_t n = unboundedBlob ? -1 : (args.empty() ? rule->length : args[0]);
      const int64_t perChar = rule->shape == Shape::WideChars ? 2 : 1;
      type.length = n < 0 ? -1 : n * perChar;
      type.charLength = n < 0 ? -1 : n;
      break;
    }
    case Shape::Decimal: {
      type.precision = args.empty() ? rule->precision : static_cast<int>(args[0]);
      type.scale = args.size() > 1 ? static_cast<int>(args[1]) : 0;
      type.length = decimalStorage(type.precision);
      type.numericPrecision = type.precision;
      type.numericScale = type.scale;
      break;
    }
  }
  return type;
}

const std::vector<SystemType>& systemTypes() {
  static const std::vector<SystemType> kTypes = [] {
    std::vector<SystemType> out;
    for (const auto& rule : rules()) {
      const int length = rule.shape == Shape::Decimal ? 17
                         : rule.shape == Shape::Fixed ? rule.length
                                                      : 8000;
      const int precision = rule.shape == Shape::Decimal ? 38 : rule.precision;
      const int scale = rule.shape == Shape::Decimal ? 38 : rule.scale;
      out.push_back({rule.name, rule.xtype, length, precision, scale});
    }
    return out;
  }();
  return kTypes;
}

bool isTextType(std::string_view declared) {
  const std::string name = describeType(declared).name;
  return name == "varchar" || name == "nvarchar" || name == "char" || name == "nchar" ||
         name == "text" || name == "ntext";
}

}  // namespace db::embedded::catalog
