#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "consumer_central/central_tables.h"
#include "schema/local_catalog.h"
#include "schema/structure_package.h"

// The statements that create a central table from its local source's columns and indexes.
namespace consumer_central {

// One row of an index query: INDEX_NAME, COL_NAME, DESCEND.
using IndexColumn = schema::IndexColumnRow;

// The organisation number, asked for only when a default needs it.
using OrganisationNumber = std::function<std::string()>;

// SYSDATE defaults, and GETDATE ones written without quotes, become the date-time default, or
// none on the table's dropped columns; other defaults stay as they are.
std::optional<std::string> centralDefault(const CentralTable& table,
                                          const schema::LocalColumn& column);

// "CREATE TABLE <name> (" CR LF, one line per local column with its type, " NOT NULL" for key
// and NOT NULL columns, and the default clause; ")".
std::string createTable(const CentralTable& table, const std::vector<schema::LocalColumn>& columns,
                        const std::vector<IndexColumn>& indexes,
                        const OrganisationNumber& organisationNumber);

// The central primary key over the local key's columns (and the extra key column).
std::string addPrimaryKey(const CentralTable& table, const std::vector<IndexColumn>& indexes);

// The local indexes other than the primary key, by name, with their "CREATE INDEX" texts.
struct CentralIndex {
  std::string name;
  std::string create;
};
std::vector<CentralIndex> centralIndexes(const CentralTable& table,
                                         const std::vector<IndexColumn>& indexes);

}  // namespace consumer_central
