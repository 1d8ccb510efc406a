#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Column types as the server's catalogue describes them, read from a declared column type
// ("VARCHAR(10)", "DECIMAL(17,3)", "DATETIME", "VARCHAR(-1)" for VARCHAR(MAX)).
namespace db::embedded::catalog {

struct SqlType {
  std::string name;    // lower-case server type name ("varchar")
  int xtype = 0;       // system type id; 0 when the declared type is unknown
  int64_t length = 0;  // storage bytes; -1 for the MAX types
  int precision = 0;
  int scale = 0;
  std::optional<int64_t> charLength;    // characters, for character and binary types
  std::optional<int> numericPrecision;  // for numeric types
  std::optional<int> numericScale;
  std::optional<int> datetimePrecision;
};

SqlType describeType(std::string_view declared);

// One row of the server's type list.
struct SystemType {
  std::string_view name;
  int xtype;
  int length;
  int precision;
  int scale;
};
const std::vector<SystemType>& systemTypes();

// True for the types whose values are texts.
bool isTextType(std::string_view declared);

}  // namespace db::embedded::catalog
