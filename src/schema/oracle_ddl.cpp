#include "schema/oracle_ddl.h"

#include "db/core/text.h"
#include "schema/ddl_text.h"

namespace schema::oracle_ddl {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kSysdate = "SYSDATE";

bool isKeyColumn(const std::vector<std::string>& keyColumns, std::string_view column) {
  for (const auto& key : keyColumns)
    if (db::iequals(key, column)) return true;
  return false;
}

}  // namespace

std::optional<std::string> rewriteDefault(const PackageColumn& column) {
  if (!column.colDefault) return std::nullopt;
  if (db::upper(*column.colDefault).find(kSysdate) == std::string::npos) return column.colDefault;
  if (db::iequals(column.name, "DTULTATUEXT") || db::iequals(column.name, "DTULTATUCSUM"))
    return std::nullopt;
  return std::string(kSysdate);
}

std::string trimmedDefault(const PackageColumn& column) {
  const std::optional<std::string> colDefault = rewriteDefault(column);
  return colDefault ? std::string(db::trim(*colDefault)) : std::string();
}

std::vector<std::string> primaryKeyColumns(const PackageTable& table) {
  const std::string keyName = "PK_" + table.tableName;
  std::vector<std::string> columns;
  for (const auto& row : table.indexes)
    if (db::iequals(row.indexName, keyName)) columns.push_back(row.colName);
  return columns;
}

std::string createTable(const PackageTable& table) {
  const std::vector<std::string> keyColumns = primaryKeyColumns(table);
  std::string text = "CREATE TABLE " + table.tableName + " (" + std::string(kCrLf);
  bool first = true;
  for (const auto& column : table.oracleColumns) {
    if (!first) text += "," + std::string(kCrLf);
    first = false;
    text += column.name + " " + column.fieldType;
    // Written as it stands: no quoting and no test for "NULL".
    const std::string colDefault = trimmedDefault(column);
    if (!colDefault.empty()) text += " DEFAULT " + colDefault;
    if (isKeyColumn(keyColumns, column.name) || column.nullable == "NOT NULL") text += " NOT NULL";
  }
  return text + ")";
}

std::string addColumn(std::string_view table, const PackageColumn& column) {
  std::string text =
      "ALTER TABLE " + std::string(table) + " ADD " + column.name + " " + column.fieldType;
  if (column.nullable == "NOT NULL") text += " NOT NULL";
  const std::string colDefault = trimmedDefault(column);
  if (!colDefault.empty()) text += " DEFAULT " + colDefault;
  return text;
}

std::string modifyColumn(std::string_view table, const PackageColumn& column,
                         std::string_view suffix) {
  std::string text =
      "ALTER TABLE " + std::string(table) + "     MODIFY " + column.name + " " + column.fieldType;
  if (!suffix.empty()) text += " " + std::string(suffix);
  return text;
}

std::string modifyType(std::string_view table, const PackageColumn& column) {
  return "ALTER TABLE " + std::string(table) + " MODIFY " + column.name + " " + column.fieldType;
}

std::string fillNulls(std::string_view table, const PackageColumn& column) {
  return "UPDATE " + std::string(table) + "   SET " + column.name + " = " + trimmedDefault(column) +
         " WHERE " + column.name + " IS NULL";
}

std::string dropIndex(std::string_view index) { return "DROP INDEX " + std::string(index); }

std::string addForeignKey(const std::vector<ForeignKeyRow>& key, std::string_view storedTableName) {
  return "ALTER TABLE     " + std::string(storedTableName) + " ADD CONSTRAINT " +
         key.front().constraintName + "   FOREIGN KEY (" + ddl::foreignKeyColumns(key) + ")" +
         "     REFERENCES " + key.front().referencesText;
}

}  // namespace schema::oracle_ddl
