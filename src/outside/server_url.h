#pragma once

#include <string>
#include <string_view>

#include "outside/app_server.h"

namespace outside {

// "http://host:port" (https with TLS) + path (a leading "/" is added when missing).
std::string serverUrl(const Endpoint& endpoint, std::string_view path);

// The server's liveness path: answers 200 when it is serving.
constexpr std::string_view kPingPath = "/ping";

}  // namespace outside
