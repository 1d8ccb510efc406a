#include "outside/package/package.h"

#include <cstdlib>

#include "db/core/connection_string.h"
#include "db/core/text.h"
#include "outside/package/cipher.h"

namespace outside {
namespace {

std::filesystem::path executableDirectory() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path();
  return exe.parent_path();
}

}  // namespace

Environment Environment::fromProcess() {
  Environment env;
  const char* home = std::getenv("KIVTAB_HOME");
  env.programDirectory = home && *home ? std::filesystem::path(home) : executableDirectory();
  const char* registry = std::getenv("KIVTAB_REGISTRY");
  env.registryFile = registry && *registry ? std::filesystem::path(registry)
                                           : env.programDirectory / "registry.ini";
  return env;
}

std::optional<RegistryValue> Package::setting(std::string_view name) const {
  return registry().get(_sSiteWebSrvKey, name);
}

std::string Package::_GetStringConexKiv() const {
  const auto stored = setting(_sStringConex);
  if (!stored) return {};
  try {
    return UncriptoPlus(stored->asText());
  } catch (const std::invalid_argument& e) {
    throw RegistryError(std::string(_sStringConex) + " in " + env_.registryFile.string() + ": " +
                        e.what());
  }
}

TransportSecurity Package::transportSecurity() const {
  TransportSecurity security;
  const auto https = setting(kWebHttps);
  security.https = https && https->asInt() == 1;
  if (const auto ca = setting(kWebCAFile)) security.caFile = std::string(db::trim(ca->asText()));
  if (const auto token = setting(kWebToken)) {
    try {
      security.token = UncriptoPlus(token->asText());
    } catch (const std::invalid_argument&) {
      // The cipher's message would quote the stored value.
      throw RegistryError(std::string(kWebToken) + " in " + env_.registryFile.string() +
                          " is not a valid enc: value");
    }
  }
  return security;
}

std::string Package::UsedDatabase() const {
  try {
    return db::mapConnectionString(_GetStringConexKiv()).kind == db::EngineKind::OracleOdbc
               ? "ORACLE"
               : "MSSQL";
  } catch (const std::invalid_argument&) {
    // A string that names no known provider cannot connect either; the connect step reports it.
    return "MSSQL";
  }
}

std::string Package::WebURL() const {
  const auto value = setting(kIPServer);
  const std::string host = value ? std::string(db::trim(value->asText())) : std::string();
  if (host.empty())
    throw RegistryError("no " + std::string(kIPServer) + " under [" + std::string(_sSiteWebSrvKey) +
                        "] in " + env_.registryFile.string());
  return host;
}

int Package::WebPort() const {
  const auto value = setting(kWebPort);
  const auto port = value ? value->asInt() : std::nullopt;
  if (!port || *port < 1 || *port > 65535)
    throw RegistryError("no valid " + std::string(kWebPort) + " (1 to 65535) under [" +
                        std::string(_sSiteWebSrvKey) + "] in " + env_.registryFile.string());
  return static_cast<int>(*port);
}

std::filesystem::path Package::WorkingDirectory() const {
  const auto value = setting(kWorkingDirectory);
  const std::string dir = value ? std::string(db::trim(value->asText())) : std::string();
  return dir.empty() ? env_.programDirectory : std::filesystem::path(dir);
}

void Package::writeSetting(std::string_view name, const RegistryValue& value) const {
  RegistryFile file = registry();
  file.set(_sSiteWebSrvKey, name, value);
  file.save(env_.registryFile);
}

std::unique_ptr<AppServer> connectionTo(const Package& package, std::string objectName) {
  return makeHttpAppServer(std::move(objectName), [&package] { return package.endpoint(); });
}

}  // namespace outside
