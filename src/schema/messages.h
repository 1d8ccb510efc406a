#pragma once

#include <string>
#include <string_view>

#include "outside/package/messages.h"

namespace schema {

// msgDBGeral: the structure module's message table.
const outside::Messages& msgDBGeral();

// The text of a key; a key the table does not hold (an error key of a newer server) reads as
// itself, so that the log still says what the server answered.
std::string msgText(std::string_view key);

}  // namespace schema
