#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kivtab_sql {

// Splits a script into statements. A statement ends at a line holding only "GO" (any case) or
// at a ';' that is the last code on its line (a comment may follow); the ';' itself is dropped.
// Separators inside quoted texts, quoted names and comments do not count. Statements holding
// nothing but blanks and comments are left out. A leading UTF-8 byte-order mark and CR LF line
// ends are accepted.
std::vector<std::string> splitScript(std::string_view script);

// True when the statement yields rows to print: it starts with SELECT or WITH and writes them
// nowhere (no INTO).
bool returnsRows(std::string_view statement);

}  // namespace kivtab_sql
