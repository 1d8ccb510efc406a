#pragma once

#include <string>
#include <vector>

#include "central/model/model.h"
#include "db/core/connection.h"

namespace central {

// The T-SQL that creates one table of the model: CREATE TABLE with its named primary-key
// constraint, then one CREATE INDEX per index.
std::vector<std::string> tableDdl(const Table& table);

// Creates every table of the model, each in its own transaction. Tables that already exist
// make it fail (db::Error), so a central database is created once.
void createCentralDatabase(db::Connection& connection, const Model& model);

}  // namespace central
