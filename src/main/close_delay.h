#pragma once

#include <chrono>
#include <string_view>

namespace kivtab {

inline constexpr std::chrono::seconds kDefaultCloseDelay{5};
inline constexpr std::chrono::seconds kDefaultCleanupPause{1};

// KIVTAB_CLOSE_DELAY in whole seconds (0 skips the wait); the default for a missing, negative
// or unreadable value.
std::chrono::seconds closeDelay(const char* environmentValue);

// KIVTAB_CLEANUP_PAUSE: the pause after each first-run cleanup of a table the download ledger
// does not control, read like KIVTAB_CLOSE_DELAY. Benchmarks set 0 to see the run's own waits.
std::chrono::seconds cleanupPause(const char* environmentValue);

}  // namespace kivtab
