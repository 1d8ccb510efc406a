#pragma once

#include <string>
#include <vector>

#include "central/model/model.h"
#include "db/core/connection.h"

namespace central {

// The T-SQL that creates one table of the model: CREATE TABLE with its named primary-key
// constraint, then one CREATE INDEX per index.
std::vector<std::string> tableDdl(const Table& table);

// Creates every table of the model, each in its own transaction, with its change index. Tables
// that already exist make it fail (db::Error), so a central database is created once.
void createCentralDatabase(db::Connection& connection, const Model& model);

// The central side's own indexes, beside the model's: per table with a branch column and an
// update-time column, one on (branch, update time), so that the rows of a branch changed since a
// date are a range of it rather than a read of every row of the branch.
std::vector<Index> changeIndexes(const Table& table);
// Creates the change indexes a database made before them lacks; returns how many it created.
size_t addMissingChangeIndexes(db::Connection& connection, const Model& model);

}  // namespace central
