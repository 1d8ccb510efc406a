#include "db/embedded/procedural/variable_type.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "db/core/error.h"
#include "db/core/text.h"

namespace db::embedded::procedural {
namespace {

using Base = VariableType::Base;

struct TypeName {
  std::string_view name;
  Base base;
  int scale;  // fixed scale (MONEY); -1 when the declaration gives it
};

constexpr TypeName kTypes[] = {
    {"INT", Base::Integer, 0},
    {"INTEGER", Base::Integer, 0},
    {"BIGINT", Base::Integer, 0},
    {"SMALLINT", Base::Integer, 0},
    {"TINYINT", Base::Integer, 0},
    {"BIT", Base::Bit, 0},
    {"DECIMAL", Base::Decimal, -1},
    {"NUMERIC", Base::Decimal, -1},
    {"MONEY", Base::Decimal, 4},
    {"SMALLMONEY", Base::Decimal, 4},
    {"FLOAT", Base::Float, 0},
    {"REAL", Base::Float, 0},
    {"VARCHAR", Base::Text, 0},
    {"NVARCHAR", Base::Text, 0},
    {"CHAR", Base::FixedText, 0},
    {"NCHAR", Base::FixedText, 0},
    {"TEXT", Base::Text, 0},
    {"NTEXT", Base::Text, 0},
    {"SYSNAME", Base::Text, 0},
    {"DATETIME", Base::Date, 0},
    {"SMALLDATETIME", Base::Date, 0},
    {"DATETIME2", Base::Date, 0},
    {"DATE", Base::DateOnly, 0},
    {"VARBINARY", Base::Binary, 0},
    {"BINARY", Base::Binary, 0},
    {"IMAGE", Base::Binary, 0},
    {"UNIQUEIDENTIFIER", Base::Text, 0},
};

[[noreturn]] void conversionFailed(const VariableType& type, const Value& value) {
  if (type.isDate())
    throw Error(ErrorKind::Conversion,
                "Conversion failed when converting date and/or time from character string '" +
                    value.asText() + "'.");
  throw Error(ErrorKind::Conversion, "Conversion failed when converting the value '" +
                                         value.asText() + "' to data type " + type.declared + ".");
}

double numberOf(const VariableType& type, const Value& value) {
  try {
    if (value.kind() == Value::Kind::Text) {
      const std::string text(trim(value.getText()));
      char* end = nullptr;
      const double d = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0') conversionFailed(type, value);
      return d;
    }
    return value.asDouble();
  } catch (const std::invalid_argument&) {
    conversionFailed(type, value);
  }
}

}  // namespace

VariableType variableTypeOf(std::string_view declared) {
  VariableType type;
  type.declared = upper(trim(declared));
  const std::string& text = type.declared;
  const size_t paren = text.find('(');
  const std::string name(trim(std::string_view(text).substr(0, paren)));
  for (const auto& t : kTypes)
    if (name == t.name) {
      type.base = t.base;
      type.scale = t.scale;
    }
  std::vector<std::string> args;
  if (paren != std::string::npos) {
    std::string inner = text.substr(paren + 1);
    if (!inner.empty() && inner.back() == ')') inner.pop_back();
    for (size_t start = 0; start <= inner.size();) {
      const size_t comma = std::min(inner.find(',', start), inner.size());
      args.emplace_back(trim(std::string_view(inner).substr(start, comma - start)));
      start = comma + 1;
    }
  }
  if (type.isText()) {
    // Without a length a declared character variable holds one character, as on SQL Server.
    type.length = args.empty() ? (name == "TEXT" || name == "NTEXT" ? -1 : 1)
                               : (args[0] == "MAX" ? -1 : std::atoi(args[0].c_str()));
    if (name == "SYSNAME") type.length = 128;
    if (name == "UNIQUEIDENTIFIER") type.length = 36;
  }
  if (type.base == Base::Decimal && type.scale < 0)
    type.scale = args.size() > 1 ? std::atoi(args[1].c_str()) : 0;
  return type;
}

Value assignTo(const VariableType& type, const Value& value) {
  if (value.isNull()) return value;
  switch (type.base) {
    case Base::Any:
    case Base::Binary:
      return value;
    case Base::Integer: {
      if (value.kind() == Value::Kind::Int) return value;
      const double d = numberOf(type, value);
      return static_cast<int64_t>(std::trunc(d));
    }
    case Base::Bit:
      return int64_t{numberOf(type, value) != 0 ? 1 : 0};
    case Base::Decimal: {
      const double factor = std::pow(10.0, type.scale);
      const double rounded = std::round(numberOf(type, value) * factor) / factor;
      return rounded;
    }
    case Base::Float:
      return numberOf(type, value);
    case Base::Text:
    case Base::FixedText: {
      std::string text =
          value.kind() == Value::Kind::Double && value.getDouble() == std::trunc(value.getDouble())
              ? std::to_string(static_cast<int64_t>(value.getDouble()))
              : value.asText();
      if (type.length >= 0 && text.size() > static_cast<size_t>(type.length))
        text.resize(static_cast<size_t>(type.length));
      if (type.base == Base::FixedText && type.length > 0)
        text.resize(static_cast<size_t>(type.length), ' ');
      return text;
    }
    case Base::Date:
    case Base::DateOnly: {
      DateTime t;
      if (value.kind() == Value::Kind::DateTime) {
        t = value.getDateTime();
      } else if (value.kind() == Value::Kind::Text) {
        const auto parsed = DateTime::parse(trim(value.getText()));
        if (!parsed) conversionFailed(type, value);
        t = *parsed;
      } else {
        t = DateTime::fromDays(numberOf(type, value));
      }
      return type.base == Base::DateOnly ? t.date() : t;
    }
  }
  return value;
}

}  // namespace db::embedded::procedural
