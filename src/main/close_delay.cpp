#include "main/close_delay.h"

#include <charconv>
#include <cstring>

namespace kivtab {
namespace {

std::chrono::seconds wholeSeconds(const char* environmentValue, std::chrono::seconds fallback) {
  if (!environmentValue) return fallback;
  const char* end = environmentValue + std::strlen(environmentValue);
  int seconds = 0;
  const auto [stop, ec] = std::from_chars(environmentValue, end, seconds);
  if (ec != std::errc() || stop != end || seconds < 0 || environmentValue == end) return fallback;
  return std::chrono::seconds(seconds);
}

}  // namespace

std::chrono::seconds closeDelay(const char* environmentValue) {
  return wholeSeconds(environmentValue, kDefaultCloseDelay);
}

std::chrono::seconds cleanupPause(const char* environmentValue) {
  return wholeSeconds(environmentValue, kDefaultCleanupPause);
}

}  // namespace kivtab
