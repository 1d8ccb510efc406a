#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace db {

std::string base64Encode(std::string_view bytes);
// Strict: only the standard alphabet with '=' padding; whitespace is skipped. Nothing on error.
std::optional<std::string> base64Decode(std::string_view text);

}  // namespace db
