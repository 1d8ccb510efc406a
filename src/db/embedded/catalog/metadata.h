#pragma once

#include <cstdint>
#include <string>

struct sqlite3;

// The engine's own tables beside the user's: procedural objects (procedures and triggers kept
// with their T-SQL text) and database-wide settings. Names starting "kivtab_" are reserved.
namespace db::embedded::catalog {

// Object ids of procedural objects are this base plus their row id, clear of table ids.
constexpr int64_t kProceduralIdBase = 4294967296;

// Creates the metadata tables when missing; on a read-only database, empty stand-ins.
void createMetadataTables(sqlite3* db);

// The database's name as the catalogue reports it: the file name without directory and
// extension, "main" for a private in-memory database.
std::string databaseName(sqlite3* db);

}  // namespace db::embedded::catalog
