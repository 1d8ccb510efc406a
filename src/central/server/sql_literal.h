#pragma once

#include <string>

#include "db/core/value.h"

namespace central::server {

// A value as a T-SQL literal for the statement files: texts quoted with embedded quotes doubled
// (a name like O'Brien must not end the literal) and line breaks written as CHAR(13)/CHAR(10)
// so that a statement stays on one line; date-times as 'yyyy-mm-dd hh:nn:ss.zzz',
// bytes as 0x..., null as NULL. Appended to `out`: a statement line is built in one buffer.
void appendSqlLiteral(std::string& out, const db::Value& value);

}  // namespace central::server
