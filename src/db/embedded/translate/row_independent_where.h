#pragma once

#include <cstddef>

namespace db::embedded {

class ExpressionWriter;
struct Translation;
struct TranslationContext;

// UPDATE T SET ... WHERE c / DELETE FROM T WHERE c, where c compares values that no row of T
// changes: parameters, literals and the greatest or least value of a column
// ((SELECT MAX(x) FROM U)). SQLite evaluates such a c once but still reads every row of T to
// test it; the condition becomes the start of T's row-number range instead,
// WHERE _rowid_ >= (CASE WHEN c THEN <least row number> END), so that a false c reads no row
// and a true one reads every row as before. Returns the position of WHERE when it did, else 0.
size_t guardRowIndependentWhere(TranslationContext& ctx);

// For such an UPDATE (`where` from above, `out.sql` written): the columns it sets and the count
// of the rows it changes (Translation::wholeTableColumns, wholeTableCount).
void describeWholeTableUpdate(TranslationContext& ctx, ExpressionWriter& writer, size_t where,
                              Translation& out);

}  // namespace db::embedded
