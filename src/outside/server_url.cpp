#include "outside/server_url.h"

#include "outside/http_transport.h"

namespace outside {

std::string serverUrl(const Endpoint& endpoint, std::string_view path) {
  std::string url =
      std::string(endpoint.security.scheme()) + endpoint.host + ":" + std::to_string(endpoint.port);
  if (path.empty() || path.front() != '/') url += '/';
  url += path;
  return url;
}

void fetchServerFile(const Endpoint& endpoint, std::string_view path,
                     const std::string& localPath) {
  httpGetToFile(serverUrl(endpoint, path), localPath, endpoint.security, endpoint.timeouts);
}

}  // namespace outside
