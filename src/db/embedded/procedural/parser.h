#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/embedded/procedural/changed_rows.h"
#include "db/embedded/procedural/program.h"

namespace db::embedded::procedural {

// Parses a batch. Its :NAME parameters become variables the caller's values fill. Throws
// db::Error: Syntax for unterminated blocks and malformed statements, General for an undeclared
// variable, Unsupported naming a construct outside the subset.
std::shared_ptr<Program> parseBatch(std::string_view sql);

// Parses a stored CREATE/ALTER PROCEDURE text: its parameters and its body.
std::shared_ptr<Program> parseProcedure(std::string_view definition);

// Parses a stored CREATE/ALTER TRIGGER text's body (what follows AS); `inserted` and `deleted`
// read the rows the firing statement changed, exposed as `exposedAs` (ChangeStack::expose).
std::shared_ptr<Program> parseTriggerBody(std::string_view definition, const std::string& name,
                                          const std::string& exposedAs);

}  // namespace db::embedded::procedural
