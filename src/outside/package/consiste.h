#pragma once

#include <string>
#include <string_view>

namespace outside {

// True when the text holds nothing but blanks (spaces, tabs, line breaks) or nothing at all.
bool EmptyString(std::string_view text);
// The last `count` characters (bytes) of the text; the whole text when it is shorter.
std::string Right(std::string_view text, size_t count);

template <typename T>
T iif(bool condition, T whenTrue, T whenFalse) {
  return condition ? whenTrue : whenFalse;
}

}  // namespace outside
