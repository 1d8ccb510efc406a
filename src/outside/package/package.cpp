#include "outside/package/package.h"

#include <cstdlib>
#include <span>

#include "db/core/connection.h"
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

constexpr std::string_view kOracle = "ORACLE";
constexpr std::string_view kSqlServer = "MSSQL";
constexpr std::string_view kEmbeddedEngine = "embedded";

// The program writes date-times as 'yyyy-mm-dd hh:nn:ss' texts and decimals with a point; these
// settings make the server read them so whatever the login's language and territory.
constexpr std::string_view kSqlServerSession[] = {"SET DATEFORMAT ymd"};
constexpr std::string_view kOracleSession[] = {
    "ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI:SS'",
    "ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '.,'"};

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
  if (const auto value = setting(kUsedDatabase)) {
    const std::string kind = db::upper(std::string(db::trim(value->asText())));
    if (kind == kOracle || kind == kSqlServer) return kind;
    throw RegistryError(std::string(kUsedDatabase) + " in " + env_.registryFile.string() +
                        " must be MSSQL or ORACLE, not \"" + value->asText() + "\"");
  }
  try {
    return db::mapConnectionString(_GetStringConexKiv()).kind == db::EngineKind::OracleOdbc
               ? std::string(kOracle)
               : std::string(kSqlServer);
  } catch (const std::invalid_argument&) {
    // A string that names no known provider cannot connect either; the connect step reports it.
    return std::string(kSqlServer);
  }
}

void Package::SetADODBSession(db::Connection& connection) const {
  if (connection.engineName() == kEmbeddedEngine) return;
  using Statements = std::span<const std::string_view>;
  const Statements statements =
      UsedDatabase() == kOracle ? Statements(kOracleSession) : Statements(kSqlServerSession);
  for (std::string_view statement : statements) connection.execute(statement);
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

HttpTimeouts Package::webTimeouts() const {
  const auto seconds = [this](std::string_view name, std::chrono::seconds fallback) {
    const auto value = setting(name);
    if (!value) return std::chrono::milliseconds(fallback);
    const auto n = value->asInt();
    if (!n || *n < 1)
      throw RegistryError("no valid " + std::string(name) + " (seconds, at least 1) under [" +
                          std::string(_sSiteWebSrvKey) + "] in " + env_.registryFile.string());
    return std::chrono::milliseconds(std::chrono::seconds(*n));
  };
  HttpTimeouts timeouts;
  timeouts.connect = seconds(kWebConnectTimeout, HttpTimeouts::kDefaultConnect);
  timeouts.stall = seconds(kWebTimeout, HttpTimeouts::kDefaultStall);
  return timeouts;
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
