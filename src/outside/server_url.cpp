#include "outside/server_url.h"

namespace outside {

std::string serverUrl(const Endpoint& endpoint, std::string_view path) {
  std::string url =
      std::string(endpoint.security.scheme()) + endpoint.host + ":" + std::to_string(endpoint.port);
  if (path.empty() || path.front() != '/') url += '/';
  url += path;
  return url;
}

}  // namespace outside
