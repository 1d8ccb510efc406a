#pragma once

#include <string>
#include <vector>

#include "central/model/model.h"

// The statements the world writes with, built from the model's (validated) names; every value
// travels as a named parameter P_<column>.
namespace central::world {

std::string insertStatement(const Table& table);
std::string insertStatement(const std::string& table, const std::vector<std::string>& columns);
std::string selectAllOrderedStatement(const Table& table);  // SELECT * ... ORDER BY the key
std::string countStatement(const Table& table);             // SELECT COUNT(*) AS NRREGS ...
std::string newestUpdateStatement(const Table& table);      // SELECT MAX(update column) AS DTULTATU
std::string existsByKeyStatement(const Table& table);       // SELECT 1 AS FOUND ... WHERE key
std::string deleteByKeyStatement(const Table& table);
std::string updateByKeyStatement(const Table& table, const std::vector<std::string>& setColumns);

}  // namespace central::world
