#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "outside/app_server.h"
#include "outside/package/registry_file.h"

namespace db {
class Connection;
}

namespace outside {

// Where the program lives and which registry file it reads.
struct Environment {
  std::filesystem::path programDirectory;
  std::filesystem::path registryFile;

  // KIVTAB_HOME (else the directory of the running executable) and KIVTAB_REGISTRY (else
  // registry.ini in the program directory).
  static Environment fromProcess();
};

// Settings of the shared runtime package, read from the registry file at every call so that a
// change (the IPServer rewrite) takes effect at the next connect.
class Package {
 public:
  // The key of the package's settings and the value holding the local connection string.
  static constexpr std::string_view _sSiteWebSrvKey =
      "HKEY_LOCAL_MACHINE\\Software\\MORLEND\\Sistemas Integrados Morlend\\WebCli";
  static constexpr std::string_view _sStringConex = "StringConex";
  static constexpr std::string_view kIPServer = "IPServer";
  static constexpr std::string_view kWebPort = "WebPort";
  static constexpr std::string_view kWorkingDirectory = "WorkingDirectory";
  static constexpr std::string_view kUsedDatabase = "UsedDatabase";
  static constexpr std::string_view kWebConnectTimeout = "WebConnectTimeout";
  static constexpr std::string_view kWebTimeout = "WebTimeout";
  static constexpr std::string_view kWebHttps = "WebHttps";
  static constexpr std::string_view kWebCAFile = "WebCAFile";
  static constexpr std::string_view kWebToken = "WebToken";
  static constexpr std::string_view kZipBackupsKept = "ZipBackupsKept";

  explicit Package(Environment environment) : env_(std::move(environment)) {}

  const std::filesystem::path& programDirectory() const { return env_.programDirectory; }
  const std::filesystem::path& registryPath() const { return env_.registryFile; }

  RegistryFile registry() const { return RegistryFile::load(env_.registryFile); }
  std::optional<RegistryValue> setting(std::string_view name) const;

  // The local connection string: StringConex deciphered; empty when the value is missing.
  std::string _GetStringConexKiv() const;
  // The local database kind: the UsedDatabase setting ("ORACLE" or "MSSQL") when present, else
  // "ORACLE" when the local connection string names an Oracle provider and "MSSQL" otherwise
  // (the embedded engine speaks the SQL Server dialect).
  std::string UsedDatabase() const;
  // Applies the package's session settings to a just-opened local connection: texts read
  // year-first on SQL Server, ISO date and '.' decimal formats on Oracle; nothing on the
  // embedded engine, whose formats are fixed. Raises what the database raises.
  void SetADODBSession(db::Connection& connection) const;
  // Central server host and port. Raise RegistryError when they are not configured.
  std::string WebURL() const;
  int WebPort() const;
  // TLS (WebHttps = 1, WebCAFile) and the register's token (WebToken, deciphered when "enc:").
  TransportSecurity transportSecurity() const;
  // WebConnectTimeout and WebTimeout in seconds (30 and 120 when missing); RegistryError when
  // one is not a positive number.
  HttpTimeouts webTimeouts() const;
  Endpoint endpoint() const { return {WebURL(), WebPort(), transportSecurity(), webTimeouts()}; }
  // WorkingDirectory when set, else the program directory.
  std::filesystem::path WorkingDirectory() const;

  // Writes one WebCli value, keeping everything else in the file.
  void writeSetting(std::string_view name, const RegistryValue& value) const;

 private:
  Environment env_;
};

// Opens a connection to the named remote data module at the package's current endpoint.
std::unique_ptr<AppServer> connectionTo(const Package& package, std::string objectName);

}  // namespace outside
