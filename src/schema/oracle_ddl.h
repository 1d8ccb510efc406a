#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schema/structure_package.h"

// The statement texts of the table reconciliation on a local Oracle database, built from the
// package's adqColunasOracle and adqIndices (checked beforehand by checkPackage). The primary
// key and CREATE INDEX read as on SQL Server (ddl::addPrimaryKey, ddl::createIndex).
namespace schema::oracle_ddl {

// A SYSDATE default stays SYSDATE (whatever surrounds it), except on DTULTATUEXT and
// DTULTATUCSUM, which get none.
std::optional<std::string> rewriteDefault(const PackageColumn& column);

// The rewritten default trimmed; empty when there is none.
std::string trimmedDefault(const PackageColumn& column);

// The primary-key columns: adqIndices rows named PK_ + table.
std::vector<std::string> primaryKeyColumns(const PackageTable& table);

std::string createTable(const PackageTable& table);
std::string addColumn(std::string_view table, const PackageColumn& column);
// "ALTER TABLE t     MODIFY c type" + (suffix when not empty: " " + suffix).
std::string modifyColumn(std::string_view table, const PackageColumn& column,
                         std::string_view suffix);
// The type change before the NULLs are filled: "ALTER TABLE t MODIFY c type".
std::string modifyType(std::string_view table, const PackageColumn& column);
std::string fillNulls(std::string_view table, const PackageColumn& column);
std::string dropIndex(std::string_view index);
// One foreign key (a group of ddl::foreignKeys) with the Oracle text's own spacing.
std::string addForeignKey(const std::vector<ForeignKeyRow>& key, std::string_view storedTableName);

}  // namespace schema::oracle_ddl
