#include "schema/package_check.h"

#include <cctype>
#include <regex>
#include <set>
#include <stdexcept>

#include "db/core/text.h"

namespace schema {
namespace {

const std::regex kIdentifier("[A-Za-z_#@][A-Za-z0-9_#@$]*");
const std::regex kType(R"([A-Za-z][A-Za-z0-9_ ]*(\(\s*(\d+|MAX|max)\s*(,\s*\d+\s*)?\))?)");

// T-SQL's referential actions after REFERENCES table (columns), any number of them, at the end.
const std::regex kReferentialActions(
    R"((\s+(ON\s+(DELETE|UPDATE)\s+(CASCADE|NO\s+ACTION|SET\s+NULL|SET\s+DEFAULT)|NOT\s+FOR\s+REPLICATION))+\s*$)",
    std::regex::icase);

// The type names SQL Server and Oracle know; a package naming another type is wrong or hostile.
const std::set<std::string, std::less<>> kKnownTypes = {
    "BIGINT",    "BINARY",  "BIT",           "BLOB",      "CHAR",
    "CLOB",      "DATE",    "DATETIME",      "DATETIME2", "DATETIMEOFFSET",
    "DECIMAL",   "DOUBLE",  "FLOAT",         "IMAGE",     "INT",
    "INTEGER",   "LONG",    "MONEY",         "NCHAR",     "NCLOB",
    "NTEXT",     "NUMBER",  "NUMERIC",       "NVARCHAR",  "NVARCHAR2",
    "RAW",       "REAL",    "SMALLDATETIME", "SMALLINT",  "SMALLMONEY",
    "TEXT",      "TIME",    "TIMESTAMP",     "TINYINT",   "UNIQUEIDENTIFIER",
    "VARBINARY", "VARCHAR", "VARCHAR2",      "XML"};

bool isKnownType(const std::string& fieldType) {
  const size_t end = fieldType.find_first_of(" (");
  return kKnownTypes.count(db::upper(fieldType.substr(0, end))) > 0;
}

[[noreturn]] void refuse(std::string_view file, const std::string& table, const std::string& what,
                         const std::string& text) {
  throw std::runtime_error(std::string(file) + ", table " + table + ": " + what + " \"" + text +
                           "\" cannot be written into a statement");
}

[[noreturn]] void refuse(const std::string& table, const std::string& what,
                         const std::string& text) {
  refuse(kStructFile, table, what, text);
}

void identifier(const std::string& table, const std::string& what, const std::string& name,
                std::string_view file = kStructFile) {
  if (!std::regex_match(name, kIdentifier)) refuse(file, table, what, name);
}

// Words that would start a statement of their own inside a batch.
const std::set<std::string, std::less<>> kStatementWords = {
    "ALTER",    "BACKUP",  "BEGIN",  "COMMIT",   "CREATE", "DECLARE", "DELETE",
    "DENY",     "DROP",    "EXEC",   "EXECUTE",  "GRANT",  "INSERT",  "KILL",
    "MERGE",    "RESTORE", "REVOKE", "ROLLBACK", "SELECT", "SET",     "SHUTDOWN",
    "TRUNCATE", "UPDATE",  "USE",    "WAITFOR"};

bool wordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// An expression stays one expression: quotes and parentheses closed, no statement end, no
// comment, no word that starts another statement.
void expression(const std::string& table, const std::string& what, const std::string& text,
                std::string_view file = kStructFile) {
  bool quoted = false;
  int depth = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\'') {
      quoted = !quoted;
      continue;
    }
    if (quoted) continue;
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (c == ';' || (c == '-' && next == '-') || (c == '/' && next == '*'))
      refuse(file, table, what, text);
    if (c == '(') ++depth;
    if (c == ')' && --depth < 0) refuse(file, table, what, text);
    if (wordChar(c) && (i == 0 || !wordChar(text[i - 1]))) {
      size_t end = i;
      while (end < text.size() && wordChar(text[end])) ++end;
      if (kStatementWords.count(db::upper(text.substr(i, end - i))))
        refuse(file, table, what, text);
    }
  }
  if (quoted || depth != 0) refuse(file, table, what, text);
}

void checkTable(const PackageTable& table) {
  const std::string& name = table.tableName;
  identifier(name, "TABLE_NAME", name);
  for (const auto* columns : {&table.columns, &table.oracleColumns})
    for (const auto& column : *columns) {
      identifier(name, "COL_NAME", column.name);
      if (!std::regex_match(column.fieldType, kType) || !isKnownType(column.fieldType))
        refuse(name, "FIELD_TYPE", column.fieldType);
      if (column.nullable && !column.nullable->empty() && *column.nullable != "NULL" &&
          *column.nullable != "NOT NULL")
        refuse(name, "NULLABLE", *column.nullable);
      if (column.colDefault) expression(name, "COL_DEFAULT", *column.colDefault);
    }
  for (const auto& rows : {&table.indexes, &table.primaryKeys})
    for (const auto& row : *rows) {
      identifier(name, "INDEX_NAME", row.indexName);
      identifier(name, "COL_NAME", row.colName);
    }
  for (const auto& row : table.indexes)
    if (!row.descend.empty() && !db::iequals(row.descend, "ASC") &&
        !db::iequals(row.descend, "DESC"))
      refuse(name, "DESCEND", row.descend);
}

}  // namespace

void checkPackage(const StructurePackage& package) {
  for (const auto& table : package.tables) checkTable(table);
}

void checkForeignKeyRow(const ForeignKeyRow& row) {
  identifier(row.tableName, "TABLE_NAME", row.tableName, kConstraintsFile);
  identifier(row.tableName, "CONSTRAINT_NAME", row.constraintName, kConstraintsFile);
  identifier(row.tableName, "COL_NAME of " + row.constraintName, row.colName, kConstraintsFile);
  expression(row.tableName, "R_CONSTRAINT_NAME of " + row.constraintName,
             std::regex_replace(row.referencesText, kReferentialActions, ""), kConstraintsFile);
}

}  // namespace schema
