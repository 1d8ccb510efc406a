#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schema/structure_package.h"

// The statement texts of the table reconciliation, built from the package's names and texts
// (checked beforehand by checkPackage).
namespace schema::ddl {

inline constexpr std::string_view kWorkTablePrefix = "SA_";

// TABLE_NAME without a leading "SA_".
std::string localTableName(std::string_view packageTableName);

// VENDA's two XML columns are always IMAGE.
bool isImageColumn(std::string_view table, std::string_view column);
// The type a column is created, added and compared with.
std::string columnType(std::string_view table, const PackageColumn& column);

// SYSDATE/GETDATE defaults become the date-time default, except on DTULTATUEXT and DTULTATUCSUM,
// which get none.
std::optional<std::string> rewriteDefault(const PackageColumn& column);

// A default that is written at all: present, not blank, not "NULL".
bool isWrittenDefault(const std::optional<std::string>& colDefault);

// The pair (PK_ + table, column) is in adqPriKeys or else adqIndices, ignoring case.
bool isKeyColumn(const PackageTable& table, std::string_view localTable, std::string_view column);

// The organisation number as a literal: digits as they are, anything else quoted.
std::string organisationLiteral(std::string_view nrorg);

// " DEFAULT ..." of CREATE TABLE for an already rewritten default; empty when none is written.
std::string createDefaultClause(const std::optional<std::string>& colDefault,
                                std::string_view nrorg);

std::string createTable(const PackageTable& table, std::string_view localTable,
                        std::string_view nrorg);

// The column list of the primary key: adqPriKeys rows of PK_ + table, else those of adqIndices.
std::vector<std::string> primaryKeyColumns(const PackageTable& table, std::string_view localTable);
std::string addPrimaryKey(std::string_view localTable, const std::vector<std::string>& columns);

// Consecutive adqIndices rows of one name, "PK_" indexes left out.
struct IndexGroup {
  std::string name;
  std::string columns;  // "COL DESCEND, COL DESCEND"
};
std::vector<IndexGroup> indexGroups(const PackageTable& table);
std::vector<IndexGroup> indexGroups(const std::vector<IndexColumnRow>& rows);
std::string createIndex(const IndexGroup& index, std::string_view localTable);

// The foreign keys of a table named as stored: consecutive constraints rows of one name each.
std::vector<std::vector<ForeignKeyRow>> foreignKeys(const std::vector<ForeignKeyRow>& rows,
                                                    std::string_view storedTableName);
// A foreign key's columns joined by ", ".
std::string foreignKeyColumns(const std::vector<ForeignKeyRow>& key);
std::string addForeignKey(const std::vector<ForeignKeyRow>& key, std::string_view storedTableName);

}  // namespace schema::ddl
