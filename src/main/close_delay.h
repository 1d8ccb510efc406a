#pragma once

#include <chrono>
#include <string_view>

namespace kivtab {

inline constexpr std::chrono::seconds kDefaultCloseDelay{5};

// KIVTAB_CLOSE_DELAY in whole seconds (0 skips the wait); the default for a missing, negative
// or unreadable value.
std::chrono::seconds closeDelay(const char* environmentValue);

}  // namespace kivtab
