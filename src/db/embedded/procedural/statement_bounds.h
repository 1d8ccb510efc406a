#pragma once

#include <cstddef>
#include <vector>

#include "db/embedded/tokenizer.h"

// Where a statement of a T-SQL batch ends. T-SQL needs no ';' between statements, so a
// statement ends where a word that begins another one stands outside parentheses and CASE.
namespace db::embedded::procedural {

// The index past the last token of the statement beginning at `begin` (a ';' ending it is not
// included).
size_t statementEnd(const std::vector<Token>& tokens, size_t begin);

// The index past the last token of an IF or WHILE condition beginning at `begin`.
size_t conditionEnd(const std::vector<Token>& tokens, size_t begin);

// CREATE [OR ALTER] | ALTER PROCEDURE, TRIGGER, VIEW or FUNCTION: a text that is its batch.
bool definesProceduralObject(const std::vector<Token>& tokens);

// Whether a text must run as a batch rather than as one translated statement: it declares or
// reads variables, calls procedures, has control flow or holds several statements.
bool isProcedural(const std::vector<Token>& tokens);

}  // namespace db::embedded::procedural
