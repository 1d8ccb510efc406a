#pragma once

#include <string_view>

namespace central::server {

// Tables the register empties before loading them, or prunes of rows the reply lacks: a reply
// holding only the changed rows would lose the others, so they travel whole whatever the date.
bool travelsWhole(std::string_view table);

}  // namespace central::server
