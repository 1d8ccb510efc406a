#pragma once

#include "db/embedded/tokenizer.h"

namespace db::embedded {

// Reserved words that end a name or an expression (SELECT, FROM, WHERE, AND, JOIN, ...).
bool isKeyword(const Token& token);

// Comparison operators, after which a text meets a date column.
bool isComparison(const Token& token);

}  // namespace db::embedded
