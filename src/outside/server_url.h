#pragma once

#include <string>
#include <string_view>

#include "outside/app_server.h"

namespace outside {

// "http://host:port" (https with TLS) + path (a leading "/" is added when missing).
std::string serverUrl(const Endpoint& endpoint, std::string_view path);

// The server's liveness path: answers 200 when it is serving.
constexpr std::string_view kPingPath = "/ping";

// Fetches a file the server named (a path below its base URL) into localPath.
// Throws outside::ServerError; leaves no partial file behind.
void fetchServerFile(const Endpoint& endpoint, std::string_view path, const std::string& localPath);

}  // namespace outside
