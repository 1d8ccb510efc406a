#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace schema {

// One column of adqColunas.
struct PackageColumn {
  std::string name;
  std::string fieldType;
  std::optional<std::string> nullable;    // "NOT NULL" or "NULL"; the field is optional
  std::optional<std::string> colDefault;  // the default expression; the field is optional
};

// One row of adqIndices (INDEX_NAME, COL_NAME, DESCEND) or adqPriKeys (without DESCEND).
struct IndexColumnRow {
  std::string indexName;
  std::string colName;
  std::string descend;
};

// One struct.cds record: a table as the central model describes it.
struct PackageTable {
  std::string tableName;  // as stored; may begin with "SA_"
  std::vector<PackageColumn> columns;
  std::vector<PackageColumn> oracleColumns;  // adqColunasOracle, when the package has it
  std::vector<IndexColumnRow> indexes;
  std::vector<IndexColumnRow> primaryKeys;
};

// One constraints.cds row: one column of a foreign key.
struct ForeignKeyRow {
  std::string tableName;
  std::string constraintName;
  std::string referencesText;  // R_CONSTRAINT_NAME, written after REFERENCES
  std::string colName;
};

struct StructurePackage {
  std::vector<PackageTable> tables;
  std::optional<std::vector<ForeignKeyRow>> constraints;  // none without constraints.cds
  bool hasOracleColumns = false;                          // struct.cds holds adqColunasOracle
};

inline constexpr const char* kStructFile = "struct.cds";
inline constexpr const char* kConstraintsFile = "constraints.cds";
inline constexpr const char* kPackageArchive = "struct.zip";

// Reads struct.cds of the package directory and, when present, constraints.cds. Raises
// std::runtime_error naming the file and the missing field or nested dataset before anything is
// reconciled, and db::Error when a file cannot be read as a data packet.
StructurePackage loadStructurePackage(const std::filesystem::path& directory);

}  // namespace schema
