#include "main/close_delay.h"

#include <charconv>
#include <cstring>

namespace kivtab {

std::chrono::seconds closeDelay(const char* environmentValue) {
  if (!environmentValue) return kDefaultCloseDelay;
  const char* end = environmentValue + std::strlen(environmentValue);
  int seconds = 0;
  const auto [stop, ec] = std::from_chars(environmentValue, end, seconds);
  if (ec != std::errc() || stop != end || seconds < 0 || environmentValue == end)
    return kDefaultCloseDelay;
  return std::chrono::seconds(seconds);
}

}  // namespace kivtab
