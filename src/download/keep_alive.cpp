#include "download/keep_alive.h"

namespace download {

void KeepAlive::mantemConexao(bool now) {
  if (!now) {
    if (++counter_ % kTicksPerCall != 0) return;
    counter_ = 0;
  }
  send();
}

// The reply carries nothing; an error reply raises from call().
void KeepAlive::send() { server_.call("setKeepAlive"); }

}  // namespace download
