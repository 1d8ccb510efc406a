#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "central/server/table_query.h"
#include "db/core/connection.h"

namespace central::server {

// The password of the zipped statement files, which the register knows.
inline constexpr const char* kStatementZipPassword = "vostrel@vostrel";

struct StatementFileRequest {
  std::string fileName;  // plain file name, e.g. "insertConsumidor.sql"
  std::string kind;      // CONS, EXTCONS, CONSDT_TEMP, CONSCLIENFIL_TMP, DELCACHEPRODUTOSEG
  std::string branch;
  db::ValueArray values;  // the kind's parameters (dates), see docs/protocol.md
  int64_t firstLine = 0;  // both 0: the whole file; else lines firstLine..lastLine (from 1)
  int64_t lastLine = 0;
};

// Rows a kind writes: the source table, the table the statements insert into and the filter.
struct StatementSource {
  const central::Table* table = nullptr;
  std::string targetTable;
  std::vector<std::string> columns;  // source columns, in statement order
  RowFilter filter;
  bool fromDeleteCacheKeys = false;  // columns come out of DSKEYCACHE, plus DTULTATUCACH
};

// Throws BadRequest for an unknown kind.
StatementSource statementSource(const std::string& kind, const std::string& branch,
                                const db::ValueArray& values);

// Writes the INSERT lines of the request into `directory`/<fileName>, zips them with the
// password into <fileName>.zip beside it, removes the plain file and returns the zip's path.
std::filesystem::path buildStatementZip(db::Connection& db, const StatementFileRequest& request,
                                        const std::filesystem::path& directory);

// Key value of `column` in a delete-cache key text "COL=value;COL2=value;".
std::string keyValue(const std::string& keyText, const std::string& column);

}  // namespace central::server
