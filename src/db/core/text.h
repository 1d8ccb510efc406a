#pragma once

#include <string>
#include <string_view>

namespace db {

// ASCII case folding, as the database's default collation compares names and texts.
std::string upper(std::string_view s);
std::string lower(std::string_view s);
bool iequals(std::string_view a, std::string_view b);
std::string_view trim(std::string_view s);

// Appends the UTF-8 encoding of one code point.
void appendUtf8(std::string& out, char32_t codePoint);

// Code page 1252 <-> UTF-8, for the files other tools read (logs) and legacy packets.
std::string utf8ToCp1252(std::string_view utf8);
std::string cp1252ToUtf8(std::string_view cp1252);

}  // namespace db
