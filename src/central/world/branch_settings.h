#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "central/model/model.h"
#include "db/core/connection.h"
#include "db/core/value.h"

// Per-branch switches of the central parameter tables, set by an operator of the reference
// server (kivtab-central set) to turn a register's optional features on or off.
namespace central {

// One "TABLE.COLUMN=VALUE" of the command line.
struct SettingAssignment {
  std::string table;
  std::string column;
  std::string value;
};

// Throws std::invalid_argument when the text is not TABLE.COLUMN=VALUE.
SettingAssignment parseSettingAssignment(std::string_view text);

struct SettingsChange {
  std::string table;
  db::DateTime stampedAt;  // the update time written to the branch's rows
  int64_t rows = 0;        // rows of the branch changed
};

// Writes the values into the branch's rows of their table and stamps the rows' update column, so
// that the branch's registers download the change on their next run: the stamp is `now`, or just
// after the newest stamp already in the table when that lies later. One transaction per table.
// Throws std::invalid_argument, with nothing written, for a table that holds no branch switches,
// a column the table lacks or that cannot be switched (key, branch, update time), a column given
// twice, a value its type cannot hold, or a branch without rows in the table.
std::vector<SettingsChange> setBranchSettings(db::Connection& connection, const Model& model,
                                              const std::string& branch,
                                              const std::vector<SettingAssignment>& assignments,
                                              db::DateTime now);

}  // namespace central
