#pragma once

#include <string>
#include <string_view>

#include "db/core/value.h"

namespace outside {

// Standard alphabet with padding (RFC 4648), as data packets travel in JSON.
std::string base64Encode(const db::Bytes& bytes);
// Strict: rejects characters outside the alphabet, bad padding and truncated groups.
// Throws std::invalid_argument.
db::Bytes base64Decode(std::string_view text);
// As base64Decode, the bytes written over the text itself, which ends up holding them; saves a
// second buffer the size of a large packet. On failure the text is left partly overwritten.
std::string_view base64DecodeInPlace(std::string& text);

}  // namespace outside
