#pragma once

#include <string>
#include <string_view>

namespace db {

bool isAscii(std::string_view s);
bool isValidUtf8(std::string_view s);
// UTF-16LE <-> UTF-8. Unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(std::string_view bytes);
std::string utf8ToUtf16le(std::string_view utf8);
// UTF-8 to code page 1252 without loss; raises std::invalid_argument naming the first
// character that code page 1252 cannot hold.
std::string utf8ToCp1252Exact(std::string_view utf8);

}  // namespace db
