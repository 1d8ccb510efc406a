#pragma once

#include <chrono>
#include <cstdint>

namespace outside {

// The limits of every exchange with the central server, remote calls and file fetches alike.
// Reaching the server and each stretch of a reply must be timely; a reply may take as long as it
// keeps moving (large table downloads run for minutes), but never grow without end.
struct HttpTimeouts {
  static constexpr std::chrono::seconds kDefaultConnect{30};
  static constexpr std::chrono::seconds kDefaultStall{120};
  static constexpr int64_t kDefaultMaxReplyBytes = int64_t{4} << 30;

  std::chrono::milliseconds connect{kDefaultConnect};
  std::chrono::milliseconds stall{kDefaultStall};  // no byte moved for this long fails
  int64_t maxReplyBytes = kDefaultMaxReplyBytes;
};

}  // namespace outside
