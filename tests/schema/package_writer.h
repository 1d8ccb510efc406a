#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "schema/structure_package.h"

namespace schema_test {

// A package column: name, type, "NULL"/"NOT NULL", default (none when empty).
schema::PackageColumn column(std::string name, std::string type, std::string nullable = "NULL",
                             std::optional<std::string> colDefault = std::nullopt);

// A table with a primary key (in adqPriKeys and as PK_ rows of adqIndices) and plain indexes.
schema::PackageTable table(
    std::string name, std::vector<schema::PackageColumn> columns, std::vector<std::string> key = {},
    std::vector<std::pair<std::string, std::vector<std::string>>> indexes = {});

// Writes struct.cds as the server does; `leaveOut` names a field or nested dataset to omit.
void writeStructCds(const std::filesystem::path& file,
                    const std::vector<schema::PackageTable>& tables,
                    const std::string& leaveOut = {});
void writeConstraintsCds(const std::filesystem::path& file,
                         const std::vector<schema::ForeignKeyRow>& rows);

// A zip archive with the given members (name, content).
void writeZip(const std::filesystem::path& archive,
              const std::vector<std::pair<std::string, std::string>>& members);

std::string readFile(const std::filesystem::path& file);

}  // namespace schema_test
