#pragma once

#include <string>
#include <vector>

#include "db/core/connection.h"

namespace db::embedded::test_support {

// A result set's rows as text ("NULL" for null), columns joined by '|'.
inline std::vector<std::string> linesOf(const ResultSet& set) {
  std::vector<std::string> out;
  for (const auto& row : set.rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) line += '|';
      line += row[i].isNull() ? "NULL" : row[i].asText();
    }
    out.push_back(line);
  }
  return out;
}

// Every result set of a batch, one line per row, sets separated by "--".
inline std::vector<std::string> batchLines(Connection& c, std::string_view sql) {
  const BatchResult result = c.executeBatch(sql);
  std::vector<std::string> out;
  for (size_t s = 0; s < result.resultSets.size(); ++s) {
    if (s) out.push_back("--");
    for (auto& line : linesOf(result.resultSets[s])) out.push_back(line);
  }
  return out;
}

}  // namespace db::embedded::test_support
