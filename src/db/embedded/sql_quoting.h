#pragma once

#include <string>
#include <string_view>

namespace db::embedded {

// Names and texts written into SQLite statements, each quote character inside doubled.
std::string quoteIdentifier(std::string_view name);  // "name"
std::string quoteString(std::string_view text);      // 'text'

}  // namespace db::embedded
