#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace db::odbc {

// A statement whose named ":P_X" parameters were replaced by ODBC's positional '?' markers.
struct MarkedStatement {
  std::string text;                // the statement with '?' markers
  std::vector<std::string> names;  // distinct parameter names in order of first appearance
  std::vector<size_t> markers;     // for each '?' in order, its index into names
};

// Replaces ":NAME" parameters outside string literals, quoted identifiers and comments. A name
// used twice gives two markers bound to the same value; "::" is left alone.
MarkedStatement markParameters(std::string_view sql);

}  // namespace db::odbc
