#include "consumer_central/table_ddl.h"

#include <algorithm>

#include "consumer_central/central_sql.h"
#include "db/core/sql_text.h"
#include "db/core/text.h"
#include "schema/ddl_text.h"
#include "schema/statements.h"

namespace consumer_central {
namespace {

constexpr std::string_view kCrLf = "\r\n";

std::vector<std::string> keyColumns(const CentralTable& table,
                                    const std::vector<IndexColumn>& indexes) {
  std::vector<std::string> columns;
  for (const auto& row : indexes)
    if (db::iequals(row.indexName, table.localKey)) columns.push_back(row.colName);
  return columns;
}

bool contains(const std::vector<std::string>& names, std::string_view name) {
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& n) { return db::iequals(n, name); });
}

// The default clause of the structure update's CREATE TABLE, except that only the exact
// organisation-number default takes the organisation number.
std::string defaultClause(const std::optional<std::string>& colDefault,
                          const OrganisationNumber& organisationNumber) {
  if (!schema::ddl::isWrittenDefault(colDefault)) return {};
  std::string compact;
  for (char c : *colDefault)
    if (c != ' ') compact += c;
  compact = db::lower(compact);
  if (compact == sql::kOrganisationDefault)
    return " DEFAULT " + schema::ddl::organisationLiteral(organisationNumber());
  // Any other quoted default naming it is written as it stands.
  if (compact.find('\'') != std::string::npos && compact.find("nrorg_ctx") != std::string::npos)
    return " DEFAULT " + std::string(db::trim(*colDefault));
  return schema::ddl::createDefaultClause(colDefault, {});
}

}  // namespace

std::optional<std::string> centralDefault(const CentralTable& table,
                                          const schema::LocalColumn& column) {
  if (column.colDefault.empty()) return std::nullopt;
  const std::string upper = db::upper(column.colDefault);
  // A GETDATE default without quotes would be written as the text 'getdate()', which no date
  // column can hold; it is taken as SYSDATE is.
  const bool bareGetDate =
      upper.find("GETDATE") != std::string::npos && upper.find('\'') == std::string::npos;
  if (upper.find("SYSDATE") == std::string::npos && !bareGetDate) return column.colDefault;
  for (std::string_view dropped : table.dateDefaultsDropped)
    if (db::iequals(column.name, dropped)) return std::nullopt;
  return std::string(schema::sql::kDateTimeDefault);
}

std::string createTable(const CentralTable& table, const std::vector<schema::LocalColumn>& columns,
                        const std::vector<IndexColumn>& indexes,
                        const OrganisationNumber& organisationNumber) {
  const std::vector<std::string> keys = keyColumns(table, indexes);
  std::string text = "CREATE TABLE " + std::string(table.name) + " (" + std::string(kCrLf);
  bool first = true;
  for (const auto& column : columns) {
    if (!first) text += "," + std::string(kCrLf);
    first = false;
    text += column.name + "  " + column.fieldType;
    const bool alwaysNotNull =
        !table.extraKeyColumn.empty() && db::iequals(column.name, table.extraKeyColumn);
    if (contains(keys, column.name) || column.nullable == "NOT NULL" || alwaysNotNull)
      text += " NOT NULL";
    text += defaultClause(centralDefault(table, column), organisationNumber);
  }
  return text + ")";
}

std::string addPrimaryKey(const CentralTable& table, const std::vector<IndexColumn>& indexes) {
  std::vector<std::string> columns = keyColumns(table, indexes);
  if (!table.extraKeyColumn.empty()) columns.emplace_back(table.extraKeyColumn);
  return "ALTER TABLE " + std::string(table.name) + " ADD CONSTRAINT " +
         std::string(table.centralKey) + " PRIMARY KEY (" + db::sql::joined(columns) + ")";
}

std::vector<CentralIndex> centralIndexes(const CentralTable& table,
                                         const std::vector<IndexColumn>& indexes) {
  std::vector<CentralIndex> result;
  if (!table.indexes) return result;
  for (const auto& group : schema::ddl::indexGroups(indexes))
    result.push_back({group.name, schema::ddl::createIndex(group, table.name)});
  return result;
}

}  // namespace consumer_central
