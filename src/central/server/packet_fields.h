#pragma once

#include <string_view>
#include <vector>

#include "db/core/value.h"

namespace central::server {

// The values of one field (by name, ignoring case) of every row of a packet, in row order;
// empty when the packet has no such field. Throws db::Error for an unreadable packet.
std::vector<db::Value> fieldValues(const db::Bytes& packet, std::string_view field,
                                   std::string_view source);

}  // namespace central::server
