#pragma once

#include <charconv>
#include <optional>
#include <string_view>

namespace db {

// The number the whole of `s` spells; nothing for an empty text or one with anything more.
template <typename T>
std::optional<T> parseNumber(std::string_view s) {
  T value{};
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

}  // namespace db
