#include "schema/http_source.h"

#include <charconv>
#include <stdexcept>

#include "db/core/text.h"
#include "outside/package/package.h"
#include "outside/server_url.h"

namespace schema {
namespace {

std::optional<outside::RegistryValue> value(const outside::RegistryFile& registry,
                                            std::string_view name) {
  return registry.get(outside::Package::_sSiteWebSrvKey, name);
}

std::string text(const outside::RegistryFile& registry, std::string_view name) {
  auto v = value(registry, name);
  return v ? v->asText() : std::string();
}

bool isOne(const outside::RegistryFile& registry, std::string_view name) {
  auto v = value(registry, name);
  return v && v->asInt() == 1;
}

long portNumber(std::string_view text) {
  long port = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size())
    throw std::runtime_error("'" + std::string(text) + "' is not a valid integer value");
  return port;
}

}  // namespace

HttpSource readHttpSource(const outside::RegistryFile& registry, const PackageLocation& location,
                          std::string_view urlPath, const outside::Endpoint& central) {
  std::string host(db::trim(text(registry, kHttpHostAddr)));
  if (host.empty()) host = location.address;
  const std::string port(db::trim(text(registry, kHttpPort)));
  HttpSource source;
  const bool https = isOne(registry, kHttpHttps) || central.security.https;
  source.url = std::string(https ? "https://" : "http://") + host +
               (port.empty() ? "" : ":" + port) + std::string(urlPath);
  source.security = central.security;
  source.security.https = https;
  if (!source.url.starts_with(outside::serverUrl(central, "/"))) source.security.token.clear();
  if (isOne(registry, kHttpUseProxy)) {
    ProxySettings proxy;
    if (value(registry, kHttpProxyHost)) proxy.host = text(registry, kHttpProxyHost);
    if (value(registry, kHttpProxyPass)) proxy.password = text(registry, kHttpProxyPass);
    if (value(registry, kHttpProxyPort)) proxy.port = portNumber(text(registry, kHttpProxyPort));
    if (value(registry, kHttpProxyUserId)) proxy.user = text(registry, kHttpProxyUserId);
    source.proxy = std::move(proxy);
  }
  return source;
}

}  // namespace schema
