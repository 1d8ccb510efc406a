#pragma once

#include <string_view>

namespace outside {

// True when the text holds nothing but blanks (spaces, tabs, line breaks) or nothing at all.
bool EmptyString(std::string_view text);

}  // namespace outside
