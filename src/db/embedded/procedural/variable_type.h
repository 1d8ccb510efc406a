#pragma once

#include <string>
#include <string_view>

#include "db/core/value.h"

namespace db::embedded::procedural {

// The declared type of a T-SQL variable, as far as assignment converts to it.
struct VariableType {
  enum class Base { Any, Integer, Bit, Decimal, Float, Text, FixedText, Date, DateOnly, Binary };
  Base base = Base::Any;
  int length = -1;  // characters of a text; -1 for MAX or unknown
  int scale = 0;    // decimals of DECIMAL/NUMERIC/MONEY
  std::string declared;

  bool isText() const { return base == Base::Text || base == Base::FixedText; }
  bool isDate() const { return base == Base::Date || base == Base::DateOnly; }
};

// "INT", "DECIMAL(10,2)", "VARCHAR(MAX)", "CHAR(3)"...; the declared text as written.
VariableType variableTypeOf(std::string_view declared);

// A value as assigning it to a variable of this type leaves it: DECIMAL rounds to its scale,
// VARCHAR(n) cuts at n, CHAR(n) pads, a date-time text is parsed. Throws db::Error (Conversion)
// for a value that cannot be the type.
Value assignTo(const VariableType& type, const Value& value);

}  // namespace db::embedded::procedural
