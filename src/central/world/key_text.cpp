#include "central/world/key_text.h"

#include <stdexcept>

namespace central {
namespace {

// The register compares these date keys through CONVERT(VARCHAR, column, 103).
bool comparedAsDayMonthYear(std::string_view table, std::string_view column) {
  return ((table == "ITEMPRECO" || table == "ITEMPRECOGER") && column == "DTINIVGPREC") ||
         (table == "MOVINDICE" && column == "DTREFIND");
}

}  // namespace

std::string keyValueText(std::string_view table, std::string_view column, const db::Value& value) {
  std::string text;
  if (value.kind() == db::Value::Kind::DateTime) {
    text = value.getDateTime().format(comparedAsDayMonthYear(table, column) ? "dd/mm/yyyy"
                                                                            : "yyyymmddhhnnss");
  } else {
    text = value.asText();
  }
  if (text.find(';') != std::string::npos) {
    throw std::invalid_argument("key value of " + std::string(table) + "." + std::string(column) +
                                " holds \";\" and cannot be written as a cache key: " + text);
  }
  return text;
}

std::string cacheKeyText(std::string_view table, const std::vector<std::string>& columns,
                         const std::vector<db::Value>& values) {
  if (columns.size() != values.size()) {
    throw std::invalid_argument("cache key of " + std::string(table) +
                                ": column and value counts differ");
  }
  std::string text;
  for (size_t i = 0; i < columns.size(); ++i) {
    text += columns[i] + "=" + keyValueText(table, columns[i], values[i]) + ";";
  }
  return text;
}

}  // namespace central
