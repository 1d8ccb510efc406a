#include "schema/ddl_text.h"

#include <algorithm>

#include "db/core/text.h"
#include "schema/statements.h"

namespace schema::ddl {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kKeyPrefix = "PK_";

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::string join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string text;
  for (const auto& part : parts) {
    if (!text.empty()) text += separator;
    text += part;
  }
  return text;
}

std::vector<std::string> keyColumnsOf(const std::vector<IndexColumnRow>& rows,
                                      std::string_view keyName) {
  std::vector<std::string> columns;
  for (const auto& row : rows)
    if (db::iequals(row.indexName, keyName)) columns.push_back(row.colName);
  return columns;
}

}  // namespace

std::string localTableName(std::string_view packageTableName) {
  if (packageTableName.substr(0, kWorkTablePrefix.size()) == kWorkTablePrefix)
    packageTableName.remove_prefix(kWorkTablePrefix.size());
  return std::string(packageTableName);
}

bool isImageColumn(std::string_view table, std::string_view column) {
  return db::iequals(table, "VENDA") &&
         (db::iequals(column, "DSARQXMLNFCE") || db::iequals(column, "DSARQXMLCANCNFCE"));
}

std::string columnType(std::string_view table, const PackageColumn& column) {
  return isImageColumn(table, column.name) ? "IMAGE" : column.fieldType;
}

std::optional<std::string> rewriteDefault(const PackageColumn& column) {
  if (!column.colDefault) return std::nullopt;
  const std::string upper = db::upper(*column.colDefault);
  if (!contains(upper, "SYSDATE") && !contains(upper, "GETDATE")) return column.colDefault;
  if (db::iequals(column.name, "DTULTATUEXT") || db::iequals(column.name, "DTULTATUCSUM"))
    return std::nullopt;
  return std::string(sql::kDateTimeDefault);
}

bool isWrittenDefault(const std::optional<std::string>& colDefault) {
  if (!colDefault) return false;
  const std::string_view trimmed = db::trim(*colDefault);
  return !trimmed.empty() && trimmed != "NULL";
}

bool isKeyColumn(const PackageTable& table, std::string_view localTable, std::string_view column) {
  const std::string keyName = std::string(kKeyPrefix) + std::string(localTable);
  auto matches = [&](const IndexColumnRow& row) {
    return db::iequals(row.indexName, keyName) && db::iequals(row.colName, column);
  };
  return std::any_of(table.primaryKeys.begin(), table.primaryKeys.end(), matches) ||
         std::any_of(table.indexes.begin(), table.indexes.end(), matches);
}

std::string organisationLiteral(std::string_view nrorg) {
  const bool digits =
      !nrorg.empty() &&
      std::all_of(nrorg.begin(), nrorg.end(), [](unsigned char c) { return c >= '0' && c <= '9'; });
  if (digits) return std::string(nrorg);
  std::string quoted = "'";
  for (char c : nrorg) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

std::string createDefaultClause(const std::optional<std::string>& colDefault,
                                std::string_view nrorg) {
  if (!isWrittenDefault(colDefault)) return {};
  const std::string trimmed(db::trim(*colDefault));
  if (!contains(trimmed, "'")) {
    if (trimmed.size() >= 2 && trimmed.front() == '(' && trimmed.back() == ')')
      return " DEFAULT '" + trimmed.substr(1, trimmed.size() - 2) + "'";
    return " DEFAULT '" + trimmed + "'";
  }
  std::string compact;
  for (char c : trimmed)
    if (c != ' ') compact += c;
  if (contains(db::lower(compact), "nrorg_ctx")) return " DEFAULT " + organisationLiteral(nrorg);
  return " DEFAULT " + trimmed;
}

std::string createTable(const PackageTable& table, std::string_view localTable,
                        std::string_view nrorg) {
  std::string text = "CREATE TABLE " + std::string(localTable) + " (" + std::string(kCrLf);
  bool first = true;
  for (const auto& column : table.columns) {
    const std::optional<std::string> colDefault = rewriteDefault(column);
    if (!first) text += "," + std::string(kCrLf);
    first = false;
    text += column.name + "  " + columnType(localTable, column);
    if (isKeyColumn(table, localTable, column.name) || column.nullable == "NOT NULL")
      text += " NOT NULL";
    text += createDefaultClause(colDefault, nrorg);
  }
  return text + ")";
}

std::vector<std::string> primaryKeyColumns(const PackageTable& table, std::string_view localTable) {
  const std::string keyName = std::string(kKeyPrefix) + std::string(localTable);
  std::vector<std::string> columns = keyColumnsOf(table.primaryKeys, keyName);
  return columns.empty() ? keyColumnsOf(table.indexes, keyName) : columns;
}

std::string addPrimaryKey(std::string_view localTable, const std::vector<std::string>& columns) {
  const std::string table(localTable);
  return "ALTER TABLE " + table + " ADD CONSTRAINT PK_" + table + " PRIMARY KEY (" +
         join(columns, ", ") + ")";
}

std::vector<IndexGroup> indexGroups(const PackageTable& table) {
  return indexGroups(table.indexes);
}

std::vector<IndexGroup> indexGroups(const std::vector<IndexColumnRow>& rows) {
  std::vector<IndexGroup> groups;
  std::vector<std::string> columns;
  std::string current;
  auto close = [&] {
    if (!columns.empty() && current.substr(0, kKeyPrefix.size()) != kKeyPrefix)
      groups.push_back({current, join(columns, ", ")});
    columns.clear();
  };
  for (const auto& row : rows) {
    if (row.indexName != current) {
      close();
      current = row.indexName;
    }
    columns.push_back(row.colName + " " + row.descend);
  }
  close();
  return groups;
}

std::string createIndex(const IndexGroup& index, std::string_view localTable) {
  return "CREATE INDEX " + index.name + " ON " + std::string(localTable) + " (" + index.columns +
         ")";
}

std::vector<std::vector<ForeignKeyRow>> foreignKeys(const std::vector<ForeignKeyRow>& rows,
                                                    std::string_view storedTableName) {
  std::vector<std::vector<ForeignKeyRow>> keys;
  for (const auto& row : rows) {
    if (row.tableName != storedTableName) continue;
    if (keys.empty() || row.constraintName != keys.back().front().constraintName)
      keys.emplace_back();
    keys.back().push_back(row);
  }
  return keys;
}

std::string foreignKeyColumns(const std::vector<ForeignKeyRow>& key) {
  std::vector<std::string> columns;
  for (const auto& row : key) columns.push_back(row.colName);
  return join(columns, ", ");
}

std::string addForeignKey(const std::vector<ForeignKeyRow>& key, std::string_view storedTableName) {
  return "ALTER TABLE " + std::string(storedTableName) + " ADD CONSTRAINT " +
         key.front().constraintName + " FOREIGN KEY (" + foreignKeyColumns(key) + ")" +
         " REFERENCES " + key.front().referencesText;
}

}  // namespace schema::ddl
