#pragma once

#include <cstdint>

#include "outside/app_server.h"

namespace download {

// Keeps the application-server connection from timing out during long local work.
class KeepAlive {
 public:
  static constexpr int64_t kTicksPerCall = 10000;

  explicit KeepAlive(outside::AppServer& server) : server_(server) {}

  // now: call setKeepAlive at once. Otherwise count one tick and call it every kTicksPerCall
  // ticks. A failed call raises to the caller.
  void mantemConexao(bool now);
  // The next call comes after a full kTicksPerCall ticks.
  void resetCounter() { counter_ = 0; }
  int64_t counter() const { return counter_; }

 private:
  void send();

  outside::AppServer& server_;
  int64_t counter_ = 0;
};

}  // namespace download
