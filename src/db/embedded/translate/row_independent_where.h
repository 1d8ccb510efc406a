#pragma once

namespace db::embedded {

struct TranslationContext;

// UPDATE T SET ... WHERE c / DELETE FROM T WHERE c, where c compares values that no row of T
// changes: parameters, literals and the greatest or least value of a column
// ((SELECT MAX(x) FROM U)). SQLite evaluates such a c once but still reads every row of T to
// test it; the condition becomes the start of T's row-number range instead,
// WHERE _rowid_ >= (CASE WHEN c THEN <least row number> END), so that a false c reads no row
// and a true one reads every row as before.
void guardRowIndependentWhere(TranslationContext& ctx);

}  // namespace db::embedded
