#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kivtab_sql {

// Splits a script into batches, as sqlcmd does: a batch ends at a line holding only "GO" (any
// case), optionally followed by a count that sends the batch that many times. A ';' ends
// nothing (procedure bodies hold them). Separators inside quoted texts, quoted names and
// comments do not count. Batches holding nothing but blanks and comments are left out. A leading
// UTF-8 byte-order mark and CR LF line ends are accepted.
std::vector<std::string> splitScript(std::string_view script);

}  // namespace kivtab_sql
