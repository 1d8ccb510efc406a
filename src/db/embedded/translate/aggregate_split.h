#pragma once

namespace db::embedded {

struct TranslationContext;

// SELECT COUNT(*) AS a, MAX(x) AS b FROM t [WHERE ...]: several aggregates of one table and no
// grouping become one scalar subquery each, (SELECT COUNT(*) FROM t ...) AS a, ... The result
// is the same one row, but SQLite then counts a table from its b-tree and finds a maximum
// through an index instead of reading every row. Any other statement is left as it is.
void splitAggregates(TranslationContext& ctx);

}  // namespace db::embedded
