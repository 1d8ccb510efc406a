#pragma once

#include <span>
#include <string>
#include <string_view>

namespace db::sql {

// Texts of the statements the program writes for a table whose columns it only learns at run
// time. Names go in as they are: callers pass names read from the database or checked as
// identifiers, never data. Each parameter is the column's name behind a prefix ("P_" gives
// ":P_CDFILIAL").

// "A, B, C"
std::string joined(std::span<const std::string> parts, std::string_view separator = ", ");
// ":P_A, :P_B"
std::string parameterList(std::span<const std::string> columns, std::string_view prefix = "P_");
// "A = :P_A, B = :P_B"
std::string assignmentList(std::span<const std::string> columns, std::string_view prefix = "P_");
// "A = :K_A AND B = :K_B"
std::string keyCondition(std::span<const std::string> keys, std::string_view prefix);

// "INSERT INTO T (A, B) VALUES (:P_A, :P_B)"
std::string insertStatement(std::string_view table, std::span<const std::string> columns,
                            std::string_view prefix = "P_");
// "UPDATE T SET <assignments> WHERE <condition>"
std::string updateStatement(std::string_view table, std::string_view assignments,
                            std::string_view condition);
// "DELETE FROM T WHERE <condition>"
std::string deleteStatement(std::string_view table, std::string_view condition);

}  // namespace db::sql
