#include "db/core/sql_text.h"

namespace db::sql {
namespace {

// Each name as "<name><middle>:<prefix><name>" (only ":<prefix><name>" without a middle).
std::string eachName(std::span<const std::string> names, std::string_view middle,
                     std::string_view prefix, std::string_view separator) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += separator;
    if (!middle.empty()) text.append(names[i]).append(middle);
    text.append(":").append(prefix).append(names[i]);
  }
  return text;
}

}  // namespace

std::string joined(std::span<const std::string> parts, std::string_view separator) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += separator;
    text += parts[i];
  }
  return text;
}

std::string parameterList(std::span<const std::string> columns, std::string_view prefix) {
  return eachName(columns, "", prefix, ", ");
}

std::string assignmentList(std::span<const std::string> columns, std::string_view prefix) {
  return eachName(columns, " = ", prefix, ", ");
}

std::string keyCondition(std::span<const std::string> keys, std::string_view prefix) {
  return eachName(keys, " = ", prefix, " AND ");
}

std::string insertStatement(std::string_view table, std::span<const std::string> columns,
                            std::string_view prefix) {
  return "INSERT INTO " + std::string(table) + " (" + joined(columns) + ") VALUES (" +
         parameterList(columns, prefix) + ")";
}

std::string updateStatement(std::string_view table, std::string_view assignments,
                            std::string_view condition) {
  return "UPDATE " + std::string(table) + " SET " + std::string(assignments) + " WHERE " +
         std::string(condition);
}

std::string deleteStatement(std::string_view table, std::string_view condition) {
  return "DELETE FROM " + std::string(table) + " WHERE " + std::string(condition);
}

}  // namespace db::sql
