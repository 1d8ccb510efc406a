#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/embedded/tokenizer.h"

// Column defaults in the two spellings: the SQLite expression the table holds, and the text
// the server's catalogue shows for it (literals wrapped the server's way: ('X'), ((0))).
namespace db::embedded::catalog {

// The catalogue text of a default whose SQLite expression is `sqliteExpression`.
std::string serverDefaultText(std::string_view sqliteExpression);

// The SQLite DEFAULT term for a T-SQL default expression (its significant tokens). Throws
// db::Error(Unsupported) naming the expression when it is none of the supported forms.
std::string sqliteDefault(const std::vector<Token>& expression);

}  // namespace db::embedded::catalog
