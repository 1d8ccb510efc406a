#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "outside/app_server.h"
#include "outside/package/registry_file.h"
#include "schema/package_reply.h"

namespace schema {

struct ProxySettings {
  std::string host;
  std::optional<long> port;
  std::string user;
  std::string password;
};

// Where the package is fetched from and through which proxy.
struct HttpSource {
  std::string url;
  std::optional<ProxySettings> proxy;  // basic authentication when set
  outside::TransportSecurity security;
};

// The WebCli values that decide the package URL and proxy.
inline constexpr std::string_view kHttpHostAddr = "HttpHostAddr";
inline constexpr std::string_view kHttpHttps = "HttpHttps";
inline constexpr std::string_view kHttpPort = "HttpPort";
inline constexpr std::string_view kHttpUseProxy = "HttpUseProxy";
inline constexpr std::string_view kHttpProxyHost = "HttpProxyHost";
inline constexpr std::string_view kHttpProxyPass = "HttpProxyPass";
inline constexpr std::string_view kHttpProxyPort = "HttpProxyPort";
inline constexpr std::string_view kHttpProxyUserId = "HttpProxyUserId";

// Scheme (HttpHttps = 1: https), host (HttpHostAddr, else the reply's Address), ":" + HttpPort
// when set, then the URL path; the proxy values when HttpUseProxy = 1. The central server's
// transport settings apply too: a register that speaks TLS to it fetches the package over https
// whatever HttpHttps says, and presents its token only when the package lies on that server.
// Raises std::runtime_error when a value cannot be used (a proxy port that is not a number).
HttpSource readHttpSource(const outside::RegistryFile& registry, const PackageLocation& location,
                          std::string_view urlPath, const outside::Endpoint& central);

}  // namespace schema
