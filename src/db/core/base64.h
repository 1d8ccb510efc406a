#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "db/core/value.h"

namespace db {

// The standard alphabet with '=' padding (RFC 4648): packet blobs in XML and data packets in the
// remote protocol's JSON.
std::string base64Encode(std::string_view bytes);
std::string base64Encode(const Bytes& bytes);
// The same text appended to `out`, for a writer that builds a larger text around it.
void base64Append(std::string& out, std::string_view bytes);

// Blank characters are line breaks in XML packets; in JSON they can only be damage.
enum class Base64Blanks { skip, reject };

// Strict: only the alphabet and final padding; nothing on error.
std::optional<std::string> base64Decode(std::string_view text,
                                        Base64Blanks blanks = Base64Blanks::skip);
// The remote protocol's form: no blanks; throws std::invalid_argument saying what is wrong.
Bytes base64DecodeBytes(std::string_view text);
// As base64DecodeBytes, the bytes written over the text itself, which ends up holding them;
// saves a second buffer the size of a large packet. On failure the text is left partly
// overwritten.
std::string_view base64DecodeInPlace(std::string& text);

}  // namespace db
