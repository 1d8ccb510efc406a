#pragma once

#include <string>
#include <string_view>

namespace load {

// The value of one key column in a delete-cache key text (DSKEYCACHE): pairs of column name, one
// separator character and value, each pair ending with ";" ("CDFILIAL=0001;CDPRODUTO=12;").
// The name must start a pair: a column whose name begins another one (CDPRODUTO, CDPRODUTOEXT)
// is never read from the other's pair. For a column whose name begins with "DT", a value without
// ":", "/" or "-" is a compact date-time yyyymmddhhnnss and comes back as "yyyy-mm-dd hh:nn:ss".
// Raises std::invalid_argument naming the column and the text when the column has no pair, its
// pair lacks the closing ";", or a compact date is not 14 digits.
std::string cacheKeyValue(std::string_view keyText, std::string_view column);

}  // namespace load
