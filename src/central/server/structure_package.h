#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "central/model/model.h"

namespace central::server {

struct TableListEntry {
  std::string table;
  char flag = 'N';
};

// "NAME=flag" lines separated by CR LF (or LF); blank lines are skipped, a missing flag is 'N'.
std::vector<TableListEntry> parseTableList(std::string_view text);

// The struct.cds rows to write: every table of the cache list the model knows, in list order,
// then an SA_ row for each SA_ entry flagged 'S' whose table the model knows.
std::vector<std::string> structureRows(const central::Model& model,
                                       const std::vector<TableListEntry>& cacheList,
                                       const std::vector<TableListEntry>& saList);

// Writes struct.cds and constraints.cds for the rows into `directory` and zips them into
// struct.zip there (the .cds files are removed again). Returns the zip's path.
std::filesystem::path buildStructurePackage(const central::Model& model,
                                            const std::vector<std::string>& rows,
                                            const std::filesystem::path& directory);

// Type and default of a column in Oracle notation, for adqColunasOracle.
std::string oracleType(std::string_view sqlServerType);
std::string oracleDefault(std::string_view sqlServerDefault);

}  // namespace central::server
